#pragma once

#include <QByteArray>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace quorrix::importer::plans::mpp {

// True when the bytes start with the compound-document signature D0 CF 11 E0 A1 B1 1A E1.
bool isCompoundSignature(const QByteArray& head);

// A compound document (OLE2) read straight from its bytes in memory, which the object keeps (a
// shared copy). Opening checks the header, locates the allocation tables and the small-part
// store, and walks the directory once, without recursion; stream contents are copied out whole
// when asked for. Every sector number, chain, index and size read from the file is checked: a
// stream never claims more bytes than the document holds, and memory stays proportional to the
// file's size. The object holds no mutable state, so documents can be read on several threads.
class CompoundFile {
public:
    // Throws quorrix::Failure when the bytes are not a readable compound document. With
    // `keepStorage`, a storage of the root whose name it refuses is opened as an empty one: its
    // entries are checked with the rest of the directory, but none is kept and none of its
    // streams is ever read.
    explicit CompoundFile(QByteArray bytes, const std::function<bool(const QString&)>& keepStorage = {});
    ~CompoundFile();
    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;

    // The stream at `path` (storage names, then the stream name), or nothing when absent.
    // Throws quorrix::Failure when the stream exists but cannot be read in full.
    std::optional<QByteArray> stream(const QStringList& path) const;

private:
    // A directory entry reached from the root. The children of a storage lie side by side.
    struct Entry {
        qint64 at = 0;          // offset of the directory entry in the document
        quint64 size = 0;       // of a stream
        quint32 start = 0;      // first sector of a stream
        quint32 firstChild = 0;  // index in entries_ of a storage's first child
        quint32 children = 0;   // number of a storage's children kept
        quint8 nameUnits = 0;   // UTF-16 units of the name
        bool storage = false;
    };

    void readHeader();
    void readDirectory(const std::function<bool(const QString&)>& keepStorage);
    void readSmallPartStore();
    const Entry* child(const Entry& storage, const QString& name) const;
    QString nameOf(const Entry& entry) const;
    quint32 nextSector(quint32 sector) const;
    quint32 nextMiniSector(quint32 sector) const;
    // Offsets in the document of the sectors of the chain starting at `first`, each checked to
    // hold a whole sector; a failure when the chain loops, leaves the file or ends otherwise.
    std::vector<qint64> wholeSectorChain(quint32 first) const;
    QByteArray read(const Entry& entry, const QString& name) const;

    QByteArray document_;
    int shift_ = 9;                        // log2 of the sector size
    quint32 sectors_ = 0;                  // sectors with at least one byte in the document
    std::vector<qint64> fatSectors_;       // offsets of the allocation table's sectors
    std::vector<qint64> miniFatSectors_;   // offsets of the small-part allocation table's sectors
    std::vector<qint64> miniStream_;       // offsets of the sectors of the small-part store
    quint64 miniStreamSize_ = 0;
    std::vector<Entry> entries_;           // the root first
};

}  // namespace quorrix::importer::plans::mpp
