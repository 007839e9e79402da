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
            if (taskField) {
                map.varKeys_.erase(index);
                if (block < 2) {
                    map.fixed_[index] = FixedLocation{block, offset};
                } else {
                    map.fixed_.erase(index);
                }
            }
        } else if (taskField) {
            map.fixed_.erase(index);
            const int key = format == Format::Mpp9 ? varByte : index;
            if (key != 0) {
                map.varKeys_[index] = key;
            } else {
                map.varKeys_.erase(index);
            }
        }
    }
    return map;
}

FieldMap FieldMap::defaults(Format format) {
    using namespace task_field;
    FieldMap map;
    map.fixed_[kUniqueId] = {0, 0};
    map.fixed_[kId] = {0, 4};
    map.fixed_[kLateStart] = {0, 12};
    if (format == Format::Mpp14) {
        map.fixed_[kDuration] = {0, 42};
        map.fixed_[kStart] = {0, 64};
        map.fixed_[kFinish] = {0, 68};
        map.fixed_[kConstraintType] = {0, 56};
        map.fixed_[kLateFinish] = {0, 110};
        map.fixed_[kCreated] = {0, 98};
        map.fixed_[kTaskStart] = {1, 50};
        map.fixed_[kTaskFinish] = {1, 54};
        map.fixed_[kManualDuration] = {1, 58};
    } else {
        map.fixed_[kDuration] = {0, 60};
        map.fixed_[kStart] = {0, 88};
        map.fixed_[kFinish] = {0, 92};
        map.fixed_[kConstraintType] = {0, 80};
        map.fixed_[kLateFinish] = {0, 152};
        map.fixed_[kCreated] = {0, 130};
    }
    map.varKeys_[kName] = format == Format::Mpp9 ? 11 : 14;
    return map;
}

std::optional<FixedLocation> FieldMap::fixed(int field) const {
    const auto it = fixed_.find(field);
    if (it == fixed_.end()) return std::nullopt;
    return it->second;
}

std::optional<int> FieldMap::varKey(int field) const {
    const auto it = varKeys_.find(field);
    if (it == varKeys_.end()) return std::nullopt;
    return it->second;
}

}  // namespace quorrix::importer::plans::mpp
