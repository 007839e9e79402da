#include "importer/plans/mpp/mpp_tasks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "importer/plans/common/custom_fields.h"
#include "importer/plans/mpp/mpp_blocks.h"
#include "importer/plans/mpp/mpp_schedule.h"
#include "platform/failure.h"

namespace quorrix::importer::plans::mpp {
namespace {

[[noreturn]] void damaged(const QString& what) {
    throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file is damaged: %1.").arg(what));
}

// Items 0 to 2 of the task blocks are placeholders, never tasks.
constexpr qint64 kFirstTaskItem = 3;
constexpr int kTaskFixedMetaItemSize = 47;
constexpr int kMpp12Fixed2MetaItemSize = 86;
constexpr qint64 kMpp9And12MaxRecord = 768;
constexpr qint32 kFlagDeleted = 0x02;
constexpr qint32 kFlagPlaceholder = 0x04;

// One row produced from the records: a blank row or a task.
struct Row {
    qint32 uniqueId = 0;
    qint32 storedId = 0;
    bool blank = false;
    bool discarded = false;
    bool hasName = false;
    std::optional<double> sortPosition;
    PlanTask task;
    std::shared_ptr<TaskDetails> details;  // the same as task.details, still to be completed
};

// Rows of real tasks in their order, then the blank rows put in at their stored IDs. With
// `details`, the details of each position (null for a blank row) in the same order.
Plan arrange(std::vector<Row>& rows, std::vector<TaskDetails*>* details = nullptr) {
    std::vector<const Row*> tasks;
    std::vector<const Row*> blanks;
    for (const Row& row : rows) {
        if (row.discarded || row.uniqueId == 0) continue;
        (row.blank ? blanks : tasks).push_back(&row);
    }
    const bool bySortPosition =
        !tasks.empty() && std::all_of(tasks.begin(), tasks.end(), [](const Row* r) { return r->sortPosition.has_value(); });
    std::stable_sort(tasks.begin(), tasks.end(), [bySortPosition](const Row* a, const Row* b) {
        if (bySortPosition && *a->sortPosition != *b->sortPosition) return *a->sortPosition < *b->sortPosition;
        return a->storedId < b->storedId;
    });
    std::stable_sort(blanks.begin(), blanks.end(), [](const Row* a, const Row* b) { return a->storedId < b->storedId; });

    // Putting the blank rows in one by one, in ascending stored ID, each at position = stored ID
    // (or at the end when the list is shorter), comes down to one merge.
    Plan plan;
    plan.positions.reserve(tasks.size() + blanks.size());
    if (details) details->reserve(tasks.size() + blanks.size());
    size_t nextTask = 0;
    const auto addTask = [&]() {
        const Row* row = tasks[nextTask++];
        plan.positions.emplace_back(row->task);
        if (details) details->push_back(row->details.get());
    };
    for (const Row* blank : blanks) {
        if (blank->storedId < 1) continue;
        const size_t target = static_cast<size_t>(blank->storedId) - 1;
        while (plan.positions.size() < target && nextTask < tasks.size()) addTask();
        plan.positions.emplace_back(std::nullopt);
        if (details) details->push_back(nullptr);
    }
    while (nextTask < tasks.size()) addTask();
    return plan;
}

class TaskDecoder {
public:
    TaskDecoder(const TaskStreams& streams, const FieldMap& fields, const DetailTables* details)
        : s_(streams), fields_(fields), tables_(details) {
        mpp9_ = s_.format == Format::Mpp9;
        mpp14_ = s_.format == Format::Mpp14;
        nullBlockSize_ = mpp9_ ? 8 : 16;
        maxFixed_ = fields_.maxFixedSize(0);

        auto meta = FixedMeta::parse(s_.fixedMeta, kTaskFixedMetaItemSize);
        if (!meta) damaged(QStringLiteral("the task index (FixedMeta) is not valid"));
        meta_ = *meta;
        if (!mpp9_) {
            const int size = mpp14_ ? FixedMeta::mpp14Fixed2ItemSize(s_.fixed2Meta, meta_.count()) : kMpp12Fixed2MetaItemSize;
            auto meta2 = FixedMeta::parse(s_.fixed2Meta, size);
            if (!meta2) damaged(QStringLiteral("the second task index (Fixed2Meta) is not valid"));
            meta2_ = *meta2;
        }
        auto var = VarMeta::parse(s_.varMeta, mpp9_ ? VarMeta::Layout::Mpp9 : VarMeta::Layout::Mpp12);
        if (!var) damaged(QStringLiteral("the task text index (VarMeta) is not valid"));
        var_ = std::move(*var);

        uniqueIdOffset_ = block0Offset(task_field::kUniqueId, 0);
        idOffset_ = block0Offset(task_field::kId, 4);
        nameKey_ = fields_.varKey(task_field::kName);
        if (tables_) {
            detailReader_.emplace(s_.format, s_.applicationVersion, fields_, var_, s_.var2Data, *tables_,
                                  meta_.count());
        }
    }

