#pragma once

#include <QString>
#include <QtEndian>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "importer/plans/common/plan.h"
#include "importer/plans/common/details_pool.h"
#include "importer/plans/mpp/mpp_blocks.h"
#include "importer/plans/mpp/mpp_bytes.h"
#include "importer/plans/mpp/mpp_fields.h"
#include "importer/plans/mpp/mpp_schedule.h"

// The fields of a task beyond name, duration, start and finish (TaskDetails), read from the
// task records of an .mpp plan and from its resource and assignment tables. They are read only
// when asked for, so that reading the four fields costs nothing more.
namespace quorrix::importer::plans::mpp {

// The streams of a resource ("TBkndRsc") or assignment ("TBkndAssn") table. Any of them may be
// empty: a plan without the table has no resource names.
struct TableStreams {
    Bytes fixedMeta, fixedData, varMeta, var2Data;
};

// What reading the details of an MPP9/12/14 plan needs besides the task streams. The resource
// table is asked for only when some assignment names a real resource (most plans have none).
struct DetailTables {
    // The field maps of the two tables, parsed only when a plan assigns resources (none: no names).
    std::function<FieldMap()> resourceMap;
    std::function<FieldMap()> assignmentMap;
    TableStreams assignments;  // Var2Data not needed
    // When set, the assignments' VarMeta, read only once some assignment names a resource.
    std::function<Bytes()> assignmentIndex;
    std::function<TableStreams()> resources;
    QString projectTitle;  // empty: the summary task's name is the project's
    // The schedule fields and these custom fields, when asked for.
    bool schedule = false;
    CustomSlots custom{};
    ScheduleSettings settings;
    TableStreams links;         // "TBkndCons": FixedMeta and FixedData
    std::function<TableStreams()> outlineCodes;  // "TBkndOutlCode", read at the first outline code
};

// The Project 98 resource and assignment streams ("FixFix   0" of "TBkndRsc" and "TBkndAssn",
// and the resources' "FixDeferFix   0" holding their names); any may be empty.
struct Mpp8Tables {
    Bytes resources, resourceTexts, assignments;
    QString projectTitle;  // empty: the summary task's name is the project's
    bool schedule = false;  // the schedule fields too
    ScheduleSettings settings;
    Bytes links;  // "FixFix   0" of "TBkndCons"
    CustomSlots custom{};  // and these custom fields
};

// Reads the stored fields of one task record. Var2Data values shared by many tasks are decoded
// once; values that overlap one another (never in a sound file) may not add up to more text
// than the stream holds, the texts beyond that stay empty.
class TaskDetailReader {
  public:
    // `records`: the task records of the plan.
    TaskDetailReader(Format format, int applicationVersion, const FieldMap& fields, const VarMeta& var,
                     Bytes var2Data, const DetailTables& tables, qint64 records = 16);

    // What the task's four fields were read as: its schedule fields need them.
    struct Shown {
        double durationMinutes = 0;
        bool manual = false;
        Bytes meta2Item;  // the Fixed2Meta item (MPP12, MPP14)
    };
    // The fields stored for the task `uniqueId` whose chosen records are `data` (FixedData) and
    // `data2` (Fixed2Data) and whose FixedMeta item is `metaItem`.
    std::shared_ptr<TaskDetails> read(qint32 uniqueId, Bytes data, Bytes data2, Bytes metaItem, const Shown& shown);

  private:
    // Where the plan keeps a field of its tasks: in a record (block 0 or 1, at an offset), in
    // Var2Data under a key, or nowhere. Worked out once for the plan from its field map.
    struct Place {
        enum Kind : quint8 { kNowhere, kFixed, kVar } kind = kNowhere;
        quint8 block = 0;
        int at = 0;  // offset in the record, or Var2Data key
    };
    // The fields read for every task, as indexes of places_.
    enum Field : int {
        kOutlineLevel, kPercentComplete, kBaselineStart, kBaselineFinish, kBaselineDuration, kActualStart,
        kActualFinish, kCost, kWork, kWbs, kNotes, kFreeSlack, kStartSlack, kFinishSlack, kConstraintType,
        kConstraintDate, kDeadline, kPriority, kEarlyStart, kEarlyFinish, kLateStart, kLateFinish, kTaskType,
        kDurationFormat, kBaselineDurationFormat, kDurationText, kFieldCount
    };
    // One task's records and, found at the first var field asked for, its Var2Data entries.
    struct Task {
        qint32 uniqueId;
        Bytes data, data2;
        std::span<const VarMeta::Entry> entries;
        bool entriesFound = false;
    };
    struct Value {
        Bytes bytes;
        qint64 offset = 0;
        // Read at once when the bytes hold the value, else as the window reads it.
        quint16 u16() const {
            return bytes.holds(offset, 2) ? qFromLittleEndian<quint16>(bytes.data() + offset) : bytes.u16(offset);
        }
        qint32 i32() const {
            return bytes.holds(offset, 4) ? qFromLittleEndian<qint32>(bytes.data() + offset) : bytes.i32(offset);
        }
        double f64() const {
            if (!bytes.holds(offset, 8)) return bytes.f64(offset);
            const quint64 bits = qFromLittleEndian<quint64>(bytes.data() + offset);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
    };
    std::optional<qint32> varOffset(Task& task, int key) const;
    // Inline: read a dozen times and more for every task.
    std::optional<Value> value(Field field, Task& task) const {
        const Place& place = places_[field];
        if (place.kind == Place::kFixed) return Value{place.block == 0 ? task.data : task.data2, place.at};
        if (place.kind == Place::kVar) return varField(place.at, task);
        return std::nullopt;
    }
    std::optional<Value> varField(int key, Task& task) const;
    // The date-time of `field` into `to`, a field of a record just made: an invalid one when the
    // task has none (which a QDateTime there is already). Whether the task has one.
    template <typename To>
    bool setDate(Field field, Task& task, To& to) const {
        if (const auto v = value(field, task)) {
            if (const std::optional<QDateTime>& kept = timestamps_.at(v->bytes, v->offset)) {
                to = *kept;
                return true;
            }
        }
        if constexpr (!std::is_same_v<To, QDateTime>) to.emplace();
        return false;
    }
    QString text(Field field, Task& task, bool notes);
    std::optional<int> u16At(Field field, Task& task) const;
    std::optional<qint32> i32At(Field field, Task& task) const;
    void readSchedule(Task& task, const Shown& shown, TaskDetails& d);
    void readCustom(Task& task, Bytes metaItem);
    bool wantsCustom() const { return !flags_.empty() || !slotOfKey_.empty() || !fixedCustom_.empty(); }

