#include "importer/plans/p6/p6_calendar.h"

#include <algorithm>
#include <charconv>

namespace quorrix::importer::plans::p6 {

namespace {

// Days from 1899-12-30, the day numbers of clndr_data, to 1970-01-01.
constexpr std::int64_t kDayNumberOf1970 = 25569;
constexpr std::int64_t kLastDayNumber = 2958465;  // 9999-12-31
// clndr_data nests four levels deep; anything deeper is not read.
constexpr std::size_t kMaxCalendarDepth = 16;

bool ignorable(char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; }

std::string_view trimmedValue(std::string_view t) {
    while (!t.empty() && ignorable(t.front())) t.remove_prefix(1);
    while (!t.empty() && ignorable(t.back())) t.remove_suffix(1);
    return t;
}

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// One record of clndr_data: its name, its key-value pairs and where it hangs.
struct Node {
    std::string_view name;
    std::vector<std::pair<std::string_view, std::string_view>> values;
    int parent = -1;

    std::string_view value(std::string_view key) const {
        for (const auto& [k, v] : values)
            if (sameLetters(k, key)) return v;
        return {};
    }
};

class CalendarDataParser {
public:
    explicit CalendarDataParser(std::string_view data) : d_(data) {}

    std::vector<Node> parse() {
        skip();
        if (!openRecord(-1)) return std::move(nodes_);
        while (!open_.empty()) {
            skip();
            if (i_ >= d_.size()) break;  // cut short: keep what was read
            if (d_[i_] == ')') {
                ++i_;
                skip();
                if (i_ < d_.size() && d_[i_] == ')') ++i_;
                open_.pop_back();
            } else if (d_[i_] == '(' && open_.size() < kMaxCalendarDepth) {
                if (!openRecord(open_.back())) break;
            } else {
                break;
            }
        }
        return std::move(nodes_);
    }

private:
    void skip() {
        while (i_ < d_.size() && ignorable(d_[i_])) ++i_;
    }

    // "(" number "||" name "(" values ")" "(" at `i_`: the record is added and its list of
    // children opened. False when the data does not go on so.
    bool openRecord(int parent) {
        if (i_ >= d_.size() || d_[i_] != '(') return false;
        ++i_;
        const std::size_t bars = d_.find("||", i_);
        if (bars == std::string_view::npos || d_.substr(i_, bars - i_).find_first_of("()") != std::string_view::npos)
            return false;
        i_ = bars + 2;
        const std::size_t nameEnd = d_.find_first_of("()", i_);
        if (nameEnd == std::string_view::npos || d_[nameEnd] != '(') return false;
        Node node;
        node.parent = parent;
        node.name = trimmedValue(d_.substr(i_, nameEnd - i_));
        i_ = nameEnd + 1;
        const std::size_t valuesEnd = d_.find_first_of("()", i_);
        if (valuesEnd == std::string_view::npos || d_[valuesEnd] != ')') return false;
        std::string_view values = d_.substr(i_, valuesEnd - i_);
        i_ = valuesEnd + 1;
        while (!values.empty()) {
            const std::size_t bar = values.find('|');
            const std::string_view key = trimmedValue(values.substr(0, bar));
            if (bar == std::string_view::npos) break;
            values.remove_prefix(bar + 1);
            const std::size_t next = values.find('|');
            node.values.emplace_back(key, trimmedValue(values.substr(0, next)));
            if (next == std::string_view::npos) break;
            values.remove_prefix(next + 1);
        }
        skip();
        if (i_ >= d_.size() || d_[i_] != '(') {
            nodes_.push_back(std::move(node));  // its values count; it has no children
            return false;
        }
        ++i_;
        nodes_.push_back(std::move(node));
        open_.push_back(static_cast<int>(nodes_.size()) - 1);
        return true;
    }