    Plan run() {
        std::map<qint32, qint64> chosen = pickRecords();
        std::vector<Row> rows;
        for (const auto& [uniqueId, index] : chosen) {
            if (index >= 0) decode(uniqueId, index, rows);
        }
        if (!tables_) return arrange(rows);

        std::vector<TaskDetails*> details;
        Plan plan = arrange(rows, &details);
        attachResourceNames(details, resourceNames(s_.format, *tables_, taskUniqueIds(details)));
        // The project's name: the title, else the summary task's (unique ID 0).
        QString project = tables_->projectTitle;
        for (const Row& row : rows)
            if (project.isEmpty() && row.uniqueId == 0) project = row.task.name;
        for (TaskDetails* d : details)
            if (d) d->project = project;
        if (tables_->schedule) {
            // The link records moved their lag in the files of Project 2013 and later.
            const bool lagFirst = mpp14_ && s_.applicationVersion >= 15;
            finishSchedule(details, mppLinks(lagFirst, tables_->links.fixedMeta, tables_->links.fixedData),
                           tables_->settings);
        }
        return plan;
    }

private:
    static constexpr qint64 kDeleted = -1;

    int block0Offset(int field, int fallback) const {
        const auto location = fields_.fixed(field);
        return location && location->block == 0 ? location->offset : fallback;
    }

    Bytes fixedItem(qint64 index) const {
        const qint64 minSize = mpp14_ ? 0 : maxFixed_;
        const qint64 maxSize = mpp14_ ? maxFixed_ : kMpp9And12MaxRecord;
        return fixedDataItem(meta_, s_.fixedData, index, minSize, maxSize);
    }
    Bytes fixed2Item(qint64 index) const {
        return mpp9_ ? Bytes() : fixedDataItem(meta2_, s_.fixed2Data, index, 0, 0);
    }

    // One record per unique ID, walking backwards so that the record nearest the end wins.
    std::map<qint32, qint64> pickRecords() const {
        std::map<qint32, qint64> chosen;
        for (qint64 i = meta_.count() - 1; i >= kFirstTaskItem; --i) {
            const Bytes data = fixedItem(i);
            if (data.empty()) continue;
            if (!mpp9_ && fixed2Item(i).empty()) continue;
            const qint32 flags = meta_.flags(i);
            const bool nullBlock = data.size() == nullBlockSize_;
            if (flags & kFlagDeleted) {
                const qint32 uniqueId = nullBlock ? nullBlockField(data, 0) : data.i32(uniqueIdOffset_);
                if (mpp14_) {
                    chosen.emplace(uniqueId, kDeleted);
                } else {
                    chosen[uniqueId] = kDeleted;
                }
            } else if (nullBlock) {
                chosen.emplace(nullBlockField(data, 0), i);
            } else if (maxFixed_ == 0 || data.size() * 100 / maxFixed_ > 75) {
                const qint32 uniqueId = data.i32(uniqueIdOffset_);
                const auto it = chosen.find(uniqueId);
                if (it == chosen.end()) {
                    chosen.emplace(uniqueId, i);
                } else if (var_.has(uniqueId) && (flags & kFlagPlaceholder) == 0) {
                    it->second = i;
                }
            }
        }
        return chosen;
    }

