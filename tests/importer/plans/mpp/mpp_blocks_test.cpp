// The block structures and value encodings of the .mpp task streams, byte by byte.
#include <gtest/gtest.h>

#include "importer/plans/mpp/mpp_blocks.h"
#include "importer/plans/mpp/mpp_fields.h"
#include "importer/plans/mpp/mpp_tasks.h"
#include "importer/plans/mpp/mpp_test_files.h"

namespace quorrix::importer::plans::mpp {
namespace {

using namespace mpp_test;

QDateTime wall(int y, int m, int d, int h, int min, int s = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min, s), Qt::UTC);
}

TEST(MppBytes, ReadsLittleEndianAndZeroOutsideTheWindow) {
    const QByteArray raw = QByteArray::fromHex("0102030405060708");
    const Bytes bytes(raw);
    EXPECT_EQ(bytes.u16(0), 0x0201);
    EXPECT_EQ(bytes.u32(4), 0x08070605u);
    EXPECT_EQ(bytes.i32(6), 0x0807);       // the two bytes past the end read as zero
    EXPECT_EQ(bytes.u32(-2), 0x0201u << 16);
    EXPECT_EQ(bytes.u8(8), 0);
    EXPECT_EQ(bytes.u32(std::numeric_limits<qint64>::max() - 1), 0u);
    EXPECT_TRUE(bytes.holds(0, 8));
    EXPECT_FALSE(bytes.holds(1, 8));
    EXPECT_FALSE(bytes.holds(-1, 1));
    EXPECT_FALSE(bytes.holds(4, std::numeric_limits<qint64>::max()));
    EXPECT_EQ(bytes.slice(6, 100).size(), 2);
    EXPECT_TRUE(bytes.slice(8, 1).empty());
}

TEST(MppValues, DecodesTimestamps) {
    EXPECT_EQ(timestamp(Bytes(QByteArray::fromHex("C012012C")), 0), wall(2014, 11, 3, 8, 0));
    // Day 2 is the first real day; the time may run past midnight.
    EXPECT_EQ(timestamp(Bytes(QByteArray::fromHex("00000200")), 0), wall(1984, 1, 2, 0, 0));
    EXPECT_EQ(timestamp(Bytes(QByteArray::fromHex("40380200")), 0), wall(1984, 1, 3, 0, 0));  // 14,400 tenths
    EXPECT_FALSE(timestamp(Bytes(QByteArray::fromHex("A0380200")), 0).has_value());  // early day, odd seconds
    EXPECT_EQ(timestamp(Bytes(QByteArray::fromHex("FFFF0A00")), 0), wall(1984, 1, 10, 0, 0));
    EXPECT_EQ(timestamp(Bytes(QByteArray::fromHex("01006400")), 0), wall(1984, 4, 9, 0, 0, 6));
}

TEST(MppValues, TimestampsThatStandForNA) {
    for (const char* hex : {"C0120000", "C0120100", "C012FFFF", "01000500", "C012"}) {
        EXPECT_FALSE(timestamp(Bytes(QByteArray::fromHex(hex)), 0).has_value()) << hex;
    }
    // Offsets outside the bytes read as zero: NA.
    EXPECT_FALSE(timestamp(Bytes(QByteArray::fromHex("C012012C")), 4).has_value());
}

TEST(MppValues, DecodesDurationsAndText) {
    EXPECT_EQ(durationMinutes(4800), 480.0);
    EXPECT_EQ(durationMinutes(75), 7.5);
    EXPECT_EQ(durationMinutes(0), 0.0);
    EXPECT_FALSE(durationMinutes(-1).has_value());
    EXPECT_EQ(utf16Text(Bytes(utf16(QStringLiteral("Ab€")))), QStringLiteral("Ab€"));
    EXPECT_EQ(utf16Text(Bytes(utf16(QStringLiteral("Ab"), false) + QByteArray("C"))), QStringLiteral("Ab"));
    EXPECT_EQ(utf16Text(Bytes(QByteArray::fromHex("41000000420000"))), QStringLiteral("A"));
    EXPECT_EQ(utf16Text(Bytes()), QString());
}

