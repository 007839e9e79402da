// The compound-document reader on documents laid out by hand, so that a test can damage one known
// place: streams in mini sectors and in regular ones, 512- and 4096-byte sectors, the allocation
// table's extension, and crafted headers, chains, sizes and directories, each of which must give
// the one-line failure, never a crash, hang or an allocation beyond the file's size.
#include <gtest/gtest.h>

#include <QtEndian>

#include "importer/plans/mpp/mpp_container.h"
#include "mpp_test_files.h"
#include "platform/failure.h"

namespace quorrix::importer::plans {
namespace {

using mpp::CompoundFile;
using mpp_test::put16;
using mpp_test::put32;

constexpr quint32 kEnd = 0xFFFFFFFE;
constexpr quint32 kFree = 0xFFFFFFFF;
constexpr qint32 kNone = -1;

struct Node {
    QString name;
    int type = 2;  // 1 storage, 2 stream, 5 root
    qint32 left = kNone, right = kNone, child = kNone;
    QByteArray data;
};

// A document in a fixed order of sectors: the allocation table (FAT), its extension (DIFAT),
// the directory, the mini FAT, the small-part store, then the streams of 4096 bytes or more,
// each chain running through consecutive sectors.
struct Document {
    QByteArray bytes;
    int shift = 9;
    std::vector<quint32> start;  // first (mini) sector of each entry
    qint64 sectorAt(quint32 sector) const { return (qint64(sector) + 1) << shift; }
    qint64 fatEntryAt(quint32 sector) const {
        const quint32 per = (1u << shift) / 4;
        return fatEntryOffsets[sector / per] + 4 * (sector % per);
    }
    qint64 entryAt(int entry) const { return directoryAt + 128 * entry; }
    qint64 miniFatEntryAt(quint32 sector) const { return miniFatAt + 4 * sector; }
    std::vector<qint64> fatEntryOffsets;
    qint64 directoryAt = 0, miniFatAt = 0;
    quint32 directorySector = 0, miniFatSector = 0, miniStreamSector = 0, difatSector = 0;
};

Document build(const std::vector<Node>& nodes, int shift = 9, quint32 minimumFatSectors = 1) {
    Document d;
    d.shift = shift;
    const qint64 size = qint64(1) << shift;
    const quint32 per = quint32(size / 4);
    const auto sectorsFor = [size](qint64 bytes) { return quint32((bytes + size - 1) / size); };

    // Small streams into the small-part store, 64-byte sectors one after another.
    d.start.assign(nodes.size(), kEnd);
    quint32 miniSectors = 0;
    quint32 bigSectors = 0;
    for (size_t k = 1; k < nodes.size(); ++k) {
        const qint64 n = nodes[k].data.size();
        if (nodes[k].type != 2 || n == 0) continue;
        if (n < 4096) {
            d.start[k] = miniSectors;
            miniSectors += quint32((n + 63) / 64);
        } else {
            bigSectors += sectorsFor(n);
        }
    }
    const quint32 directory = sectorsFor(qint64(nodes.size()) * 128);
    const quint32 miniFat = sectorsFor(qint64(miniSectors) * 4);
    const quint32 miniStream = sectorsFor(qint64(miniSectors) * 64);
    quint32 fat = minimumFatSectors, difat = 0;
    for (;;) {
        difat = fat > 109 ? (fat - 109 + per - 2) / (per - 1) : 0;
        if (quint64(fat) * per >= quint64(fat) + difat + directory + miniFat + miniStream + bigSectors) break;
        ++fat;
    }
    const quint32 total = fat + difat + directory + miniFat + miniStream + bigSectors;
    d.difatSector = fat;
    d.directorySector = fat + difat;
    d.miniFatSector = miniFat ? d.directorySector + directory : kEnd;
    d.miniStreamSector = miniStream ? d.directorySector + directory + miniFat : kEnd;
    quint32 next = d.directorySector + directory + miniFat + miniStream;
    for (size_t k = 1; k < nodes.size(); ++k) {
        if (nodes[k].type == 2 && nodes[k].data.size() >= 4096) {
            d.start[k] = next;
            next += sectorsFor(nodes[k].data.size());
        }
    }

    QByteArray& b = d.bytes;
    b = QByteArray((qint64(total) + 1) * size, '\0');
    b.replace(0, 8, QByteArray::fromHex("D0CF11E0A1B11AE1"));
    put16(b, 24, 0x3E);
    put16(b, 26, shift == 9 ? 3 : 4);
    put16(b, 28, 0xFFFE);
    put16(b, 30, quint16(shift));
    put16(b, 32, 6);
    put32(b, 44, fat);
    put32(b, 48, d.directorySector);
    put32(b, 56, 4096);
    put32(b, 60, d.miniFatSector);
    put32(b, 64, miniFat);
    put32(b, 68, difat ? d.difatSector : kEnd);
    put32(b, 72, difat);
    for (int k = 0; k < 109; ++k) put32(b, 76 + 4 * k, quint32(k) < fat ? quint32(k) : kFree);
    for (quint32 k = 109; k < fat; ++k) {
        const quint32 sector = d.difatSector + (k - 109) / (per - 1);
        put32(b, d.sectorAt(sector) + 4 * ((k - 109) % (per - 1)), k);
    }
    for (quint32 k = 0; k < difat; ++k) {
        const qint64 last = d.sectorAt(d.difatSector + k) + size - 4;
        put32(b, last, k + 1 < difat ? d.difatSector + k + 1 : kEnd);
    }
    for (quint32 k = 0; k < fat; ++k) d.fatEntryOffsets.push_back(d.sectorAt(k));
    const auto setFat = [&](quint32 sector, quint32 value) { put32(b, d.fatEntryAt(sector), value); };
    for (quint32 s = 0; s < quint32(per) * fat; ++s) setFat(s, kFree);
    for (quint32 k = 0; k < fat; ++k) setFat(k, 0xFFFFFFFD);
    for (quint32 k = 0; k < difat; ++k) setFat(d.difatSector + k, 0xFFFFFFFC);
    const auto chain = [&](quint32 first, quint32 count) {
        for (quint32 k = 0; k < count; ++k) setFat(first + k, k + 1 < count ? first + k + 1 : kEnd);
    };
    chain(d.directorySector, directory);
    chain(d.miniFatSector, miniFat);
    chain(d.miniStreamSector, miniStream);
    d.directoryAt = d.sectorAt(d.directorySector);
    d.miniFatAt = miniFat ? d.sectorAt(d.miniFatSector) : 0;
    for (quint32 k = 0; k < miniFat * per; ++k) put32(b, d.miniFatAt + 4 * k, kFree);

    for (size_t k = 0; k < nodes.size(); ++k) {
        const Node& node = nodes[k];
        const qint64 at = d.entryAt(int(k));
        const QByteArray name = mpp_test::utf16(node.name);
        b.replace(at, name.size(), name);
        put16(b, at + 64, quint16(name.size()));
        b[at + 66] = char(k == 0 ? 5 : node.type);
        put32(b, at + 68, quint32(node.left));
        put32(b, at + 72, quint32(node.right));
        put32(b, at + 76, quint32(node.child));
        const qint64 n = node.data.size();
        if (k == 0) {
            put32(b, at + 116, d.miniStreamSector);
            put32(b, at + 120, miniSectors * 64);
            continue;
        }
        if (node.type != 2) continue;
        put32(b, at + 116, d.start[k]);
        put32(b, at + 120, quint32(n));
        if (n == 0) continue;
        if (n < 4096) {
            const quint32 count = quint32((n + 63) / 64);
            for (quint32 m = 0; m < count; ++m) {
                put32(b, d.miniFatAt + 4 * (d.start[k] + m), m + 1 < count ? d.start[k] + m + 1 : kEnd);
                const qint64 position = qint64(d.start[k] + m) * 64;
                const qint64 into = d.sectorAt(d.miniStreamSector + quint32(position / size)) + position % size;
                b.replace(into, std::min<qint64>(64, n - m * 64), node.data.mid(m * 64, 64));
            }
        } else {
            chain(d.start[k], sectorsFor(n));
            for (quint32 s = 0; s < sectorsFor(n); ++s) {
                const qint64 part = std::min<qint64>(size, n - s * size);
                b.replace(d.sectorAt(d.start[k] + s), part, node.data.mid(s * size, size));
            }
        }
    }
    return d;
}

QByteArray pattern(int size, int seed) {
    QByteArray data(size, '\0');
    for (int k = 0; k < size; ++k) data[k] = char((k * 7 + seed * 13 + k / 251) & 0xFF);
    return data;
}

// Root, then streams "s1".."sN" as a right-sibling chain below it.
std::vector<Node> streams(const std::vector<QByteArray>& contents) {
    std::vector<Node> nodes{{QStringLiteral("Root Entry"), 5, kNone, kNone, contents.empty() ? kNone : 1, {}}};
    for (size_t k = 0; k < contents.size(); ++k) {
        const qint32 right = k + 1 < contents.size() ? qint32(k + 2) : kNone;
        nodes.push_back({QStringLiteral("s%1").arg(k + 1), 2, kNone, right, kNone, contents[k]});
    }
    return nodes;
}

// The description of the failure opening `bytes` and reading stream `name` gives; "read" when none.
QString outcome(const QByteArray& bytes, const QString& name = QStringLiteral("s1")) {
    try {
        const CompoundFile file(bytes);
        (void)file.stream({name});
        return QStringLiteral("read");
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), failure_number::kBadFileFormat);
        EXPECT_FALSE(failure.description().contains(QLatin1Char('\n')));
        return failure.description();
    }
}