    std::optional<QDateTime> date(int field, Bytes block0, Bytes block1) const {
        const auto location = fields_.fixed(field);
        if (!location) return std::nullopt;
        return timestamp(location->block == 0 ? block0 : block1, location->offset);
    }
    std::optional<qint32> integer(int field, Bytes block0, Bytes block1) const {
        const auto location = fields_.fixed(field);
        if (!location) return std::nullopt;
        return (location->block == 0 ? block0 : block1).i32(location->offset);
    }

    void addBlank(Row row, std::vector<Row>& rows) {
        if (!mpp9_ && !blankStoredIds_.insert(row.storedId).second) return;
        row.blank = true;
        byStoredId_[row.storedId] = rows.size();
        rows.push_back(std::move(row));
    }

    void decode(qint32 uniqueId, qint64 index, std::vector<Row>& rows) {
        using namespace task_field;
        const Bytes data = fixedItem(index);
        Row row;
        row.uniqueId = uniqueId;

        if (data.size() == nullBlockSize_) {
            row.storedId = nullBlockField(data, 4);
            if (!mpp9_) row.sortPosition = usable(data.f64(8));
            addBlank(std::move(row), rows);
            return;
        }
        if (maxFixed_ > 0 && data.size() < maxFixed_) {
            // Shorter records are padded with zeros (reads past the end give zero).
            if (mpp9_ || (s_.format == Format::Mpp12 && uniqueId != 0)) return;
        }
        const bool hasVar = var_.has(uniqueId);
        if (mpp9_ && uniqueId != 0 && !hasVar) return;

        const Bytes data2 = fixed2Item(index);
        row.storedId = data.i32(idOffset_);
        if (nameKey_) {
            if (const auto offset = var_.offset(uniqueId, *nameKey_)) {
                row.task.name = textAt(*offset);
            }
        }
        row.hasName = !row.task.name.isEmpty();
        const bool manual = readSchedule(index, data, data2, row.task);

        if (const auto earlier = byStoredId_.find(row.storedId); earlier != byStoredId_.end()) {
            if (!hasVar) return;
            Row& previous = rows[earlier->second];
            if (!previous.hasName) previous.discarded = true;
        }

        const bool createdMissing = (mpp9_ || mpp14_) && !date(kCreated, data, data2);
        if (!row.hasName && (row.task.start.isNull() || row.task.finish.isNull() || createdMissing)) {
            addBlank(std::move(row), rows);
            return;
        }
        if (!mpp9_ && data2.size() >= 24) row.sortPosition = usable(data2.f64(16));
        if (detailReader_ && uniqueId != 0) {
            const TaskDetailReader::Shown shown{row.task.durationMinutes, manual, mpp9_ ? Bytes() : meta2_.item(index)};
            row.details = detailReader_->read(uniqueId, data, data2, meta_.item(index), shown);
            row.task.details = row.details;
        }
        byStoredId_[row.storedId] = rows.size();
        rows.push_back(std::move(row));
    }