TEST(MppProps, ReadsEntriesAndStopsAtBrokenOnes) {
    QByteArray stream = props({{7, QByteArray("abc")}, {9, QByteArray("xy")}, {7, QByteArray("last")}});
    Props parsed = Props::parse(Bytes(stream));
    ASSERT_TRUE(parsed.value(9).has_value());
    EXPECT_EQ(QByteArray(parsed.value(9)->data(), parsed.value(9)->size()), QByteArray("xy"));  // after an odd-sized pad
    EXPECT_EQ(QByteArray(parsed.value(7)->data(), parsed.value(7)->size()), QByteArray("last"));
    EXPECT_FALSE(parsed.value(8).has_value());

    // A size running past the end ends the walk; entries before it stay.
    QByteArray broken = props({{1, QByteArray("ok")}, {2, QByteArray("lost")}});
    put32(broken, 16 + 12 + 2, 1000);
    parsed = Props::parse(Bytes(broken));
    EXPECT_TRUE(parsed.value(1).has_value());
    EXPECT_FALSE(parsed.value(2).has_value());
    // A count larger than the entries present is harmless.
    put16(broken, 12, 0xFFFF);
    EXPECT_TRUE(Props::parse(Bytes(broken)).value(1).has_value());
    EXPECT_FALSE(Props::parse(Bytes(QByteArray(10, '\xFF'))).value(-1).has_value());
}

QByteArray metaWithOffsets(const std::vector<qint32>& offsets, int itemSize = 47) {
    QByteArray meta(16, '\0');
    put32(meta, 0, kBlockMagic);
    put32(meta, 8, 999);  // a written count that is wrong
    for (qint32 offset : offsets) {
        QByteArray item(itemSize, '\0');
        put32(item, 4, static_cast<quint32>(offset));
        meta += item;
    }
    return meta;
}

TEST(MppFixedBlocks, CountsItemsFromTheStreamSizeAndRejectsAWrongMagic) {
    const QByteArray raw = metaWithOffsets({0, 10, 20}) + QByteArray(20, '\0');  // plus a partial item
    const auto meta = FixedMeta::parse(Bytes(raw), 47);
    ASSERT_TRUE(meta.has_value());
    EXPECT_EQ(meta->count(), 3);
    EXPECT_EQ(meta->dataOffset(2), 20);
    EXPECT_TRUE(meta->item(3).empty());
    QByteArray wrong = raw;
    wrong[0] = 0;
    EXPECT_FALSE(FixedMeta::parse(Bytes(wrong), 47).has_value());
    EXPECT_FALSE(FixedMeta::parse(Bytes(QByteArray(8, '\0')), 47).has_value());
}

TEST(MppFixedBlocks, SlicesDataItemsWithinTheirLimits) {
    const QByteArray rawMeta = metaWithOffsets({0, 10, 10, -5, 40, 30, 200});
    const auto meta = FixedMeta::parse(Bytes(rawMeta), 47);
    ASSERT_TRUE(meta.has_value());
    const QByteArray data(100, 'd');
    const Bytes bytes(data);
    EXPECT_EQ(fixedDataItem(*meta, bytes, 0, 0, 0).size(), 10);   // up to the next offset
    EXPECT_EQ(fixedDataItem(*meta, bytes, 1, 24, 0).size(), 24);  // size 0: the minimum size
    EXPECT_TRUE(fixedDataItem(*meta, bytes, 1, 0, 0).empty());     // size 0 and no minimum: missing
    EXPECT_EQ(fixedDataItem(*meta, bytes, 2, 0, 0).size(), 90);   // next offset negative: the rest
    EXPECT_EQ(fixedDataItem(*meta, bytes, 2, 0, 64).size(), 64);  // ... up to the maximum
    EXPECT_TRUE(fixedDataItem(*meta, bytes, 3, 0, 0).empty());     // negative offset: missing
    EXPECT_EQ(fixedDataItem(*meta, bytes, 4, 0, 0).size(), 60);   // next offset lower: the rest
    EXPECT_TRUE(fixedDataItem(*meta, bytes, 6, 0, 0).empty());     // beyond the stream: missing
    EXPECT_TRUE(fixedDataItem(*meta, bytes, 7, 0, 0).empty());     // no such item
    EXPECT_TRUE(fixedDataItem(*meta, bytes, -1, 0, 0).empty());
}

