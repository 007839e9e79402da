#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorrix::importer::workbook {

// An append-only log of byte records. Its most recent part stays in memory; older parts move
// to an anonymous temporary file (gone with the process), so that a workbook of a million rows
// costs little memory. Records never change once written: a changed row is written anew.
class ByteLog {
public:
    ByteLog();
    ~ByteLog();
    ByteLog(const ByteLog&) = delete;
    ByteLog& operator=(const ByteLog&) = delete;

    std::uint64_t end() const { return tailStart_ + tail_.size(); }

    // Appends a record and returns its offset.
    std::uint64_t append(const char* data, std::size_t size);

    // True when the record at `offset` is the last one and still in memory, so that it can grow.
    bool canExtend(std::uint64_t offset, std::size_t size) const {
        return offset >= tailStart_ && offset + size == end();
    }
    // Adds bytes to the last record, which starts at `offset`.
    void extend(std::uint64_t offset, const char* data, std::size_t size);

    // The bytes of a record; valid until the next call on the log.
    const char* view(std::uint64_t offset, std::size_t size) const;

private:
    void makeRoom(std::size_t size, std::uint64_t keepFrom);
    static bool writeAll(int fd, const char* data, std::size_t size, std::uint64_t at);

    std::vector<char> tail_;
    std::uint64_t tailStart_ = 0;
    int fd_ = -1;
    bool spillFailed_ = false;
    mutable std::vector<char> window_;
    mutable std::uint64_t windowStart_ = 0;
};

}  // namespace quorrix::importer::workbook
