#include "importer/plans/common/resource_names.h"
#include "importer/plans/mpp/mpp_details.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>

#include "importer/plans/common/custom_fields.h"
#include "importer/plans/mpp/mpp_notes_rtf.h"
#include "platform/failure.h"

namespace quorrix::importer::plans::mpp {
namespace {

constexpr int kResourceFixedMetaItemSize = 37;
constexpr int kAssignmentFixedMetaItemSize = 34;
// Project's placeholder resource of assignments that have none.
constexpr qint32 kNoResource = -65535;

std::optional<double> finite(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// The kind, number and field index of every custom field's slot, worked out once.
struct SlotFacts {
    CustomKind kind;
    int number;
    int index;
};
const std::array<SlotFacts, kCustomFieldCount>& slotFacts() {
    static const auto facts = [] {
        std::array<SlotFacts, kCustomFieldCount> all{};
        for (int slot = 0; slot < kCustomFieldCount; ++slot)
            all[static_cast<std::size_t>(slot)] = {customKindOf(slot), customNumberOf(slot), customFieldIndex(slot)};
        return all;
    }();
    return facts;
}

}  // namespace

// ---- the stored fields of a task -------------------------------------------------------------

TaskDetailReader::TaskDetailReader(Format format, int applicationVersion, const FieldMap& fields,
                                   const VarMeta& var, Bytes var2Data, const DetailTables& tables, qint64 records)
    : format_(format),
      applicationVersion_(applicationVersion),
      var_(var),
      var2Data_(var2Data),
      durationTexts_(tables.settings.units),
      pool_(records),
      textBudget_(var2Data.size()),
      tables_(tables) {
    // Their indexes in the field map, in the order of Field.
    namespace f = task_field;
    static constexpr int kIndexes[kFieldCount] = {
        f::kOutlineLevel,   f::kPercentComplete, f::kBaselineStart,  f::kBaselineFinish, f::kBaselineDuration,
        f::kActualStart,    f::kActualFinish,    f::kCost,           f::kWork,           f::kWbs,
        f::kNotes,          f::kFreeSlack,       f::kStartSlack,     f::kFinishSlack,    f::kConstraintType,
        f::kConstraintDate, f::kDeadline,        f::kPriority,       f::kEarlyStart,     f::kEarlyFinish,
        f::kLateStart,      f::kLateFinish,      f::kTaskType,       f::kDurationFormat, f::kBaselineDurationFormat,
        f::kDurationText};
    for (int k = 0; k < kFieldCount; ++k) {
        Place& place = places_[k];
        if (const auto location = fields.fixed(kIndexes[k])) {
            place = {Place::kFixed, static_cast<quint8>(location->block), location->offset};
        } else if (const auto key = fields.varKey(kIndexes[k])) {
            place = {Place::kVar, 0, *key};
        }
    }

    // Flag n is a bit of the task's FixedMeta item, whose place moved with the versions of Project.
    const auto flagBit = [&](int number) {
        int byte = 37, bit = 4 + number;
        if (format_ == Format::Mpp14 && applicationVersion_ >= 15) {
            byte = number <= 10 ? 24 : 33;
            bit = number <= 10 ? number : number - 10;
        } else if (format_ == Format::Mpp14) {
            byte = 35;
            bit = 5 + number;
        }
        return std::make_pair(byte + bit / 8, static_cast<quint8>(1 << (bit % 8)));
    };
    if (tables.custom.none()) return;
    flags_.reserve(static_cast<std::size_t>(customFieldsOf(CustomKind::Flag)));
    const auto& facts = slotFacts();
    for (int slot = 0; slot < kCustomFieldCount; ++slot) {
        if (!tables.custom.test(static_cast<std::size_t>(slot))) continue;
        const CustomKind kind = facts[static_cast<std::size_t>(slot)].kind;
        if (kind == CustomKind::Flag) {
            const auto [byte, mask] = flagBit(facts[static_cast<std::size_t>(slot)].number);
            flags_.push_back({static_cast<std::uint8_t>(slot), byte, mask});
            flagBytes_ = std::max(flagBytes_, byte + 1);
            const auto same = std::find_if(flagMasks_.begin(), flagMasks_.end(),
                                           [byte = byte](const auto& m) { return m.first == byte; });
            if (same == flagMasks_.end()) flagMasks_.emplace_back(byte, mask);
            else same->second |= mask;
            continue;
        }
        // An outline code's value is a reference kept under the next index.
        const int index = facts[static_cast<std::size_t>(slot)].index + (kind == CustomKind::OutlineCode ? 1 : 0);
        const FieldMap::Slot* kept = fields.slot(index);
        if (!kept) continue;
        if (const auto& at = kept->fixed) {
            fixedCustom_.emplace_back(slot, *at);
        } else if (const auto& key = kept->varKey) {
            if (static_cast<std::size_t>(*key) >= slotOfKey_.size()) slotOfKey_.resize(static_cast<std::size_t>(*key) + 1, -1);
            slotOfKey_[static_cast<std::size_t>(*key)] = static_cast<qint16>(slot);
        }
    }
}

std::optional<qint32> TaskDetailReader::varOffset(Task& task, int key) const {
    if (!task.entriesFound) {
        task.entries = var_.entriesOf(task.uniqueId);
        task.entriesFound = true;
    }
    for (const VarMeta::Entry& entry : task.entries) {  // by key
        if (entry.key == key) return entry.offset;
        if (entry.key > key) break;
    }
    return std::nullopt;
}

std::optional<int> TaskDetailReader::u16At(Field field, Task& task) const {
    const auto v = value(field, task);
    if (!v) return std::nullopt;
    return v->u16();
}

std::optional<qint32> TaskDetailReader::i32At(Field field, Task& task) const {
    const auto v = value(field, task);
    if (!v) return std::nullopt;
    return v->i32();
}

std::optional<TaskDetailReader::Value> TaskDetailReader::varField(int key, Task& task) const {
    if (const auto offset = varOffset(task, key)) {
        if (const auto bytes = varValue(var2Data_, *offset)) return Value{*bytes, 0};
    }
    return std::nullopt;
}

QString TaskDetailReader::text(Field field, Task& task, bool notes) {
    const Place& place = places_[field];
    if (place.kind != Place::kVar) return {};
    const auto offset = varOffset(task, place.at);
    if (!offset) return {};
    return textAt(*offset, notes);
}

TaskDetailReader::KeptText& TaskDetailReader::keptText(qint64 key) {
    if (2 * (textCount_ + 1) > texts_.size()) {  // at most half full
        std::vector<KeptText> old(std::max<std::size_t>(64, 2 * texts_.size()));
        old.swap(texts_);
        textCount_ = 0;
        for (KeptText& kept : old)
            if (kept.used) keptText(kept.key) = std::move(kept);
    }
    const std::size_t mask = texts_.size() - 1;
    for (std::size_t at = (static_cast<quint64>(key) * 0x9E3779B97F4A7C15ull) >> 40;; ++at) {
        KeptText& kept = texts_[at & mask];
        if (kept.used && kept.key == key) return kept;
        if (!kept.used) {
            kept.used = true;
            kept.key = key;
            ++textCount_;
            return kept;
        }
    }
}

QString TaskDetailReader::textAt(qint32 offset, bool notes) {
    const qint64 cacheKey = qint64(offset) | (notes ? (qint64(1) << 32) : 0);
    const std::size_t count = textCount_;
    KeptText& kept = keptText(cacheKey);
    if (textCount_ == count) return kept.text;  // met before
    if (const auto bytes = varValue(var2Data_, offset)) {
        textBudget_ -= bytes->size();
        if (textBudget_ >= 0) kept.text = notes ? notesText(*bytes) : utf16Text(*bytes);
    }
    return kept.text;
}

std::shared_ptr<TaskDetails> TaskDetailReader::read(qint32 uniqueId, Bytes data, Bytes data2, Bytes metaItem,
                                                    const Shown& shown) {
    auto d = pool_.make();
    d->uniqueId = uniqueId;
    Task task{uniqueId, data, data2, {}};

    if (const auto v = value(kOutlineLevel, task)) d->outlineLevel = v->u16();
    if (const auto v = value(kPercentComplete, task)) {
        const int percent = v->u16();
        if (percent <= 100) d->percentComplete = percent;
    }

    // The milestone bit of the FixedMeta item moved in the files of Project 2013 and later.
    if (format_ == Format::Mpp14 && applicationVersion_ >= 15) {
        d->milestone = (metaItem.u8(10) & 0x02) != 0;
    } else {
        d->milestone = (metaItem.u8(8) & 0x20) != 0;
    }

    // No baseline: NA dates and a zero duration, or no entries at all.
    const bool baselineStart = setDate(kBaselineStart, task, d->baselineStart);
    const bool baselineFinish = setDate(kBaselineFinish, task, d->baselineFinish);
    if (const auto v = value(kBaselineDuration, task)) {
        const auto minutes = durationMinutes(v->i32());
        if (minutes && (*minutes != 0 || baselineStart || baselineFinish))
            d->baselineDurationMinutes = minutes;
    }
    setDate(kActualStart, task, d->actualStart);
    setDate(kActualFinish, task, d->actualFinish);

    // Cost in hundredths of the currency unit, work in thousandths of a minute.
    if (const auto v = value(kCost, task)) {
        if (const auto cost = finite(v->f64())) d->cost = *cost / 100.0;
    }
    if (const auto v = value(kWork, task)) {
        if (const auto work = finite(v->f64())) d->workMinutes = *work / 1000.0;
    }

    d->wbs = text(kWbs, task, false);
    d->notes = text(kNotes, task, true);
    if (tables_.schedule) readSchedule(task, shown, *d);
    if (wantsCustom()) {
        customOut_ = &d->custom;
        readCustom(task, metaItem);
        if (!d->custom.empty()) customSize_ = d->custom.size();
    }
    return d;
}

// Total Slack and Critical are not stored: the slack comes from the start and finish slack here,
// Critical once the links are known (finishSchedule).
void TaskDetailReader::readSchedule(Task& task, const Shown& shown, TaskDetails& d) {
    ScheduleFields& s = d.schedule;
    const DurationUnits& units = tables_.settings.units;
    const auto minutesOf = [&](Field field) -> std::optional<double> {
        const auto tenths = i32At(field, task);
        if (!tenths) return std::nullopt;
        return *tenths / 10.0;
    };
    s.freeSlackMinutes = minutesOf(kFreeSlack);
    const auto startSlack = minutesOf(kStartSlack);
    const auto finishSlack = minutesOf(kFinishSlack);
    if (finishSlack && (d.actualStart.isValid() || !startSlack)) s.totalSlackMinutes = finishSlack;
    else if (startSlack) s.totalSlackMinutes = finishSlack ? std::min(*startSlack, *finishSlack) : *startSlack;
    s.constraintType = u16At(kConstraintType, task);
    setDate(kConstraintDate, task, s.constraintDate);
    setDate(kDeadline, task, s.deadline);
    if (const auto priority = u16At(kPriority, task)) s.priority = *priority;
    setDate(kEarlyStart, task, s.earlyStart);
    setDate(kEarlyFinish, task, s.earlyFinish);
    setDate(kLateStart, task, s.lateStart);
    setDate(kLateFinish, task, s.lateFinish);
    s.taskType = u16At(kTaskType, task);
    s.manual = shown.manual;
    // Only Project 2010 and later plans can hold inactive tasks.
    s.active = format_ != Format::Mpp14 || (shown.meta2Item.u8(8) & (applicationVersion_ <= 14 ? 0x04 : 0x40)) != 0;
    const int format = u16At(kDurationFormat, task).value_or(kDefaultFormat);
    s.estimated = (format & kEstimatedBit) != 0;
    const QString typed = shown.manual ? text(kDurationText, task, false) : QString();
    s.durationShown = typed.isEmpty() ? durationTexts_(shown.durationMinutes, format) : typed;
    s.durationDays = durationDays(shown.durationMinutes, format, units);
    if (d.baselineDurationMinutes) {
        const int baseline = u16At(kBaselineDurationFormat, task).value_or(format & ~kEstimatedBit);
        s.baselineDurationShown = durationTexts_(*d.baselineDurationMinutes, baseline);
        s.baselineDurationDays = durationDays(*d.baselineDurationMinutes, baseline, units);
    }
}

void TaskDetailReader::readCustom(Task& task, Bytes metaItem) {
    const bool whole = metaItem.holds(0, flagBytes_);
    const auto byteAt = [&](int at) { return whole ? static_cast<quint8>(metaItem.data()[at]) : metaItem.u8(at); };
    // Most tasks set none of the flags: their few bytes are looked at first.
    bool anyFlag = false;
    for (const auto& [at, mask] : flagMasks_) anyFlag = anyFlag || (byteAt(at) & mask) != 0;
    for (std::size_t k = 0; anyFlag && k < flags_.size(); ++k) {
        const FlagBit& flag = flags_[k];
        if ((byteAt(flag.byte) & flag.mask) == 0) continue;
        CustomValue out;
        out.slot = flag.slot;
        out.number = 1;
        addCustom(std::move(out));
    }
    // The task's var entries once, rather than a search for each field.
    if (!slotOfKey_.empty()) {
        if (!task.entriesFound) {
            task.entries = var_.entriesOf(task.uniqueId);
            task.entriesFound = true;
        }
        for (const VarMeta::Entry& entry : task.entries) {
            if (entry.key < 0 || static_cast<std::size_t>(entry.key) >= slotOfKey_.size()) continue;
            const int slot = slotOfKey_[static_cast<std::size_t>(entry.key)];
            if (slot < 0) continue;
            if (const auto bytes = varValue(var2Data_, entry.offset)) readCustomValue(slot, *bytes, entry.offset);
        }
    }
    for (const auto& [slot, at] : fixedCustom_) {
        const Bytes block = at.block == 0 ? task.data : task.data2;
        readCustomValue(slot, block.slice(at.offset, block.size() - at.offset), -1);
    }
}

// One custom value from its bytes; `offset` in Var2Data (-1 for a value in a record) shares the
// decoding of a text many tasks hold.
// Allocated once for most tasks: at its first value, for as many as the last task with any had.
void TaskDetailReader::addCustom(CustomValue&& value) {
    if (customOut_->capacity() == 0) customOut_->reserve(customSize_);
    customOut_->push_back(std::move(value));
}

void TaskDetailReader::readCustomValue(int slot, Bytes bytes, qint32 offset) {
    const CustomKind kind = slotFacts()[static_cast<std::size_t>(slot)].kind;
    // A value taken from the field's value list is stored as a reference to the list's entry.
    const bool listed = kind != CustomKind::OutlineCode && OutlineCodes::isListReference(bytes);
    if (listed && kind != CustomKind::Text) {
        const auto entry = outlineCodes().listEntry(bytes);
        if (!entry) return;
        bytes = *entry;
    }
    CustomValue out;
    out.slot = static_cast<std::uint8_t>(slot);
    switch (kind) {
    case CustomKind::Text:
        out.text = listed ? outlineCodes().listText(bytes) : offset >= 0 ? textAt(offset, false) : utf16Text(bytes);
        if (out.text.isEmpty()) return;
        break;
    case CustomKind::OutlineCode:
        out.text = outlineCodes().text(bytes);
        if (out.text.isEmpty()) return;
        break;
    case CustomKind::Number:
    case CustomKind::Cost: {
        const auto number = finite(bytes.f64(0));
        if (!number) return;
        out.number = kind == CustomKind::Cost ? *number / 100.0 : *number;  // costs in hundredths
        break;
    }
    case CustomKind::Date:
    case CustomKind::Start:
    case CustomKind::Finish:
        out.date = timestamps_.at(bytes, 0).value_or(QDateTime());
        if (!out.date.isValid()) return;
        break;
    case CustomKind::Duration: {
        const auto minutes = durationMinutes(bytes.i32(0));
        if (!minutes) return;
        out.number = *minutes;
        break;
    }
    case CustomKind::Flag: return;
    }
    addCustom(std::move(out));
}

OutlineCodes& TaskDetailReader::outlineCodes() {
    if (!outlineCodes_) {
        const TableStreams t = tables_.outlineCodes ? tables_.outlineCodes() : TableStreams();
        outlineCodes_.emplace(format_, applicationVersion_, t.fixedMeta, t.fixedData, t.varMeta, t.var2Data);
    }
    return *outlineCodes_;
}

// ---- resource names ----------------------------------------------------------------------------

namespace {

using Assignment = AssignmentLink;

// Resource unique ID → name (the first item of a unique ID wins; a
// resource exists only with var entries). Names are decoded within the size of Var2Data.
std::unordered_map<qint32, QString> resourcesByUniqueId(Format format, const FieldMap& map,
                                                        const TableStreams& s) {
    std::unordered_map<qint32, QString> names;
    const auto uidAt = map.fixed(resource_field::kUniqueId);
    if (!uidAt || uidAt->block != 0) return names;
    const auto meta = FixedMeta::parse(s.fixedMeta, kResourceFixedMetaItemSize);
    const auto var =
        VarMeta::parse(s.varMeta, format == Format::Mpp9 ? VarMeta::Layout::Mpp9 : VarMeta::Layout::Mpp12);
    if (!meta || !var) return names;
    const int minimum = map.maxFixedSize(0);
    const auto nameKey = map.varKey(resource_field::kName);
    qint64 budget = s.var2Data.size();
    std::unordered_map<qint32, QString> byOffset;
    for (qint64 i = 0; i < meta->count(); ++i) {
        const Bytes data = fixedDataItem(*meta, s.fixedData, i, 0, 0);
        if (data.empty() || data.size() < minimum) continue;
        const qint32 uniqueId = static_cast<qint32>(data.u16(uidAt->offset));
        if (names.count(uniqueId) || !var->has(uniqueId)) continue;
        QString name;
        if (nameKey) {
            if (const auto offset = var->offset(uniqueId, *nameKey)) {
                if (const auto it = byOffset.find(*offset); it != byOffset.end()) {
                    name = it->second;
                } else if (const auto bytes = varValue(s.var2Data, *offset)) {
                    budget -= bytes->size();
                    if (budget >= 0) name = utf16Text(*bytes);
                    byOffset.emplace(*offset, name);
                }
            }
        }
        names.emplace(uniqueId, name);
    }
    return names;
}

// The assignments in use of the tasks in `taskIds`: none when none of them names a resource.
std::vector<Assignment> assignments(Format format, const DetailTables& tables, const std::vector<qint32>& taskIds) {
    std::vector<Assignment> out;
    const TableStreams& s = tables.assignments;
    const auto meta = FixedMeta::parse(s.fixedMeta, kAssignmentFixedMetaItemSize);
    if (!meta || !tables.assignmentMap) return out;
    const auto inUse = [&](qint64 i) { return meta->item(i).u8(0) == 0; };  // else deleted or not in use
    qint64 first = 0;
    while (first < meta->count() && !inUse(first)) ++first;
    if (first == meta->count()) return out;  // most plans assign no resource

    const FieldMap map = tables.assignmentMap();
    const auto uidAt = map.fixed(assignment_field::kUniqueId);
    const auto taskAt = map.fixed(assignment_field::kTaskUniqueId);
    const auto resourceAt = map.fixed(assignment_field::kResourceUniqueId);
    const auto unitsAt = map.fixed(assignment_field::kUnits);
    if (!uidAt || !taskAt || !resourceAt) return out;
    const qint64 recordSize = std::max(map.maxFixedSize(0), 1);
    for (qint64 i = first; i < meta->count(); ++i) {
        if (!inUse(i)) continue;
        const qint64 offset = meta->item(i).i32(4);
        if (offset < 0 || offset >= s.fixedData.size()) continue;
        // Reads past the stream's end give zeros: the record is padded.
        const Bytes record(s.fixedData.data() + offset, std::min(recordSize, s.fixedData.size() - offset));
        Assignment a{
            record.i32(uidAt->offset), record.i32(taskAt->offset), record.i32(resourceAt->offset), {}};
        // Only an assignment of a resource gives a name: none of Project's "no resource" is kept.
        if (a.resourceUniqueId == kNoResource) continue;
        if (!std::binary_search(taskIds.begin(), taskIds.end(), a.taskUniqueId)) continue;
        if (unitsAt) {
            if (const auto units = finite(record.f64(unitsAt->offset))) a.units = *units / 100.0;
        }
        out.push_back(a);
    }
    if (out.empty()) return out;
    // An assignment is in use only with var entries.
    const Bytes index = tables.assignmentIndex ? tables.assignmentIndex() : s.varMeta;
    const auto var = VarMeta::parse(index, format == Format::Mpp9 ? VarMeta::Layout::Mpp9 : VarMeta::Layout::Mpp12);
    if (!var) return {};
    out.erase(std::remove_if(out.begin(), out.end(), [&](const Assignment& a) { return !var->has(a.uniqueId); }),
              out.end());
    return out;
}

}  // namespace

std::unordered_map<qint32, QString> joinResourceNames(std::vector<AssignmentLink> list,
                                                      const std::unordered_map<qint32, QString>& names,
                                                      qint64 textBytes) {
    std::unordered_map<qint32, QString> result;
    // Only assignments of resources with a name give any: most plans have none.
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&names](const AssignmentLink& a) {
                                  if (a.resourceUniqueId == kNoResource) return true;
                                  const auto name = names.find(a.resourceUniqueId);
                                  return name == names.end() || name->second.isEmpty();
                              }),
               list.end());
    if (list.empty()) return result;
    // The first assignment of a resource to a task counts; then ascending assignment unique ID.
    std::map<std::pair<qint32, qint32>, size_t> firstOf;
    std::vector<AssignmentLink> kept;
    for (const AssignmentLink& a : list) {
        if (firstOf.emplace(std::make_pair(a.taskUniqueId, a.resourceUniqueId), kept.size()).second)
            kept.push_back(a);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const AssignmentLink& x, const AssignmentLink& y) {
        return x.taskUniqueId != y.taskUniqueId ? x.taskUniqueId < y.taskUniqueId : x.uniqueId < y.uniqueId;
    });

    // A sound plan's names take a few dozen characters per assignment record; many records
    // naming one very long name are a hostile file.
    qint64 budget = textBytes * 4 + (1 << 20);
    for (const AssignmentLink& a : kept) {
        if (a.resourceUniqueId == kNoResource) continue;
        const auto name = names.find(a.resourceUniqueId);
        if (name == names.end() || name->second.isEmpty()) continue;
        budget -= name->second.size() + 8;
        if (budget < 0) {
            throw Failure(
                failure_number::kBadFileFormat,
                QStringLiteral("The file is damaged: its resource names repeat beyond what it holds."));
        }
        // The file keeps units in percent.
        appendResourceName(result[a.taskUniqueId], name->second, a.units ? *a.units / 100 : 1.0);
    }
    return result;
}