TEST(MppFixedBlocks, ChoosesTheMpp14Fixed2ItemSize) {
    const auto sized = [](int items, int size) { return QByteArray(16 + items * size, '\0'); };
    EXPECT_EQ(FixedMeta::mpp14Fixed2ItemSize(Bytes(sized(10, 94)), 10), 94);
    EXPECT_EQ(FixedMeta::mpp14Fixed2ItemSize(Bytes(sized(10, 93)), 10), 93);
    // No size gives the task count: the one that divides whose written count fits best.
    QByteArray odd = sized(12, 95);
    put32(odd, 8, 12);
    EXPECT_EQ(FixedMeta::mpp14Fixed2ItemSize(Bytes(odd), 10), 95);
    EXPECT_EQ(FixedMeta::mpp14Fixed2ItemSize(Bytes(QByteArray(16 + 7, '\0')), 10), 92);
    EXPECT_EQ(FixedMeta::mpp14Fixed2ItemSize(Bytes(), 10), 92);
}

TEST(MppVarBlocks, MapsUniqueIdAndKeyToOffsets) {
    QByteArray mpp12(24, '\0');  // magic 0 is accepted
    for (auto [id, offset, key] : {std::tuple{5, 100, 14}, std::tuple{5, 200, 14}, std::tuple{6, 300, 14}, std::tuple{5, 8, 2}}) {
        QByteArray entry(12, '\0');
        put32(entry, 0, id);
        put32(entry, 4, offset);
        put16(entry, 8, static_cast<quint16>(key));
        mpp12 += entry;
    }
    const auto meta = VarMeta::parse(Bytes(mpp12 + QByteArray(5, '\0')), VarMeta::Layout::Mpp12);
    ASSERT_TRUE(meta.has_value());
    EXPECT_EQ(meta->offset(5, 14), 200);  // the later entry wins
    EXPECT_EQ(meta->offset(5, 2), 8);
    EXPECT_EQ(meta->offset(6, 14), 300);
    EXPECT_FALSE(meta->offset(6, 2).has_value());
    EXPECT_TRUE(meta->has(6));
    EXPECT_FALSE(meta->has(7));

    QByteArray mpp9(24, '\0');
    put32(mpp9, 0, kBlockMagic);
    mpp9 += QByteArray::fromHex("3412000B") + le32(44);  // unique ID 0x1234, key 11
    const auto meta9 = VarMeta::parse(Bytes(mpp9), VarMeta::Layout::Mpp9);
    ASSERT_TRUE(meta9.has_value());
    EXPECT_EQ(meta9->offset(0x1234, 11), 44);

    QByteArray wrong = mpp12;
    put32(wrong, 0, 0x12345678);
    EXPECT_FALSE(VarMeta::parse(Bytes(wrong), VarMeta::Layout::Mpp12).has_value());
}

TEST(MppVarBlocks, ReadsValuesOnlyInsideTheStream) {
    const QByteArray data = le32(4) + QByteArray("abcd") + le32(0x7FFFFFFF) + le32(0xFFFFFFFF);
    const Bytes bytes(data);
    ASSERT_TRUE(varValue(bytes, 0).has_value());
    EXPECT_EQ(varValue(bytes, 0)->size(), 4);
    EXPECT_FALSE(varValue(bytes, 8).has_value());   // length past the end
    EXPECT_FALSE(varValue(bytes, 12).has_value());  // negative length
    EXPECT_FALSE(varValue(bytes, -4).has_value());
    EXPECT_FALSE(varValue(bytes, 14).has_value());
}

