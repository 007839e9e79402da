#include "importer/plans/common/schedule.h"

#include <gtest/gtest.h>

#include "importer/plans/common/custom_fields.h"

namespace quorrix::importer::plans {
namespace {

TEST(Schedule, DurationTextAndDaysFollowTheFormatAndThePlansUnits) {
    DurationUnits units;  // 480 min a day, 2400 a week, 20 days a month, days by default
    DurationUnits shortDays;
    shortDays.minutesPerDay = 450;
    shortDays.defaultFormat = 9;  // weeks
    struct Case {
        double minutes;
        int format;
        const DurationUnits* units;
        const char* text;
        const char* shortText;
        double days;
    };
    const Case cases[] = {
        {2400, 7, &units, "5 days", "5d", 5},
        {480, 7, &units, "1 day", "1d", 1},
        {0, 7, &units, "0 days", "0d", 0},
        {4800, 9, &units, "2 wks", "2w", 10},
        {4320, 8, &units, "3 edays", "3ed", 3},
        {30, 5, &units, "0.5 hrs", "0.5h", 30.0 / 480},
        {1920, 39, &units, "4 days?", "4d?", 4},
        {60, 7, &units, "0.13 days", "0.13d", 0.125},   // two decimals, halves away from zero
        {1980, 7, &units, "4.13 days", "4.13d", 4.125},
        {9600, 11, &units, "1 mon", "1mo", 20},
        {43200, 12, &units, "1 emon", "1emo", 30},
        {450, 21, &shortDays, "0.19 wks", "0.19w", 1},  // the plan's default format
        {900, 53, &shortDays, "0.38 wks?", "0.38w?", 2},
        {1, 3, &units, "1 min", "1m", 1.0 / 480},
        {120, 6, &units, "2 ehrs", "2eh", 120.0 / 1440},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(durationText(c.minutes, c.format, *c.units), QString::fromLatin1(c.text));
        EXPECT_EQ(durationText(c.minutes, c.format, *c.units, true), QString::fromLatin1(c.shortText));
        EXPECT_DOUBLE_EQ(durationDays(c.minutes, c.format, *c.units), c.days);
    }
    // The texts a plan keeps for its repeated durations are those made afresh, whichever values
    // come back and share a place.
    DurationTexts kept(shortDays, true);
    for (int k = 0; k < 600; ++k) {
        const double minutes = (k * 7919 % 97) * 15.0;
        const int format = 3 + k % 11;
        EXPECT_EQ(kept(minutes, format), durationText(minutes, format, shortDays, true)) << minutes << " " << format;
    }
}

TEST(Schedule, LinkTextsKeepTableOrderAndShowTypeAndLagOnlyWhenNeeded) {
    const std::unordered_map<long long, long> ids{{10, 1}, {20, 2}, {30, 3}, {40, 4}};
    std::vector<PlanLink> links{
        {10, 40, 1, 0, 7, {}},       // 1 → 4, plain FS
        {30, 40, 3, -4800, 7, {}},   // 3 → 4, SS with one day of lead
        {20, 40, 1, 24000, 9, {}},   // 2 → 4, FS + 1 week
        {20, 30, 0, 500, 19, {}},    // 2 → 3, FF + 500 % (the stored number is the percentage)
        {10, 30, 2, 43200, 8, {}},   // 1 → 3, SF + 3 elapsed days
        {10, 10, 1, 0, 7, {}},       // a task linked to itself
        {10, 99, 1, 0, 7, {}},       // an end that is not a task of the plan
    };
    // a predecessor in another plan, shown by its path and ID
    links.push_back({77, 20, 3, 4800, 7, QStringLiteral("C:\\Plans\\b.mpp\\5")});
    const auto texts = linkTexts(links, ids, DurationUnits{});
    EXPECT_EQ(texts.at(40).predecessors, QStringLiteral("1,3SS-1 day,2FS+1 wk"));
    EXPECT_EQ(texts.at(30).predecessors, QStringLiteral("2FF+500%,1SF+3 edays"));
    EXPECT_EQ(texts.at(10).successors, QStringLiteral("4,3SF+3 edays"));
    EXPECT_EQ(texts.at(20).successors, QStringLiteral("4FS+1 wk,3FF+500%"));
    EXPECT_EQ(texts.at(30).successors, QStringLiteral("4SS-1 day"));
    EXPECT_TRUE(texts.at(10).predecessors.isEmpty());
    EXPECT_EQ(texts.at(20).predecessors, QStringLiteral("C:\\Plans\\b.mpp\\5SS+1 day"));
    EXPECT_EQ(texts.count(77), 0u);  // the other plan's task is no task of this one
    EXPECT_EQ(linkTexts(links, ids, DurationUnits{}, true).at(40).predecessors, QStringLiteral("1,3SS-1d,2FS+1w"));
    EXPECT_EQ(texts.at(30).id, 3);

    // The same links with their ends given as places (unique ID / 10 - 1; 99 is beyond the tasks).
    for (PlanLink& link : links) {
        link.predecessor = link.predecessor / 10 - 1;
        link.successor = link.successor / 10 - 1;
    }
    const std::vector<LinkTexts> placed = linkTexts(links, {1, 2, 3, 4}, DurationUnits{});
    struct Expected {
        const char* predecessors;
        const char* successors;
    };
    const Expected expected[] = {
        {"", "4,3SF+3 edays"},
        {"C:\\Plans\\b.mpp\\5SS+1 day", "4FS+1 wk,3FF+500%"},
        {"2FF+500%,1SF+3 edays", "4SS-1 day"},
        {"1,3SS-1 day,2FS+1 wk", ""},
    };
    ASSERT_EQ(placed.size(), 4u);
    for (std::size_t k = 0; k < placed.size(); ++k) {
        EXPECT_EQ(placed[k].predecessors, QString::fromLatin1(expected[k].predecessors)) << k;
        EXPECT_EQ(placed[k].successors, QString::fromLatin1(expected[k].successors)) << k;
        EXPECT_EQ(placed[k].id, static_cast<long>(k + 1));
    }
}

TEST(Schedule, CriticalRuleAndCustomFieldCatalogue) {
    EXPECT_TRUE(isCritical({}));
    EXPECT_FALSE(isCritical({.complete = true}));
    EXPECT_FALSE(isCritical({.totalSlackTenths = 10}));
    EXPECT_TRUE(isCritical({.totalSlackTenths = 10, .slackLimitTenths = 10}));
    EXPECT_FALSE(isCritical({.manual = true, .estimated = true}));
    EXPECT_TRUE(isCritical({.manual = true, .linked = true, .estimated = true}));

    struct Field {
        CustomKind kind;
        int number;
        const char* name;
        const char* key;
        long id;
    };
    const Field fields[] = {
        {CustomKind::Text, 1, "Text1", "text1", 188743731},        {CustomKind::Text, 6, "Text6", "text6", 188743746},
        {CustomKind::Text, 30, "Text30", "text30", 188744016},     {CustomKind::Start, 6, "Start6", "start6", 188743962},
        {CustomKind::Finish, 5, "Finish5", "finish5", 188743745},  {CustomKind::Number, 20, "Number20", "number20", 188743996},
        {CustomKind::Flag, 11, "Flag11", "flag11", 188743972},     {CustomKind::Duration, 4, "Duration4", "duration4", 188743955},
        {CustomKind::Cost, 3, "Cost3", "cost3", 188743788},        {CustomKind::Date, 10, "Date10", "date10", 188743954},
        {CustomKind::OutlineCode, 10, "Outline Code10", "outline-code10", 188744114},
    };
    for (const Field& f : fields) {
        const int slot = customSlot(f.kind, f.number);
        EXPECT_EQ(customFieldName(slot), QString::fromLatin1(f.name));
        EXPECT_EQ(customFieldKey(slot), QString::fromLatin1(f.key));
        EXPECT_EQ(customFieldId(slot), f.id) << f.name;
        EXPECT_EQ(customSlotOfId(f.id), slot);
    }
    EXPECT_FALSE(customSlotOfId(188743730));  // index 50: no custom field
    EXPECT_EQ(kCustomFieldCount, 130);
}

}  // namespace
}  // namespace quorrix::importer::plans
