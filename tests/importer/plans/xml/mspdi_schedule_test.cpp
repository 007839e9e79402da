#include <gtest/gtest.h>

#include "importer/plans/plan_reader.h"
#include "importer/plans/xml/mspdi_reader.h"
#include "support/test_data.h"

namespace quorrix::importer::plans {
namespace {

const QString kPlans = QStringLiteral(QUORRIX_TESTDATA "/plans/");

ReadOptions everything() {
    ReadOptions o;
    o.details = true;
    o.schedule = true;
    o.custom.set();
    return o;
}

const TaskDetails& detailsOf(const Plan& plan, int id) {
    const auto& task = plan.positions.at(static_cast<std::size_t>(id - 1));
    EXPECT_TRUE(task && task->details) << id;
    return *task->details;
}

// Values Project saved in its own XML, read back through the reader.
TEST(MspdiSchedule, LinksSlackAndDurationsAsTheFileHoldsThem) {
    const QString links = kPlans + QStringLiteral("task-links/task-links-project2003-mspdi.xml");
    QUORRIX_NEED_TEST_DATA(links);
    const Plan plan = readPlanFile(links, everything());
    struct Case {
        int id;
        const char* predecessors;
        const char* successors;
        double totalSlack;
        bool critical;
    };
    const Case cases[] = {
        {1, "", "2", 4800, false},          {2, "1", "", 4800, false},
        {4, "3FS+1 day", "", 4320, false},  {8, "7FS+1 wk", "", 2400, false},
        {10, "9FS+2 wks", "", 0, true},     {12, "11SF+2 days", "", 4800, false},
    };
    for (const Case& c : cases) {
        const ScheduleFields& s = detailsOf(plan, c.id).schedule;
        EXPECT_EQ(s.predecessors, QString::fromLatin1(c.predecessors)) << c.id;
        EXPECT_EQ(s.successors, QString::fromLatin1(c.successors)) << c.id;
        EXPECT_EQ(s.totalSlackMinutes, c.totalSlack) << c.id;
        EXPECT_EQ(s.critical, c.critical) << c.id;
        EXPECT_EQ(s.durationShown, QStringLiteral("1 day?")) << c.id;
        EXPECT_EQ(s.durationDays, 1.0) << c.id;
        EXPECT_EQ(s.constraintType, 0) << c.id;
        ASSERT_TRUE(s.deadline) << c.id;
        EXPECT_FALSE(s.deadline->isValid()) << c.id;  // held by the format, "NA" here
    }
}

TEST(MspdiSchedule, CustomFieldsAreTypedByTheirKindAndReadOnlyWhenAsked) {
    struct Case {
        const char* file;
        int id;
        const char* key;
        double number;
        const char* text;
    };
    const Case cases[] = {
        {"task-text/task-text-project2010-mspdi.xml", 1, "text1", 0, "1"},
        {"task-text/task-text-project2010-mspdi.xml", 30, "text30", 0, "30"},
        {"task-flags/task-flags-project2010-mspdi.xml", 20, "flag20", 1, ""},
        {"task-durations/task-durations-project2010-mspdi.xml", 2, "duration2", 960, ""},
        {"task-dates/task-dates-project2010-mspdi.xml", 10, "date10", 0, "2014-01-10T18:00:00"},
    };
    for (const Case& c : cases) {
        const QString path = kPlans + QString::fromLatin1(c.file);
        QUORRIX_NEED_TEST_DATA(path);
        int slot = 0;
        while (slot < kCustomFieldCount && customFieldKey(slot) != QLatin1String(c.key)) ++slot;
        ASSERT_LT(slot, kCustomFieldCount) << c.key;
        ReadOptions asked;
        asked.details = true;
        asked.custom.set(static_cast<std::size_t>(slot));
        const Plan plan = readPlanFile(path, asked);
        const CustomValue* v = detailsOf(plan, c.id).customValue(slot);
        ASSERT_NE(v, nullptr) << c.file << " " << c.key;
        EXPECT_EQ(v->number, c.number) << c.key;
        const QString text = v->date.isValid() ? v->date.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : v->text;
        EXPECT_EQ(text, QString::fromLatin1(c.text)) << c.key;
        // Only the asked field is kept.
        EXPECT_EQ(detailsOf(plan, c.id).custom.size(), 1u) << c.key;
    }
}

// Custom values the test plans lack: a two-level outline code joined by its mask's separator, an
// outline code written as its text alone, numbers, and costs in hundredths.
TEST(MspdiSchedule, OutlineCodesNumbersAndCostsAsWritten) {
    const auto custom = [](long field, const char* inner) {
        return "<ExtendedAttribute><FieldID>" + QByteArray::number(qlonglong(field)) + "</FieldID>" + inner +
               "</ExtendedAttribute>";
    };
    const long code1 = 188744096, code2 = 188744098, number1 = 188743767, cost1 = 188743786;
    const QByteArray xml =
        "<Project xmlns=\"http://schemas.microsoft.com/project\"><OutlineCodes><OutlineCode><FieldID>188744096"
        "</FieldID><Alias>Region</Alias><Values>"
        "<Value><ValueID>1</ValueID><ParentValueID>0</ParentValueID><Value>EU</Value></Value>"
        "<Value><ValueID>2</ValueID><ParentValueID>1</ParentValueID><Value>North</Value></Value></Values>"
        "<Masks><Mask><Separator>-</Separator></Mask><Mask><Separator>.</Separator></Mask></Masks>"
        "</OutlineCode></OutlineCodes><Tasks>"
        "<Task><UID>1</UID><ID>1</ID><Name>a</Name><OutlineCode><FieldID>188744096</FieldID><ValueID>2</ValueID>"
        "</OutlineCode>" + custom(number1, "<Value>-2.5</Value>") + custom(cost1, "<Value>123456</Value>") +
        "</Task><Task><UID>2</UID><ID>2</ID><Name>b</Name>" + custom(code2, "<Value>X.Y</Value>") +
        custom(code1, "<ValueID>77</ValueID><Value>as written</Value>") + "</Task></Tasks></Project>";
    const Plan plan = readMspdi(xml, everything());
    // Task ID, field ID, the value as text.
    for (const auto& [id, field, text] : {std::tuple{1, code1, "EU-North"}, {1, number1, "-2.5"}, {1, cost1, "1234.56"},
                                          {2, code2, "X.Y"}, {2, code1, "as written"}}) {
        const CustomValue* v = detailsOf(plan, id).customValue(*customSlotOfId(field));
        ASSERT_NE(v, nullptr) << id << " " << field;
        EXPECT_EQ(v->text.isEmpty() ? QString::number(v->number) : v->text, QString::fromLatin1(text)) << field;
    }
    EXPECT_EQ(plan.customAliases, (std::vector<std::pair<int, QString>>{{*customSlotOfId(code1), "Region"}}));
}

}  // namespace
}  // namespace quorrix::importer::plans