TEST(MppFieldMap, FindsFieldsBlocksAndTheMaximumFixedSize) {
    const QByteArray data = fieldMap({{86, 4, 4}, {23, 0, 4}, {29, 84, 4}, {1, 0xFFFF, 4, 0x0B},  // a flag: ignored
                                      {14, 0xFFFF, 512, 0x08, 26}, {35, 96, 4, 0x13}, {36, 198, 4, 0x13},
                                      {1283, 50, 4, 0x13}, {1284, 54, 4, 0x13}, {29, 20, 4}});
    const FieldMap mpp14 = FieldMap::parse(Bytes(data), Format::Mpp14);
    ASSERT_TRUE(mpp14.fixed(task_field::kUniqueId).has_value());
    EXPECT_EQ(mpp14.fixed(task_field::kUniqueId)->block, 0);
    EXPECT_EQ(mpp14.fixed(task_field::kUniqueId)->offset, 4);
    ASSERT_TRUE(mpp14.fixed(task_field::kId).has_value());
    EXPECT_EQ(mpp14.fixed(task_field::kId)->block, 1);  // offset 0 after 4 starts a new block
    EXPECT_EQ(mpp14.fixed(task_field::kId)->offset, 0);
    EXPECT_EQ(mpp14.fixed(task_field::kFinish)->offset, 198);
    EXPECT_EQ(mpp14.maxFixedSize(1), 202);
    // Blocks past the second are not read; a field moved there loses its earlier place.
    EXPECT_FALSE(mpp14.fixed(task_field::kTaskStart).has_value());
    EXPECT_FALSE(mpp14.fixed(task_field::kDuration).has_value());
    EXPECT_EQ(mpp14.varKey(task_field::kName), 14);
    EXPECT_FALSE(mpp14.varKey(task_field::kDuration).has_value());
    EXPECT_EQ(FieldMap::parse(Bytes(data), Format::Mpp9).varKey(task_field::kName), 26);
    EXPECT_FALSE(FieldMap::parse(Bytes(), Format::Mpp12).fixed(task_field::kUniqueId).has_value());
}

TEST(MppFieldMap, TracksBlocksByFallingOffsets) {
    const QByteArray data = fieldMap({{86, 0, 4}, {23, 4, 4}, {29, 42, 4}, {35, 64, 4, 0x13}, {36, 68, 4, 0x13},
                                      {500, 198, 4}, {14, 0xFFFF, 512, 0x08, 14}, {1283, 50, 4, 0x13},
                                      {1284, 54, 4, 0x13}, {1288, 58, 4}, {29, 60, 4}});
    const FieldMap map = FieldMap::parse(Bytes(data), Format::Mpp14);
    EXPECT_EQ(map.maxFixedSize(0), 202);
    EXPECT_EQ(map.maxFixedSize(1), 64);
    EXPECT_EQ(map.fixed(task_field::kTaskFinish)->block, 1);
    EXPECT_EQ(map.fixed(task_field::kTaskFinish)->offset, 54);
    // A field listed twice: the later record wins.
    EXPECT_EQ(map.fixed(task_field::kDuration)->block, 1);
    EXPECT_EQ(map.fixed(task_field::kDuration)->offset, 60);
    EXPECT_EQ(map.maxFixedSize(2), 0);
    // A torn last record is not read.
    EXPECT_EQ(FieldMap::parse(Bytes(data.left(data.size() - 3)), Format::Mpp14).fixed(task_field::kDuration)->offset, 42);
}

TEST(MppFieldMap, DefaultsFollowTheFormat) {
    const FieldMap mpp9 = FieldMap::defaults(Format::Mpp9);
    EXPECT_EQ(mpp9.fixed(task_field::kStart)->offset, 88);
    EXPECT_EQ(mpp9.varKey(task_field::kName), 11);
    EXPECT_EQ(mpp9.maxFixedSize(0), 0);
    const FieldMap mpp14 = FieldMap::defaults(Format::Mpp14);
    EXPECT_EQ(mpp14.fixed(task_field::kStart)->offset, 64);
    EXPECT_EQ(mpp14.fixed(task_field::kManualDuration)->block, 1);
    EXPECT_EQ(mpp14.varKey(task_field::kName), 14);
}

