#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "importer/plans/p6/p6_values.h"

// P6 calendars and the working time between two date-times in one of them.
namespace quorrix::importer::plans::p6 {

// Working time within a day, minutes after midnight: [start, end), end at most 24:00.
struct Period {
    int start = 0;
    int end = 0;
};
using Periods = std::vector<Period>;

// A day with working times of its own (none: a non-working day).
struct Exception {
    std::int64_t day = 0;  // days since 1970-01-01
    Periods periods;
};

// The working times of a calendar as the file gives them: the periods of each weekday
// (0 = Sunday) and the days with times of their own.
struct WorkTimes {
    std::array<Periods, 7> week;
    std::vector<Exception> exceptions;
    bool weekGiven[7] = {false, false, false, false, false, false, false};
};

// Reads XER's clndr_data ("(0||CalendarData()((0||DaysOfWeek()(...))(0||Exceptions()(...))))").
// Malformed or truncated data gives what was read up to the fault.
WorkTimes parseCalendarData(std::string_view data);

// "8:00", "08:00", "8:00 AM", "12:30 pm": minutes after midnight, or -1.
int parseTimeOfDay(std::string_view text);

// A calendar ready for arithmetic: its weekdays' periods, and the days with times of their own,
// its base calendars' included where it has none of its own. The days refer to the periods of the
// WorkTimes they came from, which must outlive the calendar unchanged.
class WorkCalendar {
public:
    WorkCalendar();  // Monday to Friday 08:00-16:00
    // `own` the calendar's times, `bases` those of its base calendars, nearest first. The periods
    // of every exception must already be normalised.
    WorkCalendar(const WorkTimes& own, const std::vector<const WorkTimes*>& bases);

    // Working minutes from `a` to `b` (negative when b < a); 0 when either is kNoDate.
    std::int64_t work(Minutes a, Minutes b) const;
    // The number of days with times of their own.
    std::size_t exceptionCount() const { return days_.size(); }

private:
    struct Day {
        std::int64_t day;
        const Periods* periods;
    };
    const Periods& periodsOf(std::int64_t day) const;

    std::array<Periods, 7> week_;
    std::array<std::int64_t, 7> weekMinutes_{};
    std::int64_t weekTotal_ = 0;
    std::vector<Day> days_;            // sorted by day, one per day
    std::vector<std::int64_t> shift_;  // shift_[i]: what days_[0..i) add to their weekdays' minutes
};

// The periods sorted and merged, empty and inverted ones dropped.
Periods normalised(Periods periods);

}  // namespace quorrix::importer::plans::p6
