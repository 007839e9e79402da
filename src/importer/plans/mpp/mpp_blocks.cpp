#include "importer/plans/mpp/mpp_blocks.h"

#include <algorithm>
#include <limits>


namespace quorrix::importer::plans::mpp {

namespace {

// Calls `entry(key, value)` for each entry of a property stream, in order.
template <typename Entry>
void walkProps(Bytes stream, Entry entry) {
    const int count = stream.u16(12);
    qint64 at = 16;
    for (int k = 0; k < count; ++k) {
        if (!stream.holds(at, 12)) break;
        const qint32 size = stream.i32(at);
        const qint32 key = stream.i32(at + 4);
        at += 12;
        if (size < 1 || !stream.holds(at, size)) break;
        entry(key, stream.slice(at, size));
        at += size;
        if (size % 2 != 0) ++at;
    }
}

}  // namespace

Props Props::parse(Bytes stream) {
    Props props;
    props.entries_.reserve(std::min<qint64>(stream.u16(12), stream.size() / 12));
    walkProps(stream, [&props](qint32 key, Bytes value) { props.entries_.emplace_back(key, value); });
    return props;
}

std::optional<Bytes> Props::find(Bytes stream, qint32 key) {
    std::optional<Bytes> found;
    walkProps(stream, [&found, key](qint32 k, Bytes value) {
        if (k == key) found = value;
    });
    return found;
}

Props Props::parseMpp8(Bytes stream) {
    Props props;
    const int count = stream.u16(12);
    qint64 at = 16;
    for (int k = 0; k < count; ++k) {
        if (!stream.holds(at, 12)) break;
        const qint32 a = stream.i32(at);
        const qint32 key = stream.i32(at + 4);
        const qint32 b = stream.i32(at + 8);
        at += 12;
        const qint32 size = ((key >> 16) & 0xFF) == 64 ? a : (b == 65536 ? 4 : b);
        if (size < 0 || !stream.holds(at, size)) break;
        props.entries_.emplace_back(key, stream.slice(at, size));
        at += size;
        if (size % 2 != 0) ++at;
    }
    return props;
}

std::optional<Bytes> Props::value(qint32 key) const {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->first == key) return it->second;
    }
    return std::nullopt;
}

std::optional<FixedMeta> FixedMeta::parse(Bytes stream, int itemSize) {
    if (itemSize <= 0 || stream.size() < 16 || stream.u32(0) != kBlockMagic) return std::nullopt;
    FixedMeta meta;
    meta.stream_ = stream;
    meta.itemSize_ = itemSize;
    meta.count_ = (stream.size() - 16) / itemSize;
    return meta;
}

int FixedMeta::mpp14Fixed2ItemSize(Bytes stream, qint64 taskItemCount) {
    const qint64 available = stream.size() - 16;
    if (available <= 0) return 92;
    for (int size = 92; size <= 96; ++size) {
        if (available % size == 0 && available / size == taskItemCount) return size;
    }
    const qint64 written = stream.i32(8);
    int best = 92;
    qint64 bestGap = std::numeric_limits<qint64>::min();
    for (int size = 92; size <= 96; ++size) {
        if (available % size != 0) continue;
        const qint64 gap = written * size - available;
        if (gap <= 0 && gap > bestGap) {
            bestGap = gap;
            best = size;
        }
    }
    return best;
}

Bytes FixedMeta::item(qint64 index) const {
    if (index < 0 || index >= count_) return {};
    return stream_.slice(16 + index * itemSize_, itemSize_);
}

Bytes fixedDataItem(const FixedMeta& meta, Bytes data, qint64 index, qint64 minSize, qint64 maxSize) {
    if (index < 0 || index >= meta.count()) return {};
    const qint64 offset = meta.dataOffset(index);
    if (offset < 0 || offset >= data.size()) return {};
    qint64 size = index + 1 < meta.count() ? qint64(meta.dataOffset(index + 1)) - offset : data.size() - offset;
    if (size == 0) size = minSize;
    if (size < 0 || size > data.size() - offset) {
        size = data.size() - offset;
        if (maxSize > 0 && size > maxSize) size = maxSize;
    }
    if (maxSize > 0 && size > maxSize) size = maxSize;
    if (size <= 0) return {};
    return data.slice(offset, size);
}