    // The four fields; whether the task is manually scheduled.
    bool readSchedule(qint64 index, Bytes data, Bytes data2, PlanTask& task) const {
        using namespace task_field;
        bool manual = false;
        std::optional<QDateTime> start = date(kStart, data, data2);
        std::optional<QDateTime> finish = date(kFinish, data, data2);
        double duration = 0;  // a missing duration reads as none
        if (const auto tenths = integer(kDuration, data, data2)) duration = durationMinutes(*tenths).value_or(0.0);

        if (mpp14_) {
            const quint8 modeByte = meta2_.item(index).u8(8);
            manual = (modeByte & (s_.applicationVersion <= 14 ? 0x08 : 0x80)) != 0;
            const auto taskStart = date(kTaskStart, data, data2);
            const auto taskFinish = date(kTaskFinish, data, data2);
            if (manual) {
                if (taskStart) start = taskStart;
                if (taskFinish) finish = taskFinish;
                duration = 0;
                if (const auto tenths = integer(kManualDuration, data, data2)) {
                    duration = durationMinutes(*tenths).value_or(0.0);
                }
            } else {
                if (!start) start = taskStart;
                if (!finish) finish = taskFinish;
            }
        }

        // Tasks tied by a late constraint show their late dates when those are later.
        const auto constraint = fields_.fixed(kConstraintType);
        if (constraint) {
            const int type = (constraint->block == 0 ? data : data2).u16(constraint->offset);
            const auto lateStart = date(kLateStart, data, data2);
            const auto lateFinish = date(kLateFinish, data, data2);
            if (type == 1) {
                if (start && lateStart && *start < *lateStart) start = lateStart;
                if (finish && lateFinish && *finish < *lateFinish) finish = lateFinish;
            } else if (type == 5 || type == 7) {
                if (start && finish && lateFinish && *finish < *start) finish = lateFinish;
            }
        }

        task.start = start.value_or(QDateTime());
        task.finish = finish.value_or(QDateTime());
        task.durationMinutes = duration;
        return manual;
    }

    // The text stored at `offset` of Var2Data. Tasks may share a value, so each is decoded once
    // and shared; values that overlap one another (never in a sound file) may not add up to more
    // than the stream holds, which keeps memory and time proportional to the file's size.
    QString textAt(qint32 offset) {
        if (const auto it = texts_.find(offset); it != texts_.end()) return it->second;
        QString text;
        if (const auto value = varValue(s_.var2Data, offset)) {
            textBudget_ -= value->size();
            if (textBudget_ < 0) damaged(QStringLiteral("its task texts overlap one another"));
            text = utf16Text(*value);
        }
        texts_.emplace(offset, text);
        return text;
    }

    // MPP9 and MPP12 null blocks hold 16-bit IDs in 32-bit fields.
    qint32 nullBlockField(Bytes data, qint64 offset) const {
        return mpp14_ ? data.i32(offset) : static_cast<qint32>(data.i32(offset) & 0xFFFF);
    }

    static std::optional<double> usable(double value) {
        if (!std::isfinite(value)) return std::nullopt;
        return value;
    }

    const TaskStreams& s_;
    const FieldMap& fields_;
    const DetailTables* tables_;
    std::optional<TaskDetailReader> detailReader_;
    bool mpp9_ = false;
    bool mpp14_ = false;
    qint64 nullBlockSize_ = 16;
    int maxFixed_ = 0;
    FixedMeta meta_;
    FixedMeta meta2_;
    VarMeta var_;
    int uniqueIdOffset_ = 0;
    int idOffset_ = 4;
    std::optional<int> nameKey_;
    std::unordered_map<qint32, QString> texts_;
    qint64 textBudget_ = s_.var2Data.size();
    std::unordered_map<qint32, size_t> byStoredId_;
    std::unordered_set<qint32> blankStoredIds_;
};

// ---- Project 98 ---------------------------------------------------------------------------

constexpr qint64 kMpp8Record = 316;
constexpr qint64 kMpp8LongRecord = 366;

// Names held in the block chains of FixDeferFix. Each chain is followed once and its name shared
// by every record pointing at it; chains that overlap (never in a sound file) may not gather
// more bytes in all than the stream holds.
class Mpp8Names {
public:
    // `kind` names the texts in a failure ("task", "resource").
    explicit Mpp8Names(Bytes defer, const char* kind = "task") : defer_(defer), budget_(defer.size() + 64), kind_(kind) {}

    QString at(qint64 varOffset) {
        if (const auto it = names_.find(varOffset); it != names_.end()) return it->second;
        QString name = utf16Text(Bytes(follow(varOffset)));
        names_.emplace(varOffset, name);
        return name;
    }

    // The bytes of a chain that holds other data than a name, read once.
    QByteArray data(qint64 varOffset) { return follow(varOffset); }

private:
    void spend(qint64 bytes) {
        budget_ -= bytes;
        if (budget_ < 0) damaged(QStringLiteral("its %1 names overlap one another").arg(QLatin1String(kind_)));
    }

