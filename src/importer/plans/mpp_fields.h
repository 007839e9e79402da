#pragma once

#include <array>
#include <optional>

#include "importer/plans/mpp_bytes.h"

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
}  // namespace task_field

struct FixedLocation {
    int block;   // 0 = FixedData record, 1 = Fixed2Data record
    int offset;  // bytes from the start of the record
};

class FieldMap {
public:
    // The map stored in `data` (28-byte records).
    static FieldMap parse(Bytes data, Format format);
    // The built-in layout for a file without a field map.
    static FieldMap defaults(Format format);

    std::optional<FixedLocation> fixed(int field) const;
    // The Var2Data key of a var-data field; nothing when unknown.
    std::optional<int> varKey(int field) const;
    // Largest offset + size of a fixed field in the block; 0 when unknown.
    int maxFixedSize(int block) const { return block >= 0 && block < 2 ? maxFixedSize_[block] : 0; }

private:
    // Only the fields the reader uses are kept, each in its own slot.
    static constexpr std::array<int, 13> kKept = {task_field::kName,       task_field::kConstraintType,
                                                  task_field::kId,         task_field::kDuration,
                                                  task_field::kStart,      task_field::kFinish,
                                                  task_field::kLateStart,  task_field::kLateFinish,
                                                  task_field::kUniqueId,   task_field::kCreated,
                                                  task_field::kTaskStart,  task_field::kTaskFinish,
                                                  task_field::kManualDuration};
    static int slotOf(int field);
    struct Slot {
        std::optional<FixedLocation> fixed;
        std::optional<int> varKey;
    };
    std::array<Slot, kKept.size()> slots_{};
    int maxFixedSize_[2] = {0, 0};
};

}  // namespace quorrix::importer::plans::mpp
