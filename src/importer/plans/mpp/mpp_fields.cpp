#include "importer/plans/mpp/mpp_fields.h"

#include <QtEndian>
#include <algorithm>

#include "importer/plans/common/custom_fields.h"

namespace quorrix::importer::plans::mpp {
namespace {

constexpr int kRecordSize = 28;
constexpr int kNotFixed = 0xFFFF;

// The fields the four columns need come first: they are looked up for every task; then the schedule
// and the custom fields with, for an outline code, the index of its value's reference after it.
constexpr int kTaskIndices[] = {
    task_field::kUniqueId,     task_field::kId,          task_field::kName,           task_field::kDuration,
    task_field::kStart,        task_field::kFinish,      task_field::kCreated,        task_field::kConstraintType,
    task_field::kLateStart,    task_field::kLateFinish,  task_field::kTaskStart,      task_field::kTaskFinish,
    task_field::kManualDuration, task_field::kWork,      task_field::kCost,           task_field::kNotes,
    task_field::kWbs,          task_field::kBaselineDuration, task_field::kPercentComplete,
    task_field::kActualStart,  task_field::kActualFinish, task_field::kBaselineStart, task_field::kBaselineFinish,
    task_field::kOutlineLevel, task_field::kConstraintDate, task_field::kFreeSlack, task_field::kPriority,
    task_field::kEarlyStart,   task_field::kEarlyFinish, task_field::kTaskType, task_field::kBaselineDurationFormat,
    task_field::kDurationFormat, task_field::kDeadline, task_field::kStartSlack, task_field::kFinishSlack,
    task_field::kDurationText};

std::vector<int> taskIndices() {
    std::vector<int> out(std::begin(kTaskIndices), std::end(kTaskIndices));
    for (int slot = 0; slot < kCustomFieldCount; ++slot) {
        out.push_back(customFieldIndex(slot));
        if (customKindOf(slot) == CustomKind::OutlineCode) out.push_back(customFieldIndex(slot) + 1);
    }
    return out;
}
constexpr int kResourceIndices[] = {resource_field::kUniqueId, resource_field::kId, resource_field::kName};
constexpr int kAssignmentIndices[] = {assignment_field::kUniqueId, assignment_field::kTaskUniqueId,
                                      assignment_field::kResourceUniqueId, assignment_field::kUnits};

}  // namespace

FieldSet::FieldSet(quint32 tableBase, std::span<const int> kept) : base(tableBase), indices(kept) {
    const int largest = indices.empty() ? -1 : *std::max_element(indices.begin(), indices.end());
    slotOfIndex.assign(static_cast<size_t>(largest + 1), -1);
    for (size_t k = indices.size(); k-- > 0;) {
        if (indices[k] >= 0) slotOfIndex[static_cast<size_t>(indices[k])] = static_cast<qint16>(k);
    }
}

const FieldSet& taskFields() {
    static const std::vector<int> indices = taskIndices();
    static const FieldSet set{0x0B400000, indices};
    return set;
}
const FieldSet& resourceFields() {
    static const FieldSet set{0x0C400000, kResourceIndices};
    return set;
}
const FieldSet& assignmentFields() {
    static const FieldSet set{0x0F400000, kAssignmentIndices};
    return set;
}

FieldMap FieldMap::parse(Bytes data, Format format, const FieldSet& set) {
    FieldMap map(set);
    int block = 0;
    int last = 0;
    const qint64 records = data.size() / kRecordSize;
    // Looked up for every record: at hand rather than through slotOf.
    const qint16* slotOfIndex = set.slotOfIndex.data();
    const auto known = static_cast<quint32>(set.slotOfIndex.size());
    const auto slotIn = [&](bool inTable, int index) {
        return inTable && static_cast<quint32>(index) < known ? slotOfIndex[index] : -1;
    };
    for (qint64 r = 0; r < records; ++r) {
        // Whole records only: read without the window's checks.
        const char* record = data.data() + r * kRecordSize;
        const int offset = qFromLittleEndian<quint16>(record + 4);
        const int varByte = static_cast<quint8>(record[6]);
        const quint32 fieldId = qFromLittleEndian<quint32>(record + 12);
        const int category = qFromLittleEndian<quint16>(record + 20);
        const int size = qFromLittleEndian<quint16>(record + 22);
        const bool inTable = (fieldId & 0xFFFF0000u) == set.base;
        const int index = static_cast<int>(fieldId & 0xFFFFu);

        if (category == 0x0B || category == 0x64) continue;  // a flag bit kept in a meta block
        if (offset != kNotFixed) {
            if (offset < last) ++block;
            last = offset;
            if (block < 2) map.maxFixedSize_[block] = std::max(map.maxFixedSize_[block], offset + size);
            const int slot = slotIn(inTable, index);
            if (slot >= 0) {
                map.slots_[slot].varKey.reset();
                map.slots_[slot].fixed.reset();
                if (block < 2) map.slots_[slot].fixed = FixedLocation{block, offset};
            }
        } else if (const int slot = slotIn(inTable, index); slot >= 0) {
            map.slots_[slot].fixed.reset();
            map.slots_[slot].varKey.reset();
            const int key = format == Format::Mpp9 ? varByte : index;
            if (key != 0) map.slots_[slot].varKey = key;
        }
    }
    return map;
}

int FieldMap::slotOf(int field) const {
    const auto& slot = set_->slotOfIndex;
    return field >= 0 && static_cast<size_t>(field) < slot.size() ? slot[static_cast<size_t>(field)] : -1;
}

FieldMap FieldMap::defaults(Format format) {
    using namespace task_field;
    FieldMap map(taskFields());
    const auto place = [&map](int field, int block, int offset) { map.slots_[map.slotOf(field)].fixed = FixedLocation{block, offset}; };
    place(kUniqueId, 0, 0);
    place(kId, 0, 4);
    place(kLateStart, 0, 12);
    if (format == Format::Mpp14) {
        place(kDuration, 0, 42);
        place(kStart, 0, 64);
        place(kFinish, 0, 68);
        place(kConstraintType, 0, 56);
        place(kLateFinish, 0, 110);
        place(kCreated, 0, 98);
        place(kTaskStart, 1, 50);
        place(kTaskFinish, 1, 54);
        place(kManualDuration, 1, 58);
    } else {
        place(kDuration, 0, 60);
        place(kStart, 0, 88);
        place(kFinish, 0, 92);
        place(kConstraintType, 0, 80);
        place(kLateFinish, 0, 152);
        place(kCreated, 0, 130);
    }
    map.slots_[map.slotOf(kName)].varKey = format == Format::Mpp9 ? 11 : 14;
    return map;
}

std::optional<FixedLocation> FieldMap::fixed(int field) const {
    const int slot = slotOf(field);
    return slot >= 0 ? slots_[slot].fixed : std::nullopt;
}

std::optional<int> FieldMap::varKey(int field) const {
    const int slot = slotOf(field);
    return slot >= 0 ? slots_[slot].varKey : std::nullopt;
}

}  // namespace quorrix::importer::plans::mpp