std::unordered_map<qint32, QString> resourceNames(Format format, const DetailTables& tables,
                                                  const std::vector<qint32>& taskIds) {
    std::vector<Assignment> list = assignments(format, tables, taskIds);
    const bool named =
        std::any_of(list.begin(), list.end(), [](const Assignment& a) { return a.resourceUniqueId != kNoResource; });
    if (!named || !tables.resources || !tables.resourceMap) return {};
    const TableStreams resources = tables.resources();
    return joinResourceNames(std::move(list), resourcesByUniqueId(format, tables.resourceMap(), resources),
                             tables.assignments.fixedData.size() + resources.var2Data.size());
}

std::vector<qint32> taskUniqueIds(const std::vector<TaskDetails*>& positions) {
    std::vector<qint32> ids;
    ids.reserve(positions.size());
    for (const TaskDetails* d : positions) {
        if (d && d->uniqueId) ids.push_back(static_cast<qint32>(*d->uniqueId));
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

// ---- Project 98 ----------------------------------------------------------------------------------

namespace {

// A 6-byte unsigned integer.
double unsigned48(Bytes bytes, qint64 offset) {
    return static_cast<double>(bytes.u32(offset)) + static_cast<double>(bytes.u16(offset + 4)) * 4294967296.0;
}

}  // namespace

std::shared_ptr<TaskDetails> readMpp8Details(Bytes record, DetailsPool* pool, Timestamps* dates) {
    auto d = pool ? pool->make() : std::make_shared<TaskDetails>();
    const auto timestamp = [dates](Bytes bytes, qint64 offset) {
        return dates ? dates->at(bytes, offset) : mpp::timestamp(bytes, offset);
    };
    d->uniqueId = record.i32(0);
    d->outlineLevel = record.u16(48);
    if (const int percent = record.u16(130); percent <= 100) d->percentComplete = percent;
    d->milestone = (record.u8(12) & 0x01) != 0;
    const auto baselineStart = timestamp(record, 112);
    const auto baselineFinish = timestamp(record, 116);
    d->baselineStart = baselineStart.value_or(QDateTime());
    d->baselineFinish = baselineFinish.value_or(QDateTime());
    const auto baselineDuration = durationMinutes(record.i32(82));
    if (baselineDuration && (*baselineDuration != 0 || baselineStart || baselineFinish)) {
        d->baselineDurationMinutes = baselineDuration;
    }
    d->actualStart = timestamp(record, 104).value_or(QDateTime());
    d->actualFinish = timestamp(record, 108).value_or(QDateTime());
    d->cost = unsigned48(record, 222) / 100.0;       // hundredths of the currency unit
    d->workMinutes = unsigned48(record, 168) * 0.6;  // hundredths of an hour
    return d;
}

// ---- derived fields ----------------------------------------------------------------------------

void attachResourceNames(const std::vector<TaskDetails*>& positions,
                         const std::unordered_map<qint32, QString>& names) {
    for (TaskDetails* d : positions) {
        if (!d || !d->uniqueId) continue;
        if (const auto it = names.find(static_cast<qint32>(*d->uniqueId)); it != names.end())
            d->resourceNames = it->second;
    }
}

}  // namespace quorrix::importer::plans::mpp
