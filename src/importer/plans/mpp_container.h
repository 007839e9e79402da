#pragma once

#include <QByteArray>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace quorrix::importer::plans::mpp {

// True when the bytes start with the compound-document signature D0 CF 11 E0 A1 B1 1A E1.
bool isCompoundSignature(const QByteArray& head);

// A compound document (OLE2) opened from memory with libgsf. The object keeps the bytes (a
// shared copy, detached when the directory's timestamps are cleared). Stream contents are
// copied out whole; a stream is never allowed to claim more bytes than the document itself
// holds, so memory stays proportional to the file's size.
class CompoundFile {
public:
    // Throws quorrix::Failure when the bytes are not a readable compound document. With
    // `keepStorage`, a storage of the root whose name it refuses is opened as an empty one, and
    // nothing inside it is ever read: opening costs in proportion to the entries kept.
    explicit CompoundFile(QByteArray bytes, const std::function<bool(const QString&)>& keepStorage = {});
    ~CompoundFile();
    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;

    // The stream at `path` (storage names, then the stream name), or nothing when absent.
    // Throws quorrix::Failure when the stream exists but cannot be read in full.
    std::optional<QByteArray> stream(const QStringList& path) const;

private:
    struct Handle;
    // The storage or stream (a GsfInput) at `path`, or null with *absent set; opened storages
    // are kept for reuse. Typed void* so that libgsf's headers stay out of this one.
    void* open(const QStringList& path, bool* absent) const;
    std::unique_ptr<Handle> handle_;
    qint64 documentSize_ = 0;
};

}  // namespace quorrix::importer::plans::mpp
