#include <gtest/gtest.h>

#include <QDate>

#include "importer/plans/common/calendar.h"
#include "importer/plans/common/kept_values.h"

using namespace quorrix::importer::plans;

// Every day of four centuries either side of the leap-year rules' exceptions, counted as Qt counts it,
// and turned back into its date.
TEST(Calendar, DaysAndMonthLengthsAreQtsOwn) {
    constexpr qint64 kEpochJulianDay = 2440588;  // 1970-01-01
    for (int year : {1, 4, 100, 1000}) {
        for (int month = 1; month <= 12; ++month)
            EXPECT_EQ(daysInMonth(year, month), QDate(year, month, 1).daysInMonth()) << year << "-" << month;
    }
    for (QDate day(1600, 1, 1); day.year() < 2401; day = day.addDays(1)) {
        ASSERT_EQ(daysFromCivil(day.year(), day.month(), day.day()), day.toJulianDay() - kEpochJulianDay)
            << day.toString(Qt::ISODate).toStdString();
        if (day.day() == 1) {
            ASSERT_EQ(daysInMonth(day.year(), day.month()), day.daysInMonth()) << day.year();
        }
        const CivilDate back = civilFromDays(day.toJulianDay() - kEpochJulianDay);
        ASSERT_EQ(QDate(int(back.year), back.month, back.day), day);
    }
}

// Keys that share a place each get their own value back; a key met again is not made again.
TEST(KeptValues, EachKeyGetsItsOwnValueAndIsMadeOnce) {
    KeptValues<int, int, 2> kept;
    int made = 0;
    const auto value = [&](int key, std::uint64_t hash) {
        return kept.get(key, hash, [&] {
            ++made;
            return key * 10;
        });
    };
    EXPECT_EQ(value(0, 0), 0);  // key 0, the table's empty key, is still made once
    EXPECT_EQ(value(0, 0), 0);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(value(7, 0), 70);  // the same place
    EXPECT_EQ(value(0, 0), 0);
    EXPECT_EQ(value(5, std::uint64_t(3) << 62), 50);  // another place
    EXPECT_EQ(value(5, std::uint64_t(3) << 62), 50);
    EXPECT_EQ(made, 4);
}