const QString kStructure = QStringLiteral("The file is damaged: its compound-document structure cannot be read.");

TEST(CompoundFileLayout, StreamsInMiniAndRegularSectorsOfBothSectorSizesReadWhole) {
    const std::vector<int> sizes = {0, 1, 63, 64, 65, 1000, 4095, 4096, 4097, 5000, 12345};
    for (const int shift : {9, 12}) {
        std::vector<QByteArray> contents;
        for (size_t k = 0; k < sizes.size(); ++k) contents.push_back(pattern(sizes[k], int(k)));
        const Document d = build(streams(contents), shift);
        const CompoundFile file(d.bytes);
        for (size_t k = 0; k < sizes.size(); ++k) {
            EXPECT_EQ(file.stream({QStringLiteral("s%1").arg(k + 1)}), contents[k]) << shift << " " << sizes[k];
        }
        EXPECT_FALSE(file.stream({QStringLiteral("s99")}));
        EXPECT_FALSE(file.stream({QStringLiteral("s1"), QStringLiteral("s2")}));  // a stream holds no parts
        EXPECT_FALSE(file.stream({}));
    }
    // The same from another writer, with 4096-byte sectors, streams inside storages.
    const std::vector<mpp_test::Part> parts = {
        {{QStringLiteral("   114"), QStringLiteral("TBkndTask"), QStringLiteral("Var2Data")}, pattern(70000, 1)},
        {{QStringLiteral("   114"), QStringLiteral("Props")}, pattern(300, 2)},
        {{QStringLiteral("\001CompObj")}, pattern(100, 3)}};
    const QByteArray written = mpp_test::compoundFile(parts, 12);
    ASSERT_EQ(written.size() % 4096, 0);
    ASSERT_EQ(qFromLittleEndian<quint16>(written.constData() + 30), 12);
    const CompoundFile file(written);
    for (const auto& part : parts) EXPECT_EQ(file.stream(part.path), part.data) << part.path.join('/').toStdString();
    EXPECT_FALSE(file.stream({QStringLiteral("   114")}));  // a storage
}