    // Empty when the chain cannot be followed.
    QByteArray follow(qint64 varOffset) {
        const qint64 streamSize = defer_.size();
        if (varOffset <= 0 || !defer_.holds(varOffset, 8)) return {};
        const qint32 next = defer_.i32(varOffset);
        const qint64 size = defer_.i32(varOffset + 4);
        if (size <= 0 || size >= streamSize) return {};
        if (next == -1) {
            if (size > 28 || !defer_.holds(varOffset + 8, size)) return {};
            spend(size);
            return QByteArray(defer_.data() + varOffset + 8, size);
        }
        if (!defer_.holds(varOffset + 8, 28)) return {};
        spend(28);
        QByteArray payload(defer_.data() + varOffset + 8, 28);
        qint64 block = next;
        // Every step adds 32 bytes and stops once `size` bytes are there.
        while (payload.size() < size) {
            if (block <= 0 || !defer_.holds(block, 4)) return {};
            const qint32 following = defer_.i32(block);
            const qint64 take = following == -1 ? size - payload.size() : 32;
            if (!defer_.holds(block + 4, take)) return {};
            spend(take);
            payload.append(defer_.data() + block + 4, take);
            if (following == -1) break;
            block = following;
        }
        payload.truncate(size);
        return payload;
    }

    Bytes defer_;
    qint64 budget_;
    const char* kind_;
    std::unordered_map<qint64, QString> names_;
};

// The key of a custom field in a Project 98 task's extended data; -1 for none (outline codes).
int mpp8CustomKey(int slot) {
    const int n = customNumberOf(slot);
    switch (customKindOf(slot)) {
    case CustomKind::Text: return n <= 10 ? 105 + n : 173 + n;
    case CustomKind::Start: return 116 + 2 * (n - 1);
    case CustomKind::Finish: return 117 + 2 * (n - 1);
    case CustomKind::Number: return n <= 10 ? 136 + n : 193 + n;
    case CustomKind::Date: return 173 + n;
    case CustomKind::Duration: return 147 + 2 * (n - 1);
    case CustomKind::Cost: return 236 + n;
    default: return -1;
    }
}

// The custom values of Project 98 task records: flags from two bit sets of the record (flag n is
// set when bit n of the values and bit n - 1 of the mask are), the others from the extended data
// the record points to in FixDeferFix, a list of (i32 size, i32 key, value) items. The longer
// records Project 2000 and 2003 write in this format keep the flags as one bit set (flag n at bit
// n - 1) and the reference to the extended data further on.
class Mpp8Custom {
public:
    // For the custom fields `asked`.
    explicit Mpp8Custom(const CustomSlots& asked) {
        for (int slot = 0; slot < kCustomFieldCount; ++slot) {
            if (!asked.test(static_cast<std::size_t>(slot))) continue;
            const CustomKind kind = customKindOf(slot);
            const int key = kind == CustomKind::Flag ? -1 : mpp8CustomKey(slot);
            if (kind != CustomKind::Flag && (key < 0 || key >= kKeys)) continue;
            asked_.push_back({static_cast<std::uint8_t>(slot), kind, customNumberOf(slot), key});
        }
    }
    bool empty() const { return asked_.empty(); }

