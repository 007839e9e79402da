#pragma once

#include <optional>
#include <span>
#include <vector>

#include "importer/plans/mpp/mpp_bytes.h"

// Where the task fields of an MPP9/12/14 plan are stored, read from the field map that the
// project properties hold: the layout depends on the Project version that wrote the file.
namespace quorrix::importer::plans::mpp {

enum class Format { Mpp8, Mpp9, Mpp12, Mpp14 };

// Task field indices (field ID - 0x0B400000).
namespace task_field {
inline constexpr int kName = 14;
inline constexpr int kConstraintType = 17;
inline constexpr int kId = 23;
inline constexpr int kDuration = 29;
inline constexpr int kStart = 35;
inline constexpr int kFinish = 36;
inline constexpr int kLateStart = 39;
inline constexpr int kLateFinish = 40;
inline constexpr int kUniqueId = 86;
inline constexpr int kCreated = 93;
inline constexpr int kTaskStart = 1283;
inline constexpr int kTaskFinish = 1284;
inline constexpr int kManualDuration = 1288;
// Further fields, read only when a task's details are asked for.
inline constexpr int kWork = 0;
inline constexpr int kCost = 5;
inline constexpr int kNotes = 15;
inline constexpr int kWbs = 16;
inline constexpr int kBaselineDuration = 27;
inline constexpr int kPercentComplete = 32;
inline constexpr int kActualStart = 41;
inline constexpr int kActualFinish = 42;
inline constexpr int kBaselineStart = 43;
inline constexpr int kBaselineFinish = 44;
inline constexpr int kOutlineLevel = 249;
// The schedule, read only when asked for; the custom fields are found by their own indexes.
inline constexpr int kConstraintDate = 18;
inline constexpr int kFreeSlack = 21;
inline constexpr int kPriority = 25;
inline constexpr int kEarlyStart = 37;
inline constexpr int kEarlyFinish = 38;
inline constexpr int kTaskType = 128;
inline constexpr int kBaselineDurationFormat = 179;
inline constexpr int kDurationFormat = 181;
inline constexpr int kDeadline = 437;
inline constexpr int kStartSlack = 438;
inline constexpr int kFinishSlack = 439;
inline constexpr int kDurationText = 1287;
}  // namespace task_field

// Resource field indices (field ID - 0x0C400000).
namespace resource_field {
inline constexpr int kId = 0;
inline constexpr int kName = 1;
inline constexpr int kUniqueId = 27;
}  // namespace resource_field

// Assignment field indices (field ID - 0x0F400000).
namespace assignment_field {
inline constexpr int kUniqueId = 0;
inline constexpr int kTaskUniqueId = 1;
inline constexpr int kResourceUniqueId = 2;
inline constexpr int kUnits = 7;
}  // namespace assignment_field

// The fields of one table that a field map is read for: the table's field-ID base and the
// indices kept, with the slot of every index up to the largest kept at hand (-1 = not kept).
struct FieldSet {
    FieldSet(quint32 tableBase, std::span<const int> kept);
    quint32 base;
    std::span<const int> indices;
    std::vector<qint16> slotOfIndex;  // more than 127 fields are kept
};

// Tasks (the default), resources and assignments.
const FieldSet& taskFields();
const FieldSet& resourceFields();
const FieldSet& assignmentFields();

struct FixedLocation {
    int block;   // 0 = FixedData record, 1 = Fixed2Data record
    int offset;  // bytes from the start of the record
};

class FieldMap {
public:
    // The map stored in `data` (28-byte records), for the fields of `set`.
    static FieldMap parse(Bytes data, Format format, const FieldSet& set = taskFields());
    // The built-in layout for a file without a field map.
    static FieldMap defaults(Format format);

    // Where a field is kept: in a record or under a Var2Data key; null when the set lacks the field.
    struct Slot {
        std::optional<FixedLocation> fixed;
        std::optional<int> varKey;
    };
    const Slot* slot(int field) const {
        const int at = slotOf(field);
        return at >= 0 ? &slots_[static_cast<std::size_t>(at)] : nullptr;
    }
    std::optional<FixedLocation> fixed(int field) const;
    // The Var2Data key of a var-data field; nothing when unknown.
    std::optional<int> varKey(int field) const;
    // Largest offset + size of a fixed field in the block; 0 when unknown.
    int maxFixedSize(int block) const { return block >= 0 && block < 2 ? maxFixedSize_[block] : 0; }

private:
    explicit FieldMap(const FieldSet& set) : set_(&set), slots_(set.indices.size()) {}
    int slotOf(int field) const;
    const FieldSet* set_;
    std::vector<Slot> slots_;  // one per index of the set, in its order
    int maxFixedSize_[2] = {0, 0};
};

}  // namespace quorrix::importer::plans::mpp