// ---- Project 98 records -----------------------------------------------------------------------

QByteArray mpp8Record(qint32 uniqueId, qint32 id, qint32 nameReference, quint16 deletion = 0, bool blank = false) {
    QByteArray r(316, '\0');
    put32(r, 0, static_cast<quint32>(uniqueId));
    put32(r, 4, static_cast<quint32>(id));
    r[8] = blank ? 1 : 0;
    put32(r, 20, stamp(wall(2024, 3, 4, 17, 0)));
    put32(r, 68, 4800);
    put32(r, 96, stamp(wall(2024, 3, 4, 8, 0)));
    put32(r, 264, static_cast<quint32>(nameReference));
    put16(r, 272, deletion);
    return r;
}

TEST(MppProject98, ReadsRecordsNamesAndOrder) {
    // Names: "Short" in one block at 8; a 40-character name split over a chain 40 -> 100 -> 140.
    QByteArray defer(8, '\0');
    defer += le32(0xFFFFFFFF) + le32(10) + utf16(QStringLiteral("Short"), false);
    const QString longName = QStringLiteral("A name that needs three blocks, 40 char");
    const QByteArray longBytes = utf16(longName, false);
    defer.resize(40, '\0');
    defer += le32(100) + le32(static_cast<quint32>(longBytes.size())) + longBytes.left(28);
    defer.resize(100, '\0');
    defer += le32(140) + longBytes.mid(28, 32);
    defer.resize(140, '\0');
    defer += le32(0xFFFFFFFF) + longBytes.mid(60) + QByteArray(12, '\0');
    defer.resize(300, '\0');

    const QByteArray fixFix = mpp8Record(0, 0, -1 - 8)  // the summary task
                              + mpp8Record(3, 3, -1 - 40) + mpp8Record(1, 1, -1 - 8)
                              + mpp8Record(9, 2, 0, 0, true)                   // a blank row
                              + mpp8Record(4, 4, -1 - 8, 0x0001)              // deleted
                              + mpp8Record(5, 4, -1 - 8, 0x0031)              // kept
                              + mpp8Record(6, 5, -1 - 5000);                  // name out of range
    const Plan plan = decodeMpp8Tasks(Bytes(fixFix), Bytes(defer));
    ASSERT_EQ(plan.positions.size(), 5u);
    EXPECT_EQ(plan.positions[0]->name, QStringLiteral("Short"));
    EXPECT_EQ(plan.positions[0]->start, wall(2024, 3, 4, 8, 0));
    EXPECT_EQ(plan.positions[0]->finish, wall(2024, 3, 4, 17, 0));
    EXPECT_EQ(plan.positions[0]->durationMinutes, 480.0);
    EXPECT_FALSE(plan.positions[1].has_value());
    EXPECT_EQ(plan.positions[2]->name, longName);
    EXPECT_EQ(plan.positions[3]->name, QStringLiteral("Short"));
    EXPECT_EQ(plan.positions[4]->name, QString());
}

TEST(MppProject98, ALoopingNameChainEnds) {
    QByteArray defer(8, '\0');
    defer += le32(8) + le32(200) + QByteArray(28, 'x');  // the chain points at itself
    defer.resize(400, '\0');
    const Plan plan = decodeMpp8Tasks(Bytes(mpp8Record(1, 1, -1 - 8)), Bytes(defer));
    ASSERT_EQ(plan.positions.size(), 1u);
    // 28 bytes, then the block itself over and over until 200 bytes are there; the text ends
    // at the first NUL of the gathered bytes (inside the size field met on the way round).
    EXPECT_EQ(plan.positions[0]->name, QString(14, QChar(0x7878)) + QChar(200));
}

}  // namespace
}  // namespace quorrix::importer::plans::mpp