TEST(CompoundFileLayout, TheAllocationTableExtensionIsFollowed) {
    // 240 table sectors: 109 listed in the header, the rest in two sectors of the extension.
    const std::vector<QByteArray> contents = {pattern(9000, 1), pattern(200, 2)};
    Document d = build(streams(contents), 9, 240);
    ASSERT_EQ(qFromLittleEndian<quint32>(d.bytes.constData() + 72), 2u);
    {
        const CompoundFile file(d.bytes);
        EXPECT_EQ(file.stream({QStringLiteral("s1")}), contents[0]);
        EXPECT_EQ(file.stream({QStringLiteral("s2")}), contents[1]);
    }
    QByteArray looping = d.bytes;  // the extension's first sector names itself as the next one
    put32(looping, d.sectorAt(d.difatSector) + 508, d.difatSector);
    EXPECT_EQ(outcome(looping), kStructure);
    QByteArray outside = d.bytes;
    put32(outside, d.sectorAt(d.difatSector) + 508, 5000000);
    EXPECT_EQ(outcome(outside), kStructure);
    QByteArray badEntry = d.bytes;  // a table sector listed in the extension lies past the end
    put32(badEntry, d.sectorAt(d.difatSector) + 4, 0xFFFFFFF0);
    EXPECT_EQ(outcome(badEntry), kStructure);
}

