#pragma once

#include <QDateTime>
#include <QString>
#include <QtEndian>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "importer/plans/common/kept_values.h"
#include "importer/plans/mpp/mpp_bytes.h"

// The generic block structures of the .mpp task streams and the encodings of their values. All
// views point into stream contents held by the caller.
namespace quorrix::importer::plans::mpp {

inline constexpr quint32 kBlockMagic = 0xFADFADBA;

// A property stream: 16-byte header (entry count at 12), then entries of i32 size, i32 key,
// i32 unknown and `size` bytes of value, padded to an even length.
class Props {
public:
    static Props parse(Bytes stream);
    // The value of one key, without the stream parsed into entries; the last entry wins.
    static std::optional<Bytes> find(Bytes stream, qint32 key);
    // The Project 98 form: entries of i32 a, i32 key, i32 b and a value of a bytes when the key's
    // third byte is 64, else of b bytes (65536 standing for 4), padded to an even length.
    static Props parseMpp8(Bytes stream);
    // The value of `key`; the last entry wins when a key repeats.
    std::optional<Bytes> value(qint32 key) const;

private:
    std::vector<std::pair<qint32, Bytes>> entries_;
};

// A fixed-meta block: 16-byte header, then items of one size. The item count is worked out from
// the stream size, never taken from the header.
class FixedMeta {
public:
    // Nothing when the magic number is wrong or the item size is not positive.
    static std::optional<FixedMeta> parse(Bytes stream, int itemSize);
    // The item size of an MPP14 Fixed2Meta block (92 to 96) that fits `stream` best, given the
    // item count of the task FixedMeta.
    static int mpp14Fixed2ItemSize(Bytes stream, qint64 taskItemCount);

    qint64 count() const { return count_; }
    int itemSize() const { return itemSize_; }
    qint32 writtenCount() const { return stream_.i32(8); }
    Bytes item(qint64 index) const;
    qint32 flags(qint64 index) const { return item(index).i32(0); }
    qint32 dataOffset(qint64 index) const { return item(index).i32(4); }

private:
    Bytes stream_;
    int itemSize_ = 0;
    qint64 count_ = 0;
};

// The data item `index` of a fixed-data stream laid out by `meta`; empty when the item is
// missing. `minSize` and `maxSize` (0 = none) are the limits of the block kind.
Bytes fixedDataItem(const FixedMeta& meta, Bytes data, qint64 index, qint64 minSize, qint64 maxSize);

// A var-meta block: unique ID and key → offset of a value in Var2Data.
class VarMeta {
public:
    enum class Layout { Mpp9, Mpp12 };
    // Nothing when the magic number is wrong (0 is accepted as well).
    static std::optional<VarMeta> parse(Bytes stream, Layout layout);

    bool has(qint32 uniqueId) const;
    std::optional<qint32> offset(qint32 uniqueId, int key) const;

    struct Entry {
        qint32 uniqueId;
        int key;
        qint32 offset;
    };
    // Every entry of one unique ID, by key.
    std::span<const Entry> entriesOf(qint32 uniqueId) const;

private:
    std::vector<Entry> entries_;  // sorted by unique ID, then key; one entry per pair
};

// The value stored at `offset` of a Var2Data stream: i32 length, then the bytes.
std::optional<Bytes> varValue(Bytes var2Data, qint32 offset);

// Text in UTF-16LE, ending at the first aligned NUL or at the end of the bytes.
QString utf16Text(Bytes bytes);

// A 4-byte timestamp: nothing when it stands for "NA".
std::optional<QDateTime> timestamp(Bytes bytes, qint64 offset);

// timestamp() for the many dates of a plan's tasks, which repeat: the last values decoded are
// kept by their bytes, so that a repeated one is a copy.
class Timestamps {
public:
    // Valid until the next call.
    const std::optional<QDateTime>& at(Bytes bytes, qint64 offset) {
        const quint32 raw =
            bytes.holds(offset, 4) ? qFromLittleEndian<quint32>(bytes.data() + offset) : bytes.u32(offset);
        const quint64 hash = quint64(quint32(raw * 2654435761u)) << 32;
        return kept_.get(raw, hash, [&] { return timestamp(bytes, offset); });
    }

private:
    KeptValues<quint32, std::optional<QDateTime>, 6> kept_;
};

// A duration in tenths of a minute: nothing for -1 ("no value").
std::optional<double> durationMinutes(qint32 tenths);

}  // namespace quorrix::importer::plans::mpp
