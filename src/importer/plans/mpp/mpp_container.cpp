#include "importer/plans/mpp/mpp_container.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "importer/plans/mpp/mpp_bytes.h"
#include "platform/failure.h"

namespace quorrix::importer::plans::mpp {
namespace {

// The layout: a 512-byte header (the first sector of a document with 4096-byte sectors), then
// sectors numbered from 0, chained by the allocation table (FAT) whose own sectors the header
// and its extension (DIFAT) list. Streams below 4096 bytes live in 64-byte mini sectors of the
// small-part store, a stream of the root entry chained by the mini allocation table. The
// directory is a chain of sectors of 128-byte entries; the children of a storage form a tree
// of left and right sibling links below its child link.
constexpr quint32 kLastRegularSector = 0xFFFFFFFA;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kNoEntry = 0xFFFFFFFF;
constexpr int kMiniShift = 6;
constexpr quint64 kMiniSector = 1u << kMiniShift;
constexpr quint64 kMiniStreamCutoff = 4096;
constexpr int kHeaderFatSectors = 109;
constexpr qint64 kEntrySize = 128;
// Deeper than any real plan's directory (Project keeps its trees balanced): a crafted chain of
// siblings is refused before it costs anything.
constexpr size_t kMaxDirectoryDepth = 1000;

enum EntryType : quint8 { kStorage = 1, kStream = 2, kRoot = 5 };

[[noreturn]] void damaged(const QString& what) {
    throw Failure(failure_number::kBadFileFormat, QStringLiteral("The file is damaged: %1.").arg(what));
}

[[noreturn]] void unreadable() { damaged(QStringLiteral("its compound-document structure cannot be read")); }

[[noreturn]] void malformedDirectory(const char* why) {
    damaged(QStringLiteral("its directory of parts is malformed (%1)").arg(QLatin1String(why)));
}

quint32 le32(const char* at) { return qFromLittleEndian<quint32>(at); }

// Sector numbers already met on a chain, to refuse one that loops.
class SectorSet {
public:
    explicit SectorSet(quint32 bound) : bits_((size_t(bound) + 63) / 64, 0) {}
    // False when `sector` was there already.
    bool insert(quint32 sector) {
        quint64& word = bits_[sector / 64];
        const quint64 bit = quint64(1) << (sector % 64);
        if (word & bit) return false;
        word |= bit;
        return true;
    }

private:
    std::vector<quint64> bits_;
};

}  // namespace

bool isCompoundSignature(const QByteArray& head) {
    static const char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    return head.size() >= 8 && std::memcmp(head.constData(), kSignature, 8) == 0;
}

CompoundFile::CompoundFile(QByteArray bytes, const std::function<bool(const QString&)>& keepStorage)
    : document_(std::move(bytes)) {
    if (!isCompoundSignature(document_)) {
        throw Failure(failure_number::kBadFileFormat,
                      QStringLiteral("The file is not a plan file (it is not a compound document)."));
    }
    readHeader();
    readDirectory(keepStorage);
    readSmallPartStore();
}

CompoundFile::~CompoundFile() = default;

void CompoundFile::readHeader() {
    const Bytes bytes(document_);
    if (bytes.size() < 512 || bytes.u16(28) != 0xFFFE || bytes.u16(32) != kMiniShift ||
        bytes.u32(56) != kMiniStreamCutoff) {
        unreadable();
    }
    shift_ = bytes.u16(30);
    if (shift_ != 9 && shift_ != 12) unreadable();
    const qint64 sectorSize = qint64(1) << shift_;
    // Sector n starts at (n + 1) sectors; the last one may be cut short.
    const qint64 sectors = (bytes.size() + sectorSize - 1) / sectorSize - 1;
    sectors_ = quint32(std::clamp<qint64>(sectors, 0, kLastRegularSector));

    // The allocation table's sectors: the first 109 listed in the header, the rest in a chain.
    const quint32 fatCount = bytes.u32(44);
    if (fatCount == 0 || fatCount > sectors_) unreadable();
    fatSectors_.reserve(fatCount);
    const auto addFatSector = [&](quint32 sector) {
        const qint64 at = (qint64(sector) + 1) << shift_;
        if (sector >= sectors_ || !bytes.holds(at, sectorSize)) unreadable();
        fatSectors_.push_back(at);
    };
    for (int k = 0; k < kHeaderFatSectors && fatSectors_.size() < fatCount; ++k) addFatSector(bytes.u32(76 + 4 * k));
    if (fatSectors_.size() < fatCount) {
        SectorSet seen(sectors_);
        for (quint32 sector = bytes.u32(68); fatSectors_.size() < fatCount;) {
            const qint64 at = (qint64(sector) + 1) << shift_;
            if (sector >= sectors_ || !seen.insert(sector) || !bytes.holds(at, sectorSize)) unreadable();
            for (qint64 k = 0; k < sectorSize / 4 - 1 && fatSectors_.size() < fatCount; ++k) {
                addFatSector(bytes.u32(at + 4 * k));
            }
            sector = bytes.u32(at + sectorSize - 4);
        }
    }
}

quint32 CompoundFile::nextSector(quint32 sector) const {
    const size_t index = sector >> (shift_ - 2);
    if (index >= fatSectors_.size()) return kNoEntry;
    return le32(document_.constData() + fatSectors_[index] + 4 * (sector & ((1u << (shift_ - 2)) - 1)));
}

quint32 CompoundFile::nextMiniSector(quint32 sector) const {
    const size_t index = sector >> (shift_ - 2);
    if (index >= miniFatSectors_.size()) return kNoEntry;
    return le32(document_.constData() + miniFatSectors_[index] + 4 * (sector & ((1u << (shift_ - 2)) - 1)));
}

std::vector<qint64> CompoundFile::wholeSectorChain(quint32 first) const {
    std::vector<qint64> chain;
    if (first == kEndOfChain) return chain;
    const qint64 sectorSize = qint64(1) << shift_;
    SectorSet seen(sectors_);
    for (quint32 sector = first; sector != kEndOfChain; sector = nextSector(sector)) {
        const qint64 at = (qint64(sector) + 1) << shift_;
        if (sector >= sectors_ || !seen.insert(sector) || !Bytes(document_).holds(at, sectorSize)) unreadable();
        chain.push_back(at);
    }
    return chain;
}

void CompoundFile::readDirectory(const std::function<bool(const QString&)>& keepStorage) {
    const Bytes bytes(document_);
    const std::vector<qint64> directory = wholeSectorChain(bytes.u32(48));
    const qint64 perSector = (qint64(1) << shift_) / kEntrySize;
    const qint64 count = qint64(directory.size()) * perSector;
    if (count == 0) unreadable();
    const auto offsetOf = [&](quint32 entry) {
        return directory[entry / perSector] + (entry % perSector) * kEntrySize;
    };
    const auto entryAt = [&](qint64 at, bool storage) {
        Entry entry;
        entry.at = at;
        entry.storage = storage;
        entry.start = bytes.u32(at + 116);
        // Documents with 512-byte sectors may leave garbage in the size's upper half.
        entry.size = bytes.u32(at + 120) | (shift_ == 9 ? 0 : quint64(bytes.u32(at + 124)) << 32);
        int units = std::min(bytes.u16(at + 64) / 2, 32);
        for (int k = 0; k < units; ++k) {
            if (bytes.u16(at + 2 * k) == 0) units = k;
        }
        entry.nameUnits = quint8(units);
        return entry;
    };

    const qint64 root = directory[0];
    if (bytes.u32(root + 68) != kNoEntry || bytes.u32(root + 72) != kNoEntry) {
        damaged(QStringLiteral("its directory of parts is malformed (the root entry has siblings)"));
    }
    if (bytes.u8(root + 66) != kRoot) malformedDirectory("the root entry is missing");
    entries_.push_back(entryAt(root, true));

    // Storage by storage, the tree of each one's children, every entry reached once. The whole
    // directory is checked; only the entries of storages kept are recorded.
    struct Storage {
        qint64 kept;  // index in entries_, or -1 when its children are left out
        quint32 entry;
        size_t depth;
    };
    struct Link {
        quint32 entry;
        size_t depth;
    };
    std::vector<char> seen(size_t(count), 0);
    seen[0] = 1;
    std::vector<Storage> storages{{0, 0, 1}};
    std::vector<Link> links;
    while (!storages.empty()) {
        const Storage parent = storages.back();
        storages.pop_back();
        const quint32 first = bytes.u32(offsetOf(parent.entry) + 76);
        if (first == kNoEntry) continue;
        const bool keep = parent.kept >= 0;
        if (keep) entries_[size_t(parent.kept)].firstChild = quint32(entries_.size());
        links.assign(1, {first, parent.depth + 1});
        while (!links.empty()) {
            const Link link = links.back();
            links.pop_back();
            if (link.entry >= count) malformedDirectory("a link points past its end");
            if (seen[link.entry]) malformedDirectory("an entry is linked twice");
            seen[link.entry] = 1;
            if (link.depth > kMaxDirectoryDepth) damaged(QStringLiteral("its directory of parts is nested too deeply"));
            const qint64 at = offsetOf(link.entry);
            const quint8 type = bytes.u8(at + 66);
            if (type != kStorage && type != kStream && type != kRoot) continue;  // unused: ends its branch
            for (const qint64 side : {68, 72}) {
                const quint32 next = bytes.u32(at + side);
                if (next != kNoEntry) links.push_back({next, link.depth + 1});
            }
            const bool storage = type != kStream;
            qint64 kept = -1;
            if (keep) {
                kept = qint64(entries_.size());
                entries_.push_back(entryAt(at, storage));
                if (storage && parent.entry == 0 && keepStorage && !keepStorage(nameOf(entries_.back()))) kept = -1;
            }
            if (storage) storages.push_back({kept, link.entry, link.depth});
        }
        if (keep) {
            Entry& storage = entries_[size_t(parent.kept)];
            storage.children = quint32(entries_.size()) - storage.firstChild;
        }
    }
}

void CompoundFile::readSmallPartStore() {
    miniStreamSize_ = entries_[0].size;
    if (miniStreamSize_ == 0) return;
    if (miniStreamSize_ > quint64(document_.size())) unreadable();
    const qint64 sectorSize = qint64(1) << shift_;
    const quint64 needed = (miniStreamSize_ + quint64(sectorSize) - 1) >> shift_;
    miniStream_.reserve(needed);
    SectorSet seen(sectors_);
    quint32 sector = entries_[0].start;
    for (quint64 k = 0; k < needed; ++k) {
        if (sector >= sectors_ || !seen.insert(sector)) unreadable();
        miniStream_.push_back((qint64(sector) + 1) << shift_);
        sector = nextSector(sector);
    }
    miniFatSectors_ = wholeSectorChain(Bytes(document_).u32(60));
}

QString CompoundFile::nameOf(const Entry& entry) const {
    QString name(entry.nameUnits, Qt::Uninitialized);
    const char* at = document_.constData() + entry.at;
    for (int k = 0; k < entry.nameUnits; ++k) name[k] = QChar(qFromLittleEndian<quint16>(at + 2 * k));
    return name;
}

const CompoundFile::Entry* CompoundFile::child(const Entry& storage, const QString& name) const {
    const qsizetype units = name.size();
    const QChar* wanted = name.constData();
    const quint32 end = storage.firstChild + storage.children;
    for (quint32 k = storage.firstChild; k < end; ++k) {
        const Entry& entry = entries_[k];
        if (entry.nameUnits != units) continue;
        const char* at = document_.constData() + entry.at;
        qsizetype same = 0;
        while (same < units && qFromLittleEndian<quint16>(at + 2 * same) == wanted[same].unicode()) ++same;
        if (same == units) return &entry;
    }
    return nullptr;
}

std::optional<QByteArray> CompoundFile::stream(const QStringList& path) const {
    if (path.isEmpty()) return std::nullopt;
    const Entry* current = &entries_[0];
    for (const QString& name : path) {
        if (!current->storage) return std::nullopt;
        current = child(*current, name);
        if (!current) return std::nullopt;
    }
    if (current->storage) return std::nullopt;
    return read(*current, path.last().trimmed());
}

QByteArray CompoundFile::read(const Entry& entry, const QString& name) const {
    const quint64 size = entry.size;
    if (size > quint64(document_.size())) {
        damaged(QStringLiteral("the part \"%1\" claims more bytes than the file holds").arg(name));
    }
    const auto endsEarly = [&name] { damaged(QStringLiteral("the part \"%1\" ends early").arg(name)); };
    const auto loops = [&name] {
        damaged(QStringLiteral("the part \"%1\" cannot be read (its sectors loop)").arg(name));
    };
    const Bytes bytes(document_);
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    char* out = data.data();
    quint32 sector = entry.start;
    if (size < kMiniStreamCutoff) {
        const quint64 sectorMask = (quint64(1) << shift_) - 1;
        quint32 met[kMiniStreamCutoff / kMiniSector];
        size_t steps = 0;
        for (quint64 done = 0; done < size; done += kMiniSector) {
            const quint64 n = std::min(kMiniSector, size - done);
            const quint64 position = quint64(sector) << kMiniShift;
            if (sector >= kLastRegularSector || position + n > miniStreamSize_) endsEarly();
            if (std::find(met, met + steps, sector) != met + steps) loops();
            met[steps++] = sector;
            const qint64 at = miniStream_[position >> shift_] + qint64(position & sectorMask);
            if (!bytes.holds(at, qint64(n))) endsEarly();
            std::memcpy(out + done, bytes.data() + at, n);
            sector = nextMiniSector(sector);
        }
        return data;
    }
    const quint64 sectorSize = quint64(1) << shift_;
    SectorSet seen(sectors_);
    for (quint64 done = 0; done < size; done += sectorSize) {
        const quint64 n = std::min(sectorSize, size - done);
        const qint64 at = (qint64(sector) + 1) << shift_;
        if (sector >= sectors_ || !bytes.holds(at, qint64(n))) endsEarly();
        if (!seen.insert(sector)) loops();
        std::memcpy(out + done, bytes.data() + at, n);
        sector = nextSector(sector);
    }
    return data;
}

}  // namespace quorrix::importer::plans::mpp