    std::string_view d_;
    std::size_t i_ = 0;
    std::vector<Node> nodes_;
    std::vector<int> open_;
};

// The children of each record, so that finding them costs no walk over all records.
std::vector<std::vector<std::size_t>> childrenOf(const std::vector<Node>& nodes) {
    std::vector<std::vector<std::size_t>> children(nodes.size());
    for (std::size_t k = 0; k < nodes.size(); ++k)
        if (nodes[k].parent >= 0) children[static_cast<std::size_t>(nodes[k].parent)].push_back(k);
    return children;
}

Periods periodsUnder(const std::vector<Node>& nodes, const std::vector<std::size_t>& children) {
    Periods periods;
    for (const std::size_t k : children) {
        const int start = parseTimeOfDay(nodes[k].value("s"));
        int end = parseTimeOfDay(nodes[k].value("f"));
        if (start < 0 || end < 0) continue;
        if (end == 0) end = kMinutesPerDay;  // "00:00" as a finish is midnight at the end of the day
        periods.push_back({start, end});
    }
    return periods;
}

std::int64_t minutesIn(const Periods& periods, int lo, int hi) {
    std::int64_t total = 0;
    for (const Period& p : periods) total += std::max(0, std::min(p.end, hi) - std::max(p.start, lo));
    return total;
}

}  // namespace

int parseTimeOfDay(std::string_view text) {
    text = trimmedValue(text);
    int hour = 0, minute = 0;
    std::size_t i = 0;
    const auto number = [&](int most, int& value) {
        int n = 0;
        value = 0;
        while (i < text.size() && n < most && text[i] >= '0' && text[i] <= '9') value = value * 10 + (text[i++] - '0'), ++n;
        return n > 0;
    };
    if (!number(2, hour) || i >= text.size() || text[i++] != ':' || !number(2, minute) || minute > 59) return -1;
    if (i < text.size() && text[i] == ':') {
        int second = 0;
        ++i;
        if (!number(2, second)) return -1;
    }
    const std::string_view rest = trimmedValue(text.substr(i));
    if (!rest.empty()) {
        const bool am = sameLetters(rest, "am"), pm = sameLetters(rest, "pm");
        if ((!am && !pm) || hour < 1 || hour > 12) return -1;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (hour > 24 || (hour == 24 && minute > 0)) return -1;
    return hour * 60 + minute;
}

WorkTimes parseCalendarData(std::string_view data) {
    const std::vector<Node> nodes = CalendarDataParser(data).parse();
    WorkTimes times;
    if (nodes.empty()) return times;
    const std::vector<std::vector<std::size_t>> children = childrenOf(nodes);
    for (const std::size_t k : children[0]) {
        const bool days = sameLetters(nodes[k].name, "DaysOfWeek");
        const bool exceptions = sameLetters(nodes[k].name, "Exceptions");
        if (!days && !exceptions) continue;
        for (const std::size_t c : children[k]) {
            if (days) {
                int weekday = 0;
                const std::string_view n = nodes[c].name;
                if (std::from_chars(n.data(), n.data() + n.size(), weekday).ptr != n.data() + n.size() || weekday < 1 ||
                    weekday > 7)
                    continue;
                times.week[static_cast<std::size_t>(weekday - 1)] = periodsUnder(nodes, children[c]);
                times.weekGiven[weekday - 1] = true;
            } else {
                const std::string_view d = nodes[c].value("d");
                std::int64_t number = 0;
                if (d.empty() || std::from_chars(d.data(), d.data() + d.size(), number).ptr != d.data() + d.size() ||
                    number < 0 || number > kLastDayNumber)
                    continue;
                times.exceptions.push_back({number - kDayNumberOf1970, periodsUnder(nodes, children[c])});
            }
        }
    }
    return times;
}

Periods normalised(Periods periods) {
    periods.erase(std::remove_if(periods.begin(), periods.end(),
                                 [](const Period& p) { return p.start < 0 || p.end > kMinutesPerDay || p.end <= p.start; }),
                  periods.end());
    std::sort(periods.begin(), periods.end(), [](const Period& a, const Period& b) { return a.start < b.start; });
    Periods merged;
    for (const Period& p : periods) {
        if (!merged.empty() && p.start <= merged.back().end) merged.back().end = std::max(merged.back().end, p.end);
        else merged.push_back(p);
    }
    return merged;
}

WorkCalendar::WorkCalendar() : WorkCalendar(WorkTimes{}, {}) {}

WorkCalendar::WorkCalendar(const WorkTimes& own, const std::vector<const WorkTimes*>& bases) {
    bool any = false;
    for (std::size_t d = 0; d < 7; ++d) {
        week_[d] = normalised(own.week[d]);
        any = any || !week_[d].empty();
    }
    if (!any)
        for (std::size_t d = 1; d <= 5; ++d) week_[d] = {{8 * 60, 16 * 60}};
    for (std::size_t d = 0; d < 7; ++d) {
        weekMinutes_[d] = minutesIn(week_[d], 0, kMinutesPerDay);
        weekTotal_ += weekMinutes_[d];
    }
    // The calendar's own days first, then each base calendar's; the first given for a day counts.
    std::size_t count = own.exceptions.size();
    for (const WorkTimes* base : bases) count += base->exceptions.size();
    days_.reserve(count);
    for (const Exception& e : own.exceptions) days_.push_back({e.day, &e.periods});
    for (const WorkTimes* base : bases)
        for (const Exception& e : base->exceptions) days_.push_back({e.day, &e.periods});
    std::stable_sort(days_.begin(), days_.end(), [](const Day& a, const Day& b) { return a.day < b.day; });
    days_.erase(std::unique(days_.begin(), days_.end(), [](const Day& a, const Day& b) { return a.day == b.day; }),
                days_.end());
    shift_.resize(days_.size() + 1);
    shift_[0] = 0;
    for (std::size_t i = 0; i < days_.size(); ++i)
        shift_[i + 1] = shift_[i] + minutesIn(*days_[i].periods, 0, kMinutesPerDay) -
                        weekMinutes_[static_cast<std::size_t>(weekdayOf(days_[i].day))];
}

const Periods& WorkCalendar::periodsOf(std::int64_t day) const {
    const auto it = std::lower_bound(days_.begin(), days_.end(), day, [](const Day& d, std::int64_t v) { return d.day < v; });
    if (it != days_.end() && it->day == day) return *it->periods;
    return week_[static_cast<std::size_t>(weekdayOf(day))];
}

std::int64_t WorkCalendar::work(Minutes a, Minutes b) const {
    if (a == kNoDate || b == kNoDate) return 0;
    if (b < a) return -work(b, a);
    const std::int64_t da = dayOf(a), db = dayOf(b);
    const int ma = static_cast<int>(a - da * kMinutesPerDay), mb = static_cast<int>(b - db * kMinutesPerDay);
    if (da == db) return minutesIn(periodsOf(da), ma, mb);
    std::int64_t total = minutesIn(periodsOf(da), ma, kMinutesPerDay) + minutesIn(periodsOf(db), 0, mb);
    const std::int64_t whole = db - da - 1;  // the days between them
    if (whole > 0) {
        const int first = weekdayOf(da + 1);
        total += whole / 7 * weekTotal_;
        for (std::int64_t k = 0; k < whole % 7; ++k) total += weekMinutes_[static_cast<std::size_t>((first + k) % 7)];
        const auto byDay = [](const Day& d, std::int64_t v) { return d.day < v; };
        const auto from = std::lower_bound(days_.begin(), days_.end(), da + 1, byDay);
        const auto to = std::lower_bound(from, days_.end(), db, byDay);
        total += shift_[static_cast<std::size_t>(to - days_.begin())] - shift_[static_cast<std::size_t>(from - days_.begin())];
    }
    return total;
}

}  // namespace quorrix::importer::plans::p6