TEST(CompoundFileDamage, CraftedHeadersAreRefused) {
    const Document d = build(streams({pattern(100, 1)}));
    ASSERT_EQ(outcome(d.bytes), QStringLiteral("read"));
    const auto with = [&d](qint64 at, quint32 value, int width) {
        QByteArray b = d.bytes;
        width == 2 ? put16(b, at, quint16(value)) : put32(b, at, value);
        return b;
    };
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"byte order", with(28, 0xFEFF, 2)},
        {"sector shift 10", with(30, 10, 2)},
        {"sector shift 31", with(30, 31, 2)},
        {"mini sector shift 7", with(32, 7, 2)},
        {"mini stream cutoff 2048", with(56, 2048, 4)},
        {"no table sectors", with(44, 0, 4)},
        {"more table sectors than the file has", with(44, 0x7FFFFFFF, 4)},
        {"table sector past the end", with(76, 1000, 4)},
        {"table sector free", with(76, kFree, 4)},
        {"directory past the end", with(48, 0x00FFFFFF, 4)},
        {"no directory", with(48, kEnd, 4)},
        {"mini table past the end", with(60, 4000, 4)},
        {"only the header", d.bytes.left(512)},
        {"cut inside the header", d.bytes.left(100)},
    };
    for (const auto& [what, bytes] : cases) EXPECT_EQ(outcome(bytes), kStructure) << what;
    EXPECT_EQ(outcome(QByteArray("not a compound document at all")),
              QStringLiteral("The file is not a plan file (it is not a compound document)."));
}

TEST(CompoundFileDamage, ChainsThatLoopOrLeaveTheFileAreRefused) {
    const QByteArray big = pattern(10 * 512, 1), small = pattern(200, 2);
    const Document d = build(streams({big, small}));
    const quint32 first = d.start[1], mini = d.start[2];
    const auto patched = [&d](qint64 at, quint32 value) {
        QByteArray b = d.bytes;
        put32(b, at, value);
        return b;
    };
    const QString loops1 = QStringLiteral("The file is damaged: the part \"s1\" cannot be read (its sectors loop).");
    const QString early1 = QStringLiteral("The file is damaged: the part \"s1\" ends early.");
    const QString loops2 = QStringLiteral("The file is damaged: the part \"s2\" cannot be read (its sectors loop).");
    const QString early2 = QStringLiteral("The file is damaged: the part \"s2\" ends early.");
    // Regular sectors.
    EXPECT_EQ(outcome(patched(d.fatEntryAt(first + 1), first)), loops1);
    EXPECT_EQ(outcome(patched(d.fatEntryAt(first), first)), loops1);
    EXPECT_EQ(outcome(patched(d.fatEntryAt(first), kEnd)), early1);
    EXPECT_EQ(outcome(patched(d.fatEntryAt(first), kFree)), early1);
    EXPECT_EQ(outcome(patched(d.fatEntryAt(first + 1), 0x00100000)), early1);
    EXPECT_EQ(outcome(patched(d.entryAt(1) + 116, 0xFFFFFFF0)), early1);
    EXPECT_EQ(outcome(d.bytes.left(d.bytes.size() - 100)), early1);  // the last sector cut short
    // Mini sectors.
    EXPECT_EQ(outcome(patched(d.miniFatEntryAt(mini + 2), mini), QStringLiteral("s2")), loops2);
    EXPECT_EQ(outcome(patched(d.miniFatEntryAt(mini), kEnd), QStringLiteral("s2")), early2);
    EXPECT_EQ(outcome(patched(d.miniFatEntryAt(mini), 5000), QStringLiteral("s2")), early2);
    EXPECT_EQ(outcome(patched(d.entryAt(2) + 116, 0xFFFFFFF9), QStringLiteral("s2")), early2);
    EXPECT_EQ(outcome(patched(d.entryAt(0) + 120, 64), QStringLiteral("s2")), early2);  // store smaller than its parts
    // The chains of the structure itself.
    EXPECT_EQ(outcome(patched(d.fatEntryAt(d.directorySector), d.directorySector)), kStructure);
    EXPECT_EQ(outcome(patched(d.fatEntryAt(d.directorySector), 0x00100000)), kStructure);
    EXPECT_EQ(outcome(patched(d.fatEntryAt(d.miniFatSector), d.miniFatSector)), kStructure);
    // The small-part store needs one sector; with a larger size, it needs three.
    EXPECT_EQ(outcome(patched(d.fatEntryAt(d.miniStreamSector), kEnd)), QStringLiteral("read"));
    EXPECT_EQ(outcome(patched(d.entryAt(0) + 120, 3 * 512)), kStructure);
    EXPECT_EQ(outcome(patched(d.entryAt(0) + 120, 0x7FFFFFFF)), kStructure);
    EXPECT_EQ(outcome(patched(d.entryAt(0) + 116, d.miniStreamSector + 1000)), kStructure);
}