    void read(Bytes record, Mpp8Names& defer, TaskDetails& d) {
        values_.clear();
        const bool longRecord = record.size() == kMpp8LongRecord;
        // As bit n of `flags` and bit n - 1 of `mask`, in either form.
        const quint32 flags = longRecord ? (record.u32(353) & 0xFFFFFF) << 1 : record.u32(268) & 0xFFFFFF;
        const quint32 mask = longRecord ? 0xFFFFFF : record.u32(303) & 0xFFFFFF;
        const qint32 reference = record.i32(longRecord ? 362 : 312);
        const QByteArray extended = reference < 0 ? defer.data(-1 - qint64(reference)) : QByteArray();
        const Bytes list(extended);
        // The first item of each key counts.
        for (qint64 at = 0; list.holds(at, 8);) {
            const qint32 size = list.i32(at);
            if (size < 0 || !list.holds(at + 8, size)) break;
            const qint32 key = list.i32(at + 4);
            if (key >= 0 && key < kKeys && !found_[key]) {
                found_[key] = true;
                items_[key] = list.slice(at + 8, size);
                keys_.push_back(key);
            }
            at += 8 + size;
        }
        // A value is made only for a field that holds one.
        const auto add = [this](const Asked& asked) -> CustomValue& {
            CustomValue& v = values_.emplace_back();
            v.slot = asked.slot;
            return v;
        };
        for (const Asked& asked : asked_) {
            if (asked.kind == CustomKind::Flag) {
                if (!(flags & (1u << asked.number)) || !(mask & (1u << (asked.number - 1)))) continue;
                add(asked).number = 1;
                continue;
            }
            if (!found_[asked.key]) continue;
            const Bytes v = items_[asked.key];
            switch (asked.kind) {
            case CustomKind::Text: add(asked).text = defer.at(-1 - qint64(v.i32(0))); break;
            case CustomKind::Number:
                if (const double number = v.f64(0); std::isfinite(number)) add(asked).number = number;
                break;
            case CustomKind::Cost:
                add(asked).number = (double(v.u32(0)) + double(v.u16(4)) * 4294967296.0) / 100;
                break;
            case CustomKind::Duration: add(asked).number = durationMinutes(v.i32(0)).value_or(0.0); break;
            case CustomKind::Date:
            case CustomKind::Start:
            case CustomKind::Finish: add(asked).date = timestamp(v, 0).value_or(QDateTime()); break;
            default: break;
            }
        }
        // Allocated once, at its size.
        d.custom.assign(std::make_move_iterator(values_.begin()), std::make_move_iterator(values_.end()));
        for (const int key : keys_) found_[key] = false;
        keys_.clear();
    }

private:
    static constexpr int kKeys = 256;  // beyond every custom field's key
    struct Asked {
        std::uint8_t slot;
        CustomKind kind;
        int number;
        int key;  // -1 for a flag
    };
    std::vector<Asked> asked_;
    // The items of the record being read, by key.
    std::array<Bytes, kKeys> items_{};
    std::array<bool, kKeys> found_{};
    std::vector<int> keys_;
    std::vector<CustomValue> values_;  // of the record being read
};

}  // namespace

Plan decodeTasks(const TaskStreams& streams, const FieldMap& fields, const DetailTables* details) {
    return TaskDecoder(streams, fields, details).run();
}

namespace {

constexpr qint64 kMpp8ResourceRecord = 196;
constexpr qint64 kMpp8AssignmentRecord = 204;
constexpr qint64 kMpp8LongAssignmentRecord = 238;

// Resource names by unique ID, then the assignments of the tasks in `taskIds`.
std::unordered_map<qint32, QString> mpp8ResourceNames(const Mpp8Tables& tables, const std::vector<qint32>& taskIds) {
    // Records are 204 bytes, or 238 in some files: 238 when only that size divides the stream;
    // when both do, the size whose records name more known tasks.
    const auto linksOfSize = [&](qint64 size) {
        std::vector<AssignmentLink> links;
        for (qint64 r = 0; r < tables.assignments.size() / size; ++r) {
            const Bytes record = tables.assignments.slice(r * size, size);
            if (record.u8(168) == 0x02) continue;  // deleted
            AssignmentLink link;
            link.uniqueId = record.i32(0);
            link.taskUniqueId = record.i32(16);
            link.resourceUniqueId = record.i32(20);
            if (std::binary_search(taskIds.begin(), taskIds.end(), link.taskUniqueId)) links.push_back(link);
        }
        return links;
    };
    const bool fits = tables.assignments.size() % kMpp8AssignmentRecord == 0;
    const bool longFits = tables.assignments.size() % kMpp8LongAssignmentRecord == 0;
    std::vector<AssignmentLink> links;
    if (fits || !longFits) links = linksOfSize(kMpp8AssignmentRecord);
    if (longFits) {
        std::vector<AssignmentLink> longLinks = linksOfSize(kMpp8LongAssignmentRecord);
        if (longLinks.size() > links.size()) links = std::move(longLinks);
    }
    if (links.empty()) return {};

    std::unordered_map<qint32, QString> names;
    Mpp8Names texts(tables.resourceTexts, "resource");
    for (qint64 r = 0; r < tables.resources.size() / kMpp8ResourceRecord; ++r) {
        const Bytes record = tables.resources.slice(r * kMpp8ResourceRecord, kMpp8ResourceRecord);
        const qint32 uniqueId = record.i32(0);
        if (uniqueId < 1 || (record.u8(8) & 0x01) != 0 || record.u16(164) != 0) continue;
        if (!names.count(uniqueId)) names.emplace(uniqueId, texts.at(-1 - qint64(record.i32(156))));
    }
    return joinResourceNames(std::move(links), names, tables.assignments.size() + tables.resourceTexts.size());
}

}  // namespace

Plan decodeMpp8Tasks(Bytes fixFix, Bytes fixDeferFix, const Mpp8Tables* details) {
    const qint64 recordSize = fixFix.size() % kMpp8Record == 0 ? kMpp8Record : kMpp8LongRecord;
    const qint64 count = fixFix.size() / recordSize;
    std::vector<Row> rows;
    Mpp8Names names(fixDeferFix);
    QString summaryName;
    // Project 98 has no outline codes.
    CustomSlots held;
    for (int slot = 0; slot < kCustomFieldCount; ++slot) {
        if (customKindOf(slot) != CustomKind::OutlineCode) held.set(static_cast<std::size_t>(slot));
    }
    DurationTexts durationTexts(details ? details->settings.units : DurationUnits());
    std::optional<Mpp8Custom> custom;
    if (details && (details->custom & held).any()) custom.emplace(details->custom & held);
    DetailsPool pool(count);
    Timestamps dates;
    for (qint64 r = 0; r < count; ++r) {
        const Bytes record = fixFix.slice(r * recordSize, recordSize);
        Row row;
        row.uniqueId = record.i32(0);
        if (row.uniqueId == 0 && details && summaryName.isEmpty()) summaryName = names.at(-1 - qint64(record.i32(264)));
        if (row.uniqueId < 1) continue;
        const quint16 deletion = record.u16(272);
        if ((deletion & 0xC0) == 0 && (deletion & 0x03) != 0 && deletion != 0x0031 && deletion != 0x203D) continue;
        row.storedId = record.i32(4);
        row.blank = (record.u8(8) & 0x01) != 0;
        if (!row.blank) {
            row.task.name = names.at(-1 - qint64(record.i32(264)));
            row.task.finish = timestamp(record, 20).value_or(QDateTime());
            row.task.start = timestamp(record, 96).value_or(QDateTime());
            row.task.durationMinutes = durationMinutes(record.i32(68)).value_or(0.0);
            if (details) {
                row.details = readMpp8Details(record, &pool, &dates);
                if (details->schedule)
                    readMpp8Schedule(record, row.task.durationMinutes, details->settings, durationTexts, dates,
                                     *row.details);
                if (custom) custom->read(record, names, *row.details);
                row.task.details = row.details;
            }
        }
        rows.push_back(std::move(row));
    }
    // Project 98 keeps IDs current: the rows follow their stored IDs.
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.storedId < b.storedId; });
    Plan plan;
    plan.customHeld = held;
    plan.positions.reserve(rows.size());
    std::vector<TaskDetails*> ordered;
    for (const Row& row : rows) {
        if (row.blank) {
            plan.positions.emplace_back(std::nullopt);
        } else {
            plan.positions.emplace_back(row.task);
        }
        ordered.push_back(row.details.get());
    }
    if (details) {
        attachResourceNames(ordered, mpp8ResourceNames(*details, taskUniqueIds(ordered)));
        for (TaskDetails* d : ordered)
            if (d) d->project = details->projectTitle.isEmpty() ? summaryName : details->projectTitle;
        if (details->schedule) finishSchedule(ordered, mpp8Links(details->links), details->settings);
    }
    return plan;
}

}  // namespace quorrix::importer::plans::mpp
