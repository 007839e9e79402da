#include "importer/plans/mpp_fields.h"

#include <algorithm>

namespace quorrix::importer::plans::mpp {
namespace {

constexpr int kRecordSize = 28;
constexpr quint32 kTaskFieldBase = 0x0B400000;
constexpr int kNotFixed = 0xFFFF;

}  // namespace

FieldMap FieldMap::parse(Bytes data, Format format) {
    FieldMap map;
    int block = 0;
    int last = 0;
    const qint64 records = data.size() / kRecordSize;
    for (qint64 r = 0; r < records; ++r) {
        const qint64 at = r * kRecordSize;
        const int offset = data.u16(at + 4);
        const int varByte = data.u8(at + 6);
        const quint32 fieldId = data.u32(at + 12);
        const int category = data.u16(at + 20);
        const int size = data.u16(at + 22);
        const bool taskField = (fieldId & 0xFFFF0000u) == kTaskFieldBase;
        const int index = static_cast<int>(fieldId & 0xFFFFu);

        if (category == 0x0B || category == 0x64) continue;  // a flag bit kept in a meta block
        if (offset != kNotFixed) {
            if (offset < last) ++block;
            last = offset;
            if (block < 2) map.maxFixedSize_[block] = std::max(map.maxFixedSize_[block], offset + size);
            const int slot = taskField ? slotOf(index) : -1;
            if (slot >= 0) {
                map.slots_[slot].varKey.reset();
                map.slots_[slot].fixed.reset();
                if (block < 2) map.slots_[slot].fixed = FixedLocation{block, offset};
            }
        } else if (const int slot = taskField ? slotOf(index) : -1; slot >= 0) {
            map.slots_[slot].fixed.reset();
            map.slots_[slot].varKey.reset();
            const int key = format == Format::Mpp9 ? varByte : index;
            if (key != 0) map.slots_[slot].varKey = key;
        }
    }
    return map;
}

int FieldMap::slotOf(int field) {
    for (size_t k = 0; k < kKept.size(); ++k) {
        if (kKept[k] == field) return static_cast<int>(k);
    }
    return -1;
}

FieldMap FieldMap::defaults(Format format) {
    using namespace task_field;
    FieldMap map;
    const auto place = [&map](int field, int block, int offset) { map.slots_[slotOf(field)].fixed = FixedLocation{block, offset}; };
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
    map.slots_[slotOf(kName)].varKey = format == Format::Mpp9 ? 11 : 14;
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