std::optional<VarMeta> VarMeta::parse(Bytes stream, Layout layout) {
    const quint32 magic = stream.u32(0);
    if (stream.size() < 24 || (magic != kBlockMagic && magic != 0)) return std::nullopt;
    VarMeta meta;
    const int entrySize = layout == Layout::Mpp9 ? 8 : 12;
    const qint64 count = (stream.size() - 24) / entrySize;
    meta.entries_.reserve(static_cast<size_t>(count));
    for (qint64 k = 0; k < count; ++k) {
        const qint64 at = 24 + k * entrySize;
        Entry entry;
        if (layout == Layout::Mpp9) {
            entry.uniqueId = static_cast<qint32>(stream.u32(at) & 0xFFFFFF);
            entry.key = stream.u8(at + 3);
            entry.offset = stream.i32(at + 4);
        } else {
            entry.uniqueId = stream.i32(at);
            entry.offset = stream.i32(at + 4);
            entry.key = stream.u16(at + 8);
        }
        meta.entries_.push_back(entry);
    }
    // Sort by unique ID and key, keeping file order within a pair so that the last one wins.
    std::stable_sort(meta.entries_.begin(), meta.entries_.end(), [](const Entry& a, const Entry& b) {
        return a.uniqueId != b.uniqueId ? a.uniqueId < b.uniqueId : a.key < b.key;
    });
    std::vector<Entry> unique;
    unique.reserve(meta.entries_.size());
    for (const Entry& entry : meta.entries_) {
        if (!unique.empty() && unique.back().uniqueId == entry.uniqueId && unique.back().key == entry.key) {
            unique.back() = entry;
        } else {
            unique.push_back(entry);
        }
    }
    meta.entries_ = std::move(unique);
    return meta;
}

bool VarMeta::has(qint32 uniqueId) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), uniqueId,
                                     [](const Entry& e, qint32 id) { return e.uniqueId < id; });
    return it != entries_.end() && it->uniqueId == uniqueId;
}

std::span<const VarMeta::Entry> VarMeta::entriesOf(qint32 uniqueId) const {
    const auto [first, last] = std::equal_range(
        entries_.begin(), entries_.end(), Entry{uniqueId, 0, 0},
        [](const Entry& a, const Entry& b) { return a.uniqueId < b.uniqueId; });
    return {first, last};
}

std::optional<qint32> VarMeta::offset(qint32 uniqueId, int key) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), std::make_pair(uniqueId, key),
                                     [](const Entry& e, const std::pair<qint32, int>& wanted) {
                                         return e.uniqueId != wanted.first ? e.uniqueId < wanted.first
                                                                           : e.key < wanted.second;
                                     });
    if (it == entries_.end() || it->uniqueId != uniqueId || it->key != key) return std::nullopt;
    return it->offset;
}

std::optional<Bytes> varValue(Bytes var2Data, qint32 offset) {
    if (!var2Data.holds(offset, 4)) return std::nullopt;
    const qint32 length = var2Data.i32(offset);
    if (length < 0 || !var2Data.holds(qint64(offset) + 4, length)) return std::nullopt;
    return var2Data.slice(qint64(offset) + 4, length);
}

QString utf16Text(Bytes bytes) {
    const qint64 units = bytes.size() / 2;
    qint64 length = 0;
    while (length < units && bytes.u16(length * 2) != 0) ++length;
    QString text(static_cast<qsizetype>(length), Qt::Uninitialized);
    QChar* out = text.data();
    for (qint64 k = 0; k < length; ++k) out[k] = QChar(bytes.u16(k * 2));
    return text;
}

std::optional<QDateTime> timestamp(Bytes bytes, qint64 offset) {
    const quint16 day = bytes.u16(offset + 2);
    if (day <= 1 || day == 0xFFFF) return std::nullopt;
    quint16 time = bytes.u16(offset);
    if (time == 0xFFFF) time = 0;
    const qint64 seconds = qint64(time) * 6;
    if (day < 100 && seconds % 60 != 0) return std::nullopt;
    // Days after 1983-12-31, which is day 5,112 after 1970-01-01; built from the milliseconds as
    // wallClock would build it from the day and time.
    constexpr qint64 kEpochDay = 5112;
    return QDateTime::fromMSecsSinceEpoch(((kEpochDay + day) * 86400 + seconds) * 1000, Qt::UTC);
}

std::optional<double> durationMinutes(qint32 tenths) {
    if (tenths == -1) return std::nullopt;
    return tenths / 10.0;
}

}  // namespace quorrix::importer::plans::mpp