    Format format_;
    int applicationVersion_;
    const VarMeta& var_;
    Bytes var2Data_;
    Place places_[kFieldCount];
    mutable Timestamps timestamps_;
    DurationTexts durationTexts_;
    DetailsPool pool_;
    // The texts decoded, by offset (notes with bit 32 set): an open-addressed table, as most texts
    // are met once and a node for each would cost more than the text.
    struct KeptText {
        bool used = false;
        qint64 key = 0;
        QString text;
    };
    std::vector<KeptText> texts_;
    std::size_t textCount_ = 0;
    KeptText& keptText(qint64 key);
    qint64 textBudget_;
    QString textAt(qint32 offset, bool notes);
    void readCustomValue(int slot, Bytes bytes, qint32 offset);

    const DetailTables& tables_;
    // The custom fields asked for: flags by their bit of the FixedMeta item, the others by their
    // Var2Data key (the slot at that key, -1 for none) or, in a file that keeps one in a record,
    // by place.
    struct FlagBit {
        std::uint8_t slot;
        int byte;
        quint8 mask;
    };
    std::vector<FlagBit> flags_;
    int flagBytes_ = 0;  // the FixedMeta item's bytes that hold them
    std::vector<std::pair<int, quint8>> flagMasks_;  // each byte holding some, and their bits there
    std::vector<qint16> slotOfKey_;
    std::vector<std::pair<int, FixedLocation>> fixedCustom_;
    std::vector<CustomValue>* customOut_ = nullptr;  // of the task being read
    std::size_t customSize_ = 1;                     // the values of the last task that had any
    void addCustom(CustomValue&& value);
    std::optional<OutlineCodes> outlineCodes_;  // read at the first value that needs them
    OutlineCodes& outlineCodes();
};

// One assignment of a resource to a task.
struct AssignmentLink {
    qint32 uniqueId = 0;
    qint32 taskUniqueId = 0;
    qint32 resourceUniqueId = 0;
    std::optional<double> units;  // percent
};

// Resource Names by task unique ID from `assignments` (in file order) and resource names by
// unique ID, in the form of resourceNames. `textBytes` is the size of the tables the names come
// from: names adding up to far more text than that throw quorrix::Failure.
std::unordered_map<qint32, QString> joinResourceNames(std::vector<AssignmentLink> assignments,
                                                      const std::unordered_map<qint32, QString>& names,
                                                      qint64 textBytes);

// Resource Names of the tasks in `taskIds` (ascending unique IDs), by task unique ID: the names
// of the resources assigned, in ascending assignment unique ID, joined by commas; units other
// than 100 % follow a name in brackets ("Anna[50%]"). Throws quorrix::Failure when the names
// would add up to far more text than the tables hold (only a hostile file does that).
std::unordered_map<qint32, QString> resourceNames(Format format, const DetailTables& tables,
                                                  const std::vector<qint32>& taskIds);

// The unique IDs of a plan's positions (null for a blank row), ascending, each once.
std::vector<qint32> taskUniqueIds(const std::vector<TaskDetails*>& positions);

// The fields a Project 98 task record (316 or 366 bytes of "FixFix   0") holds.
// Made in `pool` and with the dates kept in `dates` when given.
std::shared_ptr<TaskDetails> readMpp8Details(Bytes record, DetailsPool* pool = nullptr, Timestamps* dates = nullptr);

// Gives the tasks of a plan's positions (null for a blank row or a task without details) their
// Resource Names from `names` by unique ID.
void attachResourceNames(const std::vector<TaskDetails*>& positions,
                         const std::unordered_map<qint32, QString>& names);

}  // namespace quorrix::importer::plans::mpp
