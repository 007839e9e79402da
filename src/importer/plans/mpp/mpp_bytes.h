#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <cstring>

namespace quorrix::importer::plans::mpp {

// A read-only window on bytes held elsewhere. Every read is bounds-checked: bytes outside the
// window read as zero, which is also how a record shorter than its layout is padded.
class Bytes {
public:
    Bytes() = default;
    Bytes(const char* data, qint64 size) : data_(data), size_(data ? size : 0) {}
    explicit Bytes(const QByteArray& array) : data_(array.constData()), size_(array.size()) {}

    qint64 size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const char* data() const { return data_; }

    // True when [offset, offset + length) lies inside the window.
    bool holds(qint64 offset, qint64 length) const {
        return offset >= 0 && length >= 0 && offset <= size_ && length <= size_ - offset;
    }

    // The part [offset, offset + length), cut to the window.
    Bytes slice(qint64 offset, qint64 length) const {
        if (offset < 0 || offset >= size_ || length <= 0) return {};
        if (length > size_ - offset) length = size_ - offset;
        return Bytes(data_ + offset, length);
    }

    quint8 u8(qint64 offset) const {
        return holds(offset, 1) ? static_cast<quint8>(data_[offset]) : 0;
    }
    quint16 u16(qint64 offset) const { return static_cast<quint16>(little(offset, 2)); }
    quint32 u32(qint64 offset) const { return static_cast<quint32>(little(offset, 4)); }
    qint32 i32(qint64 offset) const { return static_cast<qint32>(u32(offset)); }
    double f64(qint64 offset) const {
        const quint64 bits = little(offset, 8);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    // Little-endian value of `length` bytes; bytes past the end count as zero.
    quint64 little(qint64 offset, int length) const {
        quint64 value = 0;
        if (holds(offset, length)) {
            const auto* p = reinterpret_cast<const unsigned char*>(data_ + offset);
            for (int k = length - 1; k >= 0; --k) value = (value << 8) | p[k];
            return value;
        }
        if (offset < -8 || offset > size_) return 0;  // wholly outside; also keeps offset + k in range
        for (int k = length - 1; k >= 0; --k) value = (value << 8) | u8(offset + k);
        return value;
    }

    const char* data_ = nullptr;
    qint64 size_ = 0;
};

}  // namespace quorrix::importer::plans::mpp