TEST(CompoundFileDamage, StreamsClaimingMoreThanTheFileHoldsAreRefusedBeforeAllocating) {
    const Document d = build(streams({pattern(5000, 1), pattern(100, 2), pattern(20000, 3)}));
    const QString claims =
        QStringLiteral("The file is damaged: the part \"s1\" claims more bytes than the file holds.");
    QByteArray huge = d.bytes;
    put32(huge, d.entryAt(1) + 120, 0xFFFFFFF0);
    EXPECT_EQ(outcome(huge), claims);
    QByteArray longer = d.bytes;  // more than its chain holds, less than the file
    put32(longer, d.entryAt(1) + 120, 9000);
    EXPECT_EQ(outcome(longer), QStringLiteral("The file is damaged: the part \"s1\" ends early."));
    // With 512-byte sectors the size's upper half is not part of it.
    QByteArray upper = d.bytes;
    put32(upper, d.entryAt(1) + 124, 0xDEADBEEF);
    EXPECT_EQ(CompoundFile(upper).stream({QStringLiteral("s1")}), pattern(5000, 1));
    // With 4096-byte sectors it is.
    Document v4 = build(streams({pattern(5000, 1)}), 12);
    put32(v4.bytes, v4.entryAt(1) + 124, 1);
    EXPECT_EQ(outcome(v4.bytes), claims);
}

TEST(CompoundFileDamage, MalformedDirectoriesAreRefused) {
    const auto malformed = [](const char* why) {
        return QStringLiteral("The file is damaged: its directory of parts is malformed (%1).").arg(QLatin1String(why));
    };
    const auto contents = std::vector<QByteArray>{pattern(10, 1), pattern(20, 2), pattern(30, 3)};
    const auto outcomeOf = [](std::vector<Node> nodes) { return outcome(build(nodes).bytes); };

    std::vector<Node> nodes = streams(contents);
    EXPECT_EQ(outcomeOf(nodes), QStringLiteral("read"));
    nodes[3].right = 1;  // the last sibling links back to the first: a cycle
    EXPECT_EQ(outcomeOf(nodes), malformed("an entry is linked twice"));
    nodes = streams(contents);
    nodes[2].left = 3;  // s3 reached as left and as right sibling of s2
    EXPECT_EQ(outcomeOf(nodes), malformed("an entry is linked twice"));
    nodes = streams(contents);
    nodes[1].right = 1;  // its own sibling
    EXPECT_EQ(outcomeOf(nodes), malformed("an entry is linked twice"));
    nodes = streams(contents);
    nodes[1].left = 0;  // back to the root
    EXPECT_EQ(outcomeOf(nodes), malformed("an entry is linked twice"));
    nodes = streams(contents);
    nodes[2].right = 4000;
    EXPECT_EQ(outcomeOf(nodes), malformed("a link points past its end"));
    nodes = streams(contents);
    nodes[0].child = 7;  // past the directory's last entry
    EXPECT_EQ(outcomeOf(nodes), malformed("a link points past its end"));

    // A storage whose child tree reaches back to the storage itself.
    std::vector<Node> nested = {{QStringLiteral("Root Entry"), 5, kNone, kNone, 1, {}},
                                {QStringLiteral("dir"), 1, kNone, kNone, 2, {}},
                                {QStringLiteral("inner"), 2, kNone, kNone, kNone, pattern(50, 4)}};
    {
        const Document d = build(nested);
        EXPECT_EQ(CompoundFile(d.bytes).stream({QStringLiteral("dir"), QStringLiteral("inner")}), pattern(50, 4));
    }
    nested[2].right = 1;
    EXPECT_EQ(outcomeOf(nested), malformed("an entry is linked twice"));
    nested[2].right = kNone;
    nested[1].child = 1;
    EXPECT_EQ(outcomeOf(nested), malformed("an entry is linked twice"));

    // The root entry must be one.
    Document d = build(streams(contents));
    d.bytes[d.entryAt(0) + 66] = 1;
    EXPECT_EQ(outcome(d.bytes), malformed("the root entry is missing"));

    // An unused entry ends its branch: what hangs below it is not there, and not checked.
    nodes = streams(contents);
    nodes[2].type = 0;
    nodes[2].right = 2;  // would be a cycle if it were followed
    const CompoundFile file(build(nodes).bytes);
    EXPECT_EQ(file.stream({QStringLiteral("s1")}), contents[0]);
    EXPECT_FALSE(file.stream({QStringLiteral("s2")}));
    EXPECT_FALSE(file.stream({QStringLiteral("s3")}));
}

}  // namespace
}  // namespace quorrix::importer::plans
