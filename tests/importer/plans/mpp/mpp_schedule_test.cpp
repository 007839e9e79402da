// The parts of an .mpp schedule that the test plans do not exercise: link records left out, the
// custom fields' names in both forms and outline-code paths (also looping ones).
#include "importer/plans/mpp/mpp_schedule.h"

#include <gtest/gtest.h>

#include "importer/plans/common/custom_fields.h"
#include "mpp_test_files.h"

namespace quorrix::importer::plans {
namespace {

using namespace mpp;
using namespace mpp_test;

// A fixed-meta block of 10-byte items (flags, data offset) over `records` laid end to end.
std::pair<QByteArray, QByteArray> blocks(const std::vector<std::pair<quint16, QByteArray>>& records) {
    QByteArray meta(16, '\0'), data;
    put32(meta, 0, kBlockMagic);
    for (const auto& [flags, record] : records) {
        QByteArray item(10, '\0');
        put16(item, 0, flags);
        put32(item, 4, static_cast<quint32>(data.size()));
        meta += item;
        data += record;
    }
    return {meta, data};
}

TEST(MppSchedule, LinkRecordsLeftOut) {
    // Unique IDs at 4 and 8, type at 12, the lag's format at 14 and the lag at 16.
    const auto record = [](qint32 from, qint32 to, quint16 type, qint32 lag, quint16 format) {
        QByteArray r(20, '\0');
        put32(r, 4, static_cast<quint32>(from));
        put32(r, 8, static_cast<quint32>(to));
        put16(r, 12, type);
        put16(r, 14, format);
        put32(r, 16, static_cast<quint32>(lag));
        return r;
    };
    const auto [meta, data] = blocks({{0, record(1, 2, 1, 48000, 7)},
                                      {0, record(2, 3, 3, -4800, 39)},
                                      {1, record(3, 1, 1, 0, 7)},              // deleted
                                      {0, record(0, 3, 1, 0, 7)},              // from the summary task
                                      {0, record(3, 2, 9, 0, 7).left(12)}});  // too short
    const std::vector<PlanLink> links = mppLinks(false, Bytes(meta), Bytes(data));
    std::vector<TaskDetails> tasks(3);
    for (int k = 0; k < 3; ++k) tasks[static_cast<std::size_t>(k)].uniqueId = k + 1;
    finishSchedule({&tasks[0], &tasks[1], &tasks[2]}, links, {});
    EXPECT_EQ(tasks[0].schedule.predecessors, QString());
    EXPECT_EQ(tasks[1].schedule.predecessors, QStringLiteral("1FS+10 days"));
    EXPECT_EQ(tasks[1].schedule.successors, QStringLiteral("3SS-1 day?"));
    EXPECT_EQ(tasks[2].schedule.successors, QString());
}

TEST(MppSchedule, AliasesOfBothForms) {
    // Project 2000 and 2003: texts back to back, the k-th naming a field by its place.
    QByteArray list;
    for (int k = 0; k < 300; ++k) {
        const QString text = k == 118 ? QStringLiteral("Region") : k == 256 ? QStringLiteral("Done") : QString();
        list += utf16(text);
    }
    EXPECT_EQ(mpp9Aliases(Bytes(list)),
              (std::vector<std::pair<int, QString>>{{customSlot(CustomKind::Text, 1), QStringLiteral("Region")},
                                                    {customSlot(CustomKind::Flag, 20), QStringLiteral("Done")}}));
    // Later versions: block size, a repeat, the count, then (field ID, offset) pairs; each name 4
    // bytes past its offset. A pair of an unknown field and one past the count are left out.
    QByteArray pairs(12, '\0');
    const std::vector<std::pair<long, QString>> named{{customFieldId(customSlot(CustomKind::Cost, 3)), "Budget"},
                                                      {0x0C400000 + 51, "Resource field"},
                                                      {customFieldId(customSlot(CustomKind::OutlineCode, 1)), "Area"}};
    QByteArray texts;
    for (const auto& [id, name] : named) {
        pairs += le32(static_cast<quint32>(id)) + le32(static_cast<quint32>(12 + 8 * named.size() + texts.size()));
        texts += le32(0) + utf16(name);
    }
    QByteArray value = pairs + texts;
    put32(value, 0, static_cast<quint32>(value.size()));
    put32(value, 8, 2);
    EXPECT_EQ(mpp12Aliases(Bytes(value)),
              (std::vector<std::pair<int, QString>>{{customSlot(CustomKind::Cost, 3), QStringLiteral("Budget")}}));
}

TEST(MppSchedule, OutlineCodesShowTheirPathOrTheirOwnText) {
    // List entries: 1 "A" at the top, 2 "B" under it, 3 "C" under 2; 7 and 8 parents of each other.
    std::vector<std::pair<quint16, QByteArray>> items;
    QByteArray varMeta(24, '\0'), var2Data;
    for (const auto& [id, parent, text] : std::vector<std::tuple<quint16, quint16, QString>>{
             {1, 0, "A"}, {2, 1, "B"}, {3, 2, "C"}, {7, 8, "x"}, {8, 7, "y"}, {9, 9, "self"}}) {
        QByteArray item(10, '\0');
        put16(item, 4, id);
        put16(item, 8, parent);
        items.emplace_back(0, item);
        varMeta += le32(id) + le32(static_cast<quint32>(var2Data.size())) + QByteArray::fromHex("16000000");
        var2Data += le32(static_cast<quint32>(utf16(text).size())) + utf16(text);
    }
    const auto [meta, data] = blocks(items);
    OutlineCodes codes(Format::Mpp12, 12, Bytes(meta), Bytes(data), Bytes(varMeta), Bytes(var2Data));
    const auto reference = [](quint16 mask, quint32 id) {
        QByteArray r(26, '\0');
        put16(r, 0, mask);
        put32(r, 2, id);
        return r;
    };
    const struct {
        QByteArray reference;
        QString text;
    } cases[] = {
        {reference(0x0701, 3), "A.B.C"}, {reference(0x0701, 1), "A"},     {reference(0x0401, 2), "B"},
        {reference(0x0701, 5), ""},      {reference(0x0701, 9), "self"},
    };
    for (const auto& c : cases) EXPECT_EQ(codes.text(Bytes(c.reference)), c.text) << c.reference.toHex().constData();
    // A loop ends: the path stops after a bounded number of levels.
    EXPECT_LE(codes.text(Bytes(reference(0x0701, 7))).size(), 300);

    // Another custom field's value taken from its value list: the entry's own bytes. A value of
    // its own (a number's 8 bytes, a text beginning with U+0401 or of another length) is none.
    const QByteArray listed26 = reference(0x0701, 2);
    for (const auto& [value, listed] : {std::pair{listed26, true}, {listed26.left(8), false},
                                        {reference(0x0401, 2), false}, {listed26 + QByteArray(2, 0), false}})
        EXPECT_EQ(OutlineCodes::isListReference(Bytes(value)), listed) << value.toHex().constData();
    const auto entry = codes.listEntry(Bytes(reference(0x0701, 2)));
    ASSERT_TRUE(entry);
    EXPECT_EQ(QByteArray(entry->data(), entry->size()), utf16("B"));
    EXPECT_EQ(codes.listText(Bytes(reference(0x0701, 3))), "C");  // the entry's own text, not its path
    EXPECT_FALSE(codes.listEntry(Bytes(reference(0x0701, 5))));
}

}  // namespace
}  // namespace quorrix::importer::plans
