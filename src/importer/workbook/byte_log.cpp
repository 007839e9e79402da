#include "importer/workbook/byte_log.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/failure.h"

namespace quorrix::importer::workbook {

namespace {

constexpr std::size_t kTailBytes = 256 * 1024;
constexpr std::size_t kWindowBytes = 256 * 1024;

int anonymousFile() {
    const QByteArray folder = QFile::encodeName(QDir::tempPath());
#ifdef O_TMPFILE
    const int fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
#endif
    QByteArray pattern = folder + "/quorrix-rows-XXXXXX";
    const int named = ::mkstemp(pattern.data());
    if (named >= 0) ::unlink(pattern.constData());
    return named;
}

[[noreturn]] void storageFailed() {
    throw Failure(7, QStringLiteral("Out of memory: the workbook's rows could not be stored (%1).")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)).toLower()));
}

}  // namespace

ByteLog::ByteLog() { tail_.reserve(kTailBytes); }

ByteLog::~ByteLog() {
    if (fd_ >= 0) ::close(fd_);
}

bool ByteLog::writeAll(int fd, const char* data, std::size_t size, std::uint64_t at) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        at += static_cast<std::uint64_t>(n);
    }
    return true;
}

// Moves the bytes before `keepFrom` to the file when the tail has no room for `size` more.
// Without a usable temporary file (none can be made, or its disk is full) everything from then on
// simply stays in memory.
void ByteLog::makeRoom(std::size_t size, std::uint64_t keepFrom) {
    if (tail_.size() + size <= tail_.capacity() || spillFailed_ || keepFrom == tailStart_) return;
    if (fd_ < 0) {
        fd_ = anonymousFile();
        if (fd_ < 0) {
            spillFailed_ = true;
            return;
        }
    }
    const auto spilled = static_cast<std::size_t>(keepFrom - tailStart_);
    if (!writeAll(fd_, tail_.data(), spilled, tailStart_)) {
        spillFailed_ = true;
        return;
    }
    tail_.erase(tail_.begin(), tail_.begin() + static_cast<std::ptrdiff_t>(spilled));
    tailStart_ = keepFrom;
}

std::uint64_t ByteLog::append(const char* data, std::size_t size) {
    makeRoom(size, end());
    const std::uint64_t offset = end();
    tail_.insert(tail_.end(), data, data + size);
    return offset;
}

void ByteLog::extend(std::uint64_t offset, const char* data, std::size_t size) {
    makeRoom(size, offset);
    tail_.insert(tail_.end(), data, data + size);
}

const char* ByteLog::view(std::uint64_t offset, std::size_t size) const {
    if (offset >= tailStart_) return tail_.data() + (offset - tailStart_);
    if (offset >= windowStart_ && offset + size <= windowStart_ + window_.size())
        return window_.data() + (offset - windowStart_);
    // Records never straddle the boundary between file and memory.
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max<std::size_t>(size, kWindowBytes), tailStart_ - offset));
    window_.resize(want);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(fd_, window_.data() + got, want - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) storageFailed();
        got += static_cast<std::size_t>(n);
    }
    windowStart_ = offset;
    return window_.data();
}

}  // namespace quorrix::importer::workbook
