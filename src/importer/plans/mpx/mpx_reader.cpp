#include "importer/plans/mpx/mpx_reader.h"

#include <QDate>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <unordered_map>
#include <string>
#include <string_view>
#include <vector>

#include "importer/plans/common/code_pages.h"
#include "importer/plans/common/details_pool.h"
#include "importer/plans/common/finish_plan.h"
#include "importer/plans/common/plan_file.h"
#include "importer/plans/common/resource_names.h"
#include "importer/plans/common/schedule.h"
#include "platform/failure.h"
#include "platform/wall_clock.h"
#include "platform/file_names.h"

namespace quorrix::importer::plans {
namespace {

using failure_number::kBadFileFormat;

// More task rows than a sheet holds below its header row cannot be imported; such an ID is damage.
constexpr long kMaxTaskId = 1048575;
// IDs that no record carries are blank rows. A file cannot make the reader hold more blank rows
// than this floor or this many per task record: a huge ID in a small file is damage, not a
// reason to reserve millions of empty positions.
constexpr long kBlankRowFloor = 65536;
constexpr long kBlankRowsPerRecord = 64;
// Field numbers above this are columns the reader does not know.
constexpr int kMaxFieldNumber = 255;

// The record numbers the reader uses.
namespace record {
constexpr int kCurrency = 10;
constexpr int kDefaults = 11;
constexpr int kDateTime = 12;
constexpr int kBaseCalendar = 20;
constexpr int kCalendarHours = 25;
constexpr int kProjectHeader = 30;
constexpr int kResourceNames = 40;
constexpr int kResourceNumbers = 41;
constexpr int kResource = 50;
constexpr int kTaskNames = 60;
constexpr int kTaskNumbers = 61;
constexpr int kTask = 70;
constexpr int kTaskNotes = 71;
constexpr int kAssignment = 75;
}  // namespace record

// Task field numbers (record 61 and the columns of record 70).
namespace field {
constexpr int kName = 1;
constexpr int kWbs = 2;
constexpr int kOutlineLevel = 3;
constexpr int kWork = 20;
constexpr int kCost = 30;
constexpr int kDuration = 40;
constexpr int kBaselineDuration = 41;
constexpr int kPercentComplete = 44;
constexpr int kStart = 50;
constexpr int kFinish = 51;
constexpr int kEarlyStart = 52;
constexpr int kEarlyFinish = 53;
constexpr int kBaselineStart = 56;
constexpr int kBaselineFinish = 57;
constexpr int kActualStart = 58;
constexpr int kActualFinish = 59;
constexpr int kMilestone = 81;
constexpr int kId = 90;
constexpr int kUniqueId = 98;
constexpr int kOutlineNumber = 99;
constexpr int kSummary = 120;
// the schedule
constexpr int kPredecessors = 70;
constexpr int kLateStart = 54;
constexpr int kLateFinish = 55;
constexpr int kConstraintDate = 68;
constexpr int kFixed = 80;
constexpr int kCritical = 82;
constexpr int kConstraintType = 91;
constexpr int kFreeSlack = 93;
constexpr int kTotalSlack = 94;
constexpr int kPriority = 95;
}  // namespace field

// The custom fields MPX holds: kind, number, field number.
struct MpxCustom {
    CustomKind kind;
    int number;
    int field;
};
constexpr MpxCustom kMpxCustom[] = {
    {CustomKind::Text, 1, 4},      {CustomKind::Text, 2, 5},      {CustomKind::Text, 3, 6},
    {CustomKind::Text, 4, 7},      {CustomKind::Text, 5, 8},      {CustomKind::Text, 6, 9},
    {CustomKind::Text, 7, 10},     {CustomKind::Text, 8, 11},     {CustomKind::Text, 9, 12},
    {CustomKind::Text, 10, 13},    {CustomKind::Start, 1, 60},    {CustomKind::Finish, 1, 61},
    {CustomKind::Start, 2, 62},    {CustomKind::Finish, 2, 63},   {CustomKind::Start, 3, 64},
    {CustomKind::Finish, 3, 65},   {CustomKind::Start, 4, 126},   {CustomKind::Finish, 4, 127},
    {CustomKind::Start, 5, 128},   {CustomKind::Finish, 5, 129},  {CustomKind::Number, 1, 140},
    {CustomKind::Number, 2, 141},  {CustomKind::Number, 3, 142},  {CustomKind::Number, 4, 143},
    {CustomKind::Number, 5, 144},  {CustomKind::Duration, 1, 46}, {CustomKind::Duration, 2, 47},
    {CustomKind::Duration, 3, 48}, {CustomKind::Cost, 1, 36},     {CustomKind::Cost, 2, 37},
    {CustomKind::Cost, 3, 38},     {CustomKind::Flag, 1, 110},    {CustomKind::Flag, 2, 111},
    {CustomKind::Flag, 3, 112},    {CustomKind::Flag, 4, 113},    {CustomKind::Flag, 5, 114},
    {CustomKind::Flag, 6, 115},    {CustomKind::Flag, 7, 116},    {CustomKind::Flag, 8, 117},
    {CustomKind::Flag, 9, 118},    {CustomKind::Flag, 10, 119},
};

// Words of the constraint types and priorities, English and German.
struct Word {
    std::string_view text;
    int value;
};
constexpr Word kConstraintWords[] = {
    {"As Soon As Possible", 0},    {"As Late As Possible", 1},     {"Must Start On", 2},
    {"Must Finish On", 3},         {"Start No Earlier Than", 4},   {"Start No Later Than", 5},
    {"Finish No Earlier Than", 6}, {"Finish No Later Than", 7},    {"So fr\xFCh wie m\xF6glich", 0},
    {"So sp\xE4t wie m\xF6glich", 1}, {"Muss anfangen am", 2},   {"Muss enden am", 3},
    {"Anfang nicht fr\xFCher als", 4}, {"Anfang nicht sp\xE4ter als", 5},
    {"Ende nicht fr\xFCher als", 6},  {"Ende nicht sp\xE4ter als", 7},
};
constexpr Word kPriorityWords[] = {
    {"Lowest", 100}, {"Very Low", 200}, {"Lower", 300},   {"Low", 400},       {"Medium", 500},
    {"High", 600},   {"Higher", 700},   {"Very High", 800}, {"Highest", 900}, {"Do Not Level", 1000},
};



// Resource field numbers (record 41 and the columns of record 50).
constexpr int kResourceName = 1;
constexpr int kResourceId = 40;

// The column names of record 60 (and 40) in the languages Project writes them in, for files
// without the numbered definition.
struct NamedField {
    std::string_view name;
    int number;
};
constexpr NamedField kTaskFieldNames[] = {
    {"ID", field::kId},
    {"Nr.", field::kId},
    {"Unique ID", field::kUniqueId},
    {"Einmalige Nr.", field::kUniqueId},
    {"Name", field::kName},
    {"Duration", field::kDuration},
    {"Dauer", field::kDuration},
    {"Start", field::kStart},
    {"Anfang", field::kStart},
    {"Finish", field::kFinish},
    {"Ende", field::kFinish},
    {"Early Start", field::kEarlyStart},
    {"Fr\xFChester Anfang", field::kEarlyStart},
    {"Early Finish", field::kEarlyFinish},
    {"Fr\xFChestes Ende", field::kEarlyFinish},
    {"Outline Level", field::kOutlineLevel},
    {"Gliederungsebene", field::kOutlineLevel},
    {"WBS", field::kWbs},
    {"PSP-Code", field::kWbs},
    {"Outline Number", field::kOutlineNumber},
    {"Gliederungsnummer", field::kOutlineNumber},
    {"% Complete", field::kPercentComplete},
    {"% Abgeschlossen", field::kPercentComplete},
    {"Milestone", field::kMilestone},
    {"Meilenstein", field::kMilestone},
    {"Summary", field::kSummary},
    {"Sammelvorgang", field::kSummary},
    {"Baseline Duration", field::kBaselineDuration},
    {"Geplante Dauer", field::kBaselineDuration},
    {"Baseline Start", field::kBaselineStart},
    {"Geplanter Anfang", field::kBaselineStart},
    {"Baseline Finish", field::kBaselineFinish},
    {"Geplantes Ende", field::kBaselineFinish},
    {"Actual Start", field::kActualStart},
    {"Aktueller Anfang", field::kActualStart},
    {"Actual Finish", field::kActualFinish},
    {"Aktuelles Ende", field::kActualFinish},
    {"Cost", field::kCost},
    {"Kosten", field::kCost},
    {"Work", field::kWork},
    {"Arbeit", field::kWork},
};
constexpr NamedField kResourceFieldNames[] = {
    {"ID", kResourceId},
    {"Nr.", kResourceId},
    {"Name", kResourceName},
};

// ---- small text helpers --------------------------------------------------------------------

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Inlined: the word tables are searched with it, and most of their words differ in length.
[[gnu::always_inline]] inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return !suffix.empty() && text.size() >= suffix.size() &&
           equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether a text is empty or blanks only (cheaper than trimming it when it is not).
bool blankOnly(std::string_view text) {
    for (const char c : text)
        if (!isBlank(c)) return false;
    return true;
}

// A whole non-negative decimal number of at most `maxDigits` digits, blanks around it allowed.
bool parseCount(std::string_view text, long& value, size_t maxDigits = 9) {
    text = trimmed(text);
    if (text.empty() || text.size() > maxDigits) return false;
    long v = 0;
    for (const char c : text) {
        if (!isDigit(c)) return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

// "no date" in the languages Project writes.
bool isNoDate(std::string_view text) {
    return equalsIgnoringCase(text, "NA") || equalsIgnoringCase(text, "NV") || equalsIgnoringCase(text, "NC");
}

// Whether a date text says there is no date: empty, blanks only or "NA" (most often as it is).
[[gnu::always_inline]] inline bool noDateText(std::string_view text) {
    if (text.empty()) return true;
    if (!isBlank(text.front()) && !isBlank(text.back())) return text.size() == 2 && isNoDate(text);
    return blankOnly(text) || isNoDate(trimmed(text));
}

// The place of a date text among the kept dates: its first and last eight bytes (the whole of the
// usual dates), its length and whether it is read late in the day, mixed.
constexpr int kKeptDateBits = 6;
[[gnu::always_inline]] inline std::size_t keptDateIndex(std::string_view text, bool lateInDay) {
    std::uint64_t first = 0, last = 0;
    const std::size_t n = text.size();
    if (n >= 8) {
        std::memcpy(&first, text.data(), 8);
        std::memcpy(&last, text.data() + n - 8, 8);
    } else {
        for (const char c : text) first = first << 8 | static_cast<unsigned char>(c);
    }
    std::uint64_t h = (first * 0x9E3779B97F4A7C15ull + last) ^ (n << 1 | (lateInDay ? 1 : 0));
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
    return static_cast<std::size_t>(h & ((1u << kKeptDateBits) - 1));
}

template <typename Word>
Word wordAt(const char* at) {
    Word word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Whether a kept text is `text`: the short texts most fields hold compared a word at a time (two
// words that may overlap, none read beyond the texts), without a call.
[[gnu::always_inline]] inline bool sameText(std::string_view kept, std::string_view text) {
    const std::size_t n = text.size();
    if (kept.size() != n) return false;
    const char* a = kept.data();
    const char* b = text.data();
    if (n > 16) return std::memcmp(a, b, n) == 0;
    if (n >= 8)
        return wordAt<std::uint64_t>(a) == wordAt<std::uint64_t>(b) &&
               wordAt<std::uint64_t>(a + n - 8) == wordAt<std::uint64_t>(b + n - 8);
    if (n >= 4)
        return wordAt<std::uint32_t>(a) == wordAt<std::uint32_t>(b) &&
               wordAt<std::uint32_t>(a + n - 4) == wordAt<std::uint32_t>(b + n - 4);
    if (n >= 2) return wordAt<std::uint16_t>(a) == wordAt<std::uint16_t>(b) && a[n - 1] == b[n - 1];
    return n == 0 || a[0] == b[0];
}

// ---- records and fields --------------------------------------------------------------------

// Splits the text after the first line into records and fields: a record ends at CR, LF or CR LF
// (even inside quotes); fields are separated by the delimiter; a field that starts with a quote
// is quoted, with "" for a quote and the delimiter taken literally until the closing quote.
class Records {
public:
    Records(std::string_view text, char delimiter) : text_(text), delimiter_(delimiter) {}

    // Moves to the next record that has any characters; false at the end of the text.
    bool next() {
        while (at_ < text_.size()) {
            const size_t begin = at_;
            size_t end = begin;
            while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
            at_ = end;
            if (at_ < text_.size() && text_[at_] == '\r') ++at_;
            if (at_ < text_.size() && text_[at_] == '\n') ++at_;
            ++line_;
            if (end == begin) continue;
            split(begin, end);
            return true;
        }
        return false;
    }

    size_t size() const { return spans_.size(); }
    [[gnu::always_inline]] std::string_view operator[](size_t i) const {
        if (i >= spans_.size()) return {};
        const Span& s = spans_[i];
        return s.quoted ? std::string_view(unquoted_.data() + s.offset, s.length)
                        : std::string_view(text_.data() + s.offset, s.length);
    }
    // Whether field `i` was quoted (its text then is not where the record has it).
    bool quoted(size_t i) const { return i < spans_.size() && spans_[i].quoted; }
    // The line the current record is on, counting the first line of the file as line 1.
    long line() const { return line_; }

private:
    struct Span {
        size_t offset;
        size_t length;
        bool quoted;
    };

    void split(size_t p, size_t end) {
        spans_.clear();
        unquoted_.clear();
        for (;;) {
            if (p < end && text_[p] == '"') {
                const size_t offset = unquoted_.size();
                ++p;
                while (p < end) {
                    const char c = text_[p];
                    if (c == '"') {
                        if (p + 1 < end && text_[p + 1] == '"') {
                            unquoted_ += '"';
                            p += 2;
                            continue;
                        }
                        ++p;
                        break;
                    }
                    unquoted_ += c;
                    ++p;
                }
                while (p < end && text_[p] != delimiter_) unquoted_ += text_[p++];
                spans_.push_back({offset, unquoted_.size() - offset, true});
            } else {
                const size_t begin = p;
                const void* found = std::memchr(text_.data() + p, delimiter_, end - p);
                p = found ? static_cast<size_t>(static_cast<const char*>(found) - text_.data()) : end;
                spans_.push_back({begin, p - begin, false});
            }
            if (p >= end) break;
            ++p;                    // the delimiter
            if (p >= end) break;    // a trailing delimiter adds no field
        }
    }

    std::string_view text_;
    char delimiter_;
    size_t at_ = 0;
    long line_ = 0;  // the text starts at the end of the first line
    std::vector<Span> spans_;
    std::string unquoted_;
};

// ---- settings ------------------------------------------------------------------------------

// The working periods of one weekday, in minutes after midnight.
struct Calendar {
    QString name;
    int dayType[7] = {0, 1, 1, 1, 1, 1, 0};  // Sunday to Saturday: 0 non-working, 1 working
    int lastEnd[7] = {-1, -1, -1, -1, -1, -1, -1};
};

struct Settings {
    std::string currencySymbol;
    char thousands = ',';
    char decimal = '.';
    double minutesPerDay = 480;
    double minutesPerWeek = 2400;
    int dateOrder = 0;  // 0 month-day-year, 1 day-month-year, 2 year-month-day
    bool twelveHour = true;
    int defaultStart = 480;
    char dateSeparator = '/';
    char timeSeparator = ':';
    std::string am, pm;
    int dateFormat = 1;
};

// Project's own end of the working day when a file does not say otherwise: 17:00.
constexpr int kDefaultEndOfDay = 17 * 60;

// ---- numbers, durations, dates -------------------------------------------------------------

// A decimal number at the start of `text` written with the file's separators (the thousands
// separator skipped, '.' accepted as the decimal separator where it is not the thousands one).
// On success `rest` is what follows the number.
bool parseNumber(std::string_view text, const Settings& s, double& value, std::string_view& rest) {
    size_t p = 0;
    bool negative = false;
    if (p < text.size() && (text[p] == '-' || text[p] == '+')) negative = text[p++] == '-';
    unsigned long long whole = 0, fraction = 0;
    int wholeDigits = 0, fractionDigits = 0, keptFraction = 0;
    bool inFraction = false;
    for (; p < text.size(); ++p) {
        const char c = text[p];
        if (isDigit(c)) {
            if (!inFraction) {
                if (++wholeDigits > 18) return false;
                whole = whole * 10 + static_cast<unsigned>(c - '0');
            } else {
                ++fractionDigits;
                if (keptFraction < 15) {
                    fraction = fraction * 10 + static_cast<unsigned>(c - '0');
                    ++keptFraction;
                }
            }
        } else if (!inFraction && (c == s.decimal || (c == '.' && s.thousands != '.'))) {
            inFraction = true;
        } else if (!inFraction && wholeDigits > 0 && c == s.thousands && s.thousands != s.decimal &&
                   p + 1 < text.size() && isDigit(text[p + 1])) {
            continue;
        } else {
            break;
        }
    }
    if (wholeDigits + fractionDigits == 0) return false;
    double v = static_cast<double>(whole);
    if (keptFraction > 0) v += static_cast<double>(fraction) / std::pow(10.0, keptFraction);
    value = negative ? -v : v;
    if (value == 0) value = 0;
    rest = text.substr(p);
    return true;
}

// A number that fills the whole (trimmed) text.
bool parseWholeNumber(std::string_view text, const Settings& s, double& value) {
    std::string_view rest;
    return parseNumber(trimmed(text), s, value, rest) && rest.empty();
}

struct DurationUnit {
    std::string_view name;
    int kind;  // 0 fixed minutes, 1 working days, 2 working weeks, 3 working months
    double minutes;
};

// Units in English and German, matched without regard to case. Months of work are 20 days.
constexpr DurationUnit kDurationUnits[] = {
    {"m", 0, 1},        {"min", 0, 1},      {"mins", 0, 1},     {"h", 0, 60},        {"hr", 0, 60},
    {"hrs", 0, 60},     {"hour", 0, 60},    {"hours", 0, 60},   {"d", 1, 1},         {"day", 1, 1},
    {"days", 1, 1},     {"t", 1, 1},        {"w", 2, 1},        {"wk", 2, 1},        {"wks", 2, 1},
    {"week", 2, 1},     {"weeks", 2, 1},    {"mo", 3, 1},       {"mon", 3, 1},       {"mons", 3, 1},
    {"month", 3, 1},    {"months", 3, 1},   {"em", 0, 1},       {"emin", 0, 1},      {"emins", 0, 1},
    {"eh", 0, 60},      {"ehr", 0, 60},     {"ehrs", 0, 60},    {"ed", 0, 1440},     {"edays", 0, 1440},
    {"ew", 0, 10080},   {"ewk", 0, 10080},  {"eweeks", 0, 10080}, {"emo", 0, 43200}, {"emon", 0, 43200},
    {"emons", 0, 43200}, {"emonths", 0, 43200}, {"fm", 0, 1},    {"fh", 0, 60},       {"ft", 0, 1440},
    {"fw", 0, 10080},   {"fmo", 0, 43200},  {"fmon", 0, 43200},
};

// A duration such as "1d", "2.5 ew", "3t", "1,5h?" in minutes (to a tenth of a minute, as the
// project application keeps them); a number without a unit is days.
bool parseDuration(std::string_view text, const Settings& s, double& minutes) {
    text = trimmed(text);
    if (!text.empty() && text.back() == '?') text.remove_suffix(1);
    double value = 0;
    std::string_view unit;
    if (!parseNumber(trimmed(text), s, value, unit)) return false;
    unit = trimmed(unit);
    double factor = s.minutesPerDay;
    if (!unit.empty()) {
        bool known = false;
        for (const DurationUnit& u : kDurationUnits) {
            if (!equalsIgnoringCase(unit, u.name)) continue;
            switch (u.kind) {
            case 0: factor = u.minutes; break;
            case 1: factor = s.minutesPerDay; break;
            case 2: factor = s.minutesPerWeek; break;
            default: factor = s.minutesPerDay * 20; break;
            }
            known = true;
            break;
        }
        if (!known) return false;
    }
    const double result = std::round(value * factor * 10) / 10;
    if (!std::isfinite(result) || std::abs(result) > 1e13) return false;
    minutes = result == 0 ? 0 : result;
    return true;
}

enum class DateRead { Date, NoDate, NotADate, NoYear };

struct FileDate {
    QDate date;
    int minute = -1;  // minutes after midnight, or -1 when the file gives no time
};

bool isLetter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || u >= 0x80;
}

// The month (1-12) whose English or German name starts with the first three letters of `word`;
// 0 for none.
int monthNamed(std::string_view word, CodePage page) {
    if (word.size() < 3) return 0;
    const QString three = decode(page, word.substr(0, std::min<size_t>(word.size(), 4))).left(3).toLower();
    static const char16_t* const kNames[][12] = {
        {u"jan", u"feb", u"mar", u"apr", u"may", u"jun", u"jul", u"aug", u"sep", u"oct", u"nov", u"dec"},
        {u"jan", u"feb", u"m\u00e4r", u"apr", u"mai", u"jun", u"jul", u"aug", u"sep", u"okt", u"nov", u"dez"},
        {u"jan", u"feb", u"mrz", u"apr", u"mai", u"jun", u"jul", u"aug", u"sep", u"okt", u"nov", u"dez"},
    };
    for (const auto& names : kNames)
        for (int m = 0; m < 12; ++m)
            if (three == QStringView(names[m])) return m + 1;
    return 0;
}

// Takes a time of day off the end of `text` ("08:00", "8:00 PM", "8:00PM"): true with `minute`
// set when there is one, `text` then holding what comes before it.
bool takeTime(std::string_view& text, const Settings& s, int& minute) {
    std::string_view rest = trimmed(text);
    int half = 0;  // 1 AM, 2 PM
    const std::string_view am = s.am.empty() ? std::string_view("AM") : std::string_view(s.am);
    const std::string_view pm = s.pm.empty() ? std::string_view("PM") : std::string_view(s.pm);
    if (endsWithIgnoringCase(rest, am)) {
        half = 1;
        rest = trimmed(rest.substr(0, rest.size() - am.size()));
    } else if (endsWithIgnoringCase(rest, pm)) {
        half = 2;
        rest = trimmed(rest.substr(0, rest.size() - pm.size()));
    }
    // Two minute digits, the separator, one or two hour digits.
    size_t n = rest.size();
    if (n < 4 || !isDigit(rest[n - 1]) || !isDigit(rest[n - 2])) return false;
    const char separator = rest[n - 3];
    if (separator != s.timeSeparator && separator != ':') return false;
    size_t hourBegin = n - 3;
    while (hourBegin > 0 && isDigit(rest[hourBegin - 1]) && n - 3 - hourBegin < 2) --hourBegin;
    if (hourBegin == n - 3) return false;
    if (hourBegin > 0 && !isBlank(rest[hourBegin - 1])) return false;
    int hour = 0;
    for (size_t i = hourBegin; i < n - 3; ++i) hour = hour * 10 + (rest[i] - '0');
    const int minutes = (rest[n - 2] - '0') * 10 + (rest[n - 1] - '0');
    if (minutes > 59) return false;
    if (half != 0) {
        if (hour < 1 || hour > 12) return false;
        if (half == 1 && hour == 12) hour = 0;
        if (half == 2 && hour != 12) hour += 12;
    }
    if (hour > 23) return false;
    minute = hour * 60 + minutes;
    text = rest.substr(0, hourBegin);
    return true;
}

bool dateFormatHasWeekday(int code) { return (code >= 8 && code <= 11) || (code >= 15 && code <= 17); }
bool dateFormatHasNoYear(int code) { return code == 4 || code == 6 || code == 7 || (code >= 11 && code <= 18); }

// A date as written in the file's date format: "Fri 17/10/14", "14 November 2005 08:00",
// "Di 07.01.03", "07/02/2006 8:00 AM", ...
DateRead parseDate(std::string_view raw, const Settings& s, CodePage page, FileDate& out) {
    std::string_view text = trimmed(raw);
    if (text.empty() || isNoDate(text)) return DateRead::NoDate;
    int minute = -1;
    takeTime(text, s, minute);

    // The parts: numbers and words, split at blanks and date separators.
    std::string_view parts[6];
    int count = 0;
    size_t p = 0;
    while (p < text.size()) {
        const char c = text[p];
        if (isBlank(c) || c == s.dateSeparator || c == '/' || c == '.' || c == '-' || c == ',') {
            ++p;
            continue;
        }
        if (c == '\'') {  // before a two-digit year
            ++p;
            continue;
        }
        const size_t begin = p;
        const bool digits = isDigit(c);
        while (p < text.size() && (digits ? isDigit(text[p]) : isLetter(text[p]))) ++p;
        if (p == begin) return DateRead::NotADate;
        if (count == 6) return DateRead::NotADate;
        parts[count++] = text.substr(begin, p - begin);
    }
    // A weekday name first.
    int first = 0;
    if (count > 0 && isLetter(parts[0][0]) &&
        (dateFormatHasWeekday(s.dateFormat) || monthNamed(parts[0], page) == 0))
        first = 1;

    long numbers[3];
    size_t widths[3];
    int numberCount = 0;
    int month = 0;
    for (int i = first; i < count; ++i) {
        if (isDigit(parts[i][0])) {
            if (numberCount == 3 || parts[i].size() > 4) return DateRead::NotADate;
            long v = 0;
            parseCount(parts[i], v, 4);
            numbers[numberCount] = v;
            widths[numberCount++] = parts[i].size();
        } else {
            if (month != 0) return DateRead::NotADate;
            month = monthNamed(parts[i], page);
            if (month == 0) return DateRead::NotADate;
        }
    }
    const int fields = numberCount + (month != 0 ? 1 : 0);
    if (fields < 3) return dateFormatHasNoYear(s.dateFormat) ? DateRead::NoYear : DateRead::NotADate;
    if (fields > 3) return DateRead::NotADate;
    // Which number is which, by the file's date order.
    int dayAt, yearAt, monthAt = -1;
    if (month != 0) {
        yearAt = s.dateOrder == 2 ? 0 : 1;
        dayAt = 1 - yearAt;
    } else {
        switch (s.dateOrder) {
        case 1: dayAt = 0, monthAt = 1, yearAt = 2; break;
        case 2: yearAt = 0, monthAt = 1, dayAt = 2; break;
        default: monthAt = 0, dayAt = 1, yearAt = 2; break;
        }
        if (widths[monthAt] > 2) return DateRead::NotADate;
        month = static_cast<int>(numbers[monthAt]);
    }
    if (widths[dayAt] > 2 || widths[yearAt] == 3) return DateRead::NotADate;
    const long day = numbers[dayAt];
    long year = numbers[yearAt];
    if (widths[yearAt] <= 2) year += year < 80 ? 2000 : 1900;  // two digits: 1980 to 2079
    if (!QDate::isValid(static_cast<int>(year), month, static_cast<int>(day))) return DateRead::NotADate;
    out.date = QDate(static_cast<int>(year), month, static_cast<int>(day));
    out.minute = minute;
    return DateRead::Date;
}

// Yes and No in the languages Project writes; nothing for anything else.
std::optional<bool> parseFlag(std::string_view text) {
    text = trimmed(text);
    static constexpr std::string_view kYes[] = {"Yes", "Ja", "Oui", "True", "1"};
    static constexpr std::string_view kNo[] = {"No", "Nein", "Non", "False", "0"};
    for (const std::string_view yes : kYes)
        if (equalsIgnoringCase(text, yes)) return true;
    for (const std::string_view no : kNo)
        if (equalsIgnoringCase(text, no)) return false;
    return std::nullopt;
}

// The display format of a duration's unit as the file writes it ("d", "ew", "t", ...); 7 (days)
// for a number alone; nothing for a unit not known.
std::optional<int> formatOfUnit(std::string_view unit) {
    struct Unit {
        std::string_view name;
        int format;
    };
    static constexpr Unit kUnits[] = {
        {"", 7},    {"m", 3},     {"min", 3},   {"mins", 3},  {"em", 4},    {"emin", 4},  {"emins", 4},
        {"h", 5},   {"hr", 5},    {"hrs", 5},   {"eh", 6},    {"ehr", 6},   {"ehrs", 6},  {"d", 7},
        {"day", 7}, {"days", 7},  {"t", 7},     {"ed", 8},    {"eday", 8},  {"edays", 8}, {"et", 8},
        {"w", 9},   {"wk", 9},    {"wks", 9},   {"ew", 10},   {"ewk", 10},  {"ewks", 10}, {"mo", 11},
        {"mon", 11}, {"mons", 11}, {"emo", 12}, {"emon", 12}, {"emons", 12}, {"%", 19},   {"e%", 20},
    };
    for (const Unit& u : kUnits)
        if (equalsIgnoringCase(unit, u.name)) return u.format;
    return std::nullopt;
}

// What a parser made of a field's text for the tasks before, kept by field number: the tasks of
// a plan repeat most of their values column by column, and a text met again in its column is not
// parsed again. forget() drops them all (the records before the tasks change how texts read).
template <typename T>
class LastValues {
public:
    template <typename Parse>
    const T& of(int number, std::string_view text, Parse parse) {
        // The few fields of a kind meet in none of the places.
        Kept& kept = kept_[static_cast<std::size_t>(number) % kept_.size()];
        if (kept.generation != generation_ || kept.number != number || !sameText(kept.text, text)) {
            kept.value = parse(text);
            kept.text.assign(text);
            kept.number = number;
            kept.generation = generation_;
        }
        return kept.value;
    }
    void forget() { ++generation_; }

private:
    struct Kept {
        std::string text;
        int number = -1;
        unsigned generation = 0;
        T value{};
    };
    unsigned generation_ = 1;
    std::array<Kept, 16> kept_;
};

// ---- the reader ----------------------------------------------------------------------------

// What the records say about one task, until the plan is put together.
struct Entry {
    long id = 0;
    long line = 0;
    bool blank = false;
    PlanTask task;
    std::optional<double> outlineLevel;
    std::shared_ptr<TaskDetails> details;  // when asked for
};

// A custom field asked for.
struct AskedCustom {
    int slot;
    CustomKind kind;
    int field;
};

// One the task table holds, with the value made of the text it held last (the tasks of a plan
// repeat most of their values column by column).
struct PlacedCustom : AskedCustom {
    int at = -1;  // the place in the task records
    std::string text;
    unsigned generation = 0;  // the text and value are kept for the reader's memos of this generation
    bool held = false;        // whether the text makes a value
    CustomValue value;
};

// A start or finish read, as the text it was read from and the date made of it.
struct ReadDate {
    std::string_view text;
    bool lateInDay = false;
    const QDateTime* value = nullptr;
};

struct Assignment {
    size_t entry;
    long resourceId;
    double units;
};

class Reader {
public:
    explicit Reader(const ReadOptions& options)
        : details_(options.details),
          schedule_(options.details && options.schedule),
          custom_(options.details ? options.custom : CustomSlots()) {
        if (details_) memos_.reset(new Memos);  // its members initialise themselves: no zeroing first
        if (custom_.any()) askedCustom_.reserve(std::size(kMpxCustom));
        for (const MpxCustom& c : kMpxCustom) {
            const int slot = customSlot(c.kind, c.number);
            if (custom_.test(static_cast<std::size_t>(slot))) askedCustom_.push_back({slot, c.kind, c.field});
        }
        heldCustom_.resize(askedCustom_.size());
    }

    Plan read(std::string_view bytes) {
        if (!isMpxFile(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(std::min<size_t>(bytes.size(), 8)))))
            notAPlan();
        if (const void* nul = std::memchr(bytes.data(), '\0', bytes.size())) {
            const auto at = static_cast<const char*>(nul) - bytes.data();
            damaged(QStringLiteral("it holds binary data (a zero byte at offset %1)").arg(at));
        }
        delimiter_ = bytes[3];

        // The first line, read as ASCII: MPX, the program, the version, the code page.
        size_t end = 0;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        {
            Records first(bytes.substr(0, end), delimiter_);
            if (first.next()) page_ = codePageNamed(first[3]);
        }
        Records records(bytes.substr(end), delimiter_);
        bool any = false;
        while (records.next()) {
            any = true;
            long number = 0;
            if (!parseCount(records[0], number, 4)) continue;
            handle(static_cast<int>(number), records);
        }
        if (!any) damaged(QStringLiteral("it ends after its first line"));
        return assemble();
    }

private:
    // ---- failures ----

    [[noreturn]] void notAPlan() const {
        throw Failure(kBadFileFormat, QStringLiteral("The file is not a project plan."));
    }
    [[noreturn]] void damaged(const QString& what) const {
        throw Failure(kBadFileFormat, QStringLiteral("The file is damaged: %1.").arg(what));
    }
    QString shown(std::string_view text) const { return shownValue(decode(page_, text)); }

    // ---- records ----

    void handle(int number, const Records& r) {
        // The kept values are forgotten before the next task's details are read, once however many
        // records came between.
        if (number != record::kTask && number != record::kTaskNotes && number != record::kAssignment) stale_ = true;
        switch (number) {
        case record::kCurrency: currency(r); break;
        case record::kDefaults: defaults(r); break;
        case record::kDateTime: dateTime(r); break;
        case record::kBaseCalendar: baseCalendar(r); break;
        case record::kCalendarHours: calendarHours(r); break;
        case record::kProjectHeader:
            if (projectTitle_.isEmpty()) projectTitle_ = decode(page_, r[1]);
            if (!trimmed(r[4]).empty()) projectCalendar_ = decode(page_, trimmed(r[4]));
            calendar_.reset();
            break;
        case record::kResourceNames:
            if (details_ && !resourceNumbered_) {
                resourceColumns_ = namedColumns(r, kResourceFieldNames);
                resourceAt_.clear();
            }
            break;
        case record::kResourceNumbers:
            if (details_ && !resourceNumbered_) {
                resourceColumns_ = numberedColumns(r);
                resourceAt_.clear();
                resourceNumbered_ = true;
            }
            break;
        case record::kResource:
            if (details_) resource(r);
            break;
        case record::kTaskNames:
            if (!taskNumbered_) {
                taskColumns_ = namedColumns(r, kTaskFieldNames);
                taskAt_.clear();
                customPlaced_ = false;
                taskDefined_ = true;
            }
            break;
        case record::kTaskNumbers:
            if (!taskNumbered_) {
                taskColumns_ = numberedColumns(r);
                taskAt_.clear();
                customPlaced_ = false;
                taskNumbered_ = taskDefined_ = true;
            }
            break;
        case record::kTask: task(r); break;
        case record::kTaskNotes:
            if (details_ && current_) {
                QString notes = decode(page_, r[1]);
                notes.replace(QChar(0x7F), QLatin1Char('\n'));
                if (!notes.isEmpty()) detailsOf(entries_[*current_]).notes = notes;
            }
            break;
        case record::kAssignment:
            if (details_ && current_) assignment(r);
            break;
        default:
            break;
        }
    }

    void currency(const Records& r) {
        if (!r[1].empty()) settings_.currencySymbol = std::string(r[1]);
        if (r[4].size() == 1) settings_.thousands = r[4][0];
        if (r[5].size() == 1) settings_.decimal = r[5][0];
    }

    void defaults(const Records& r) {
        double hours = 0;
        if (parseWholeNumber(r[4], settings_, hours) && hours > 0 && hours <= 24) settings_.minutesPerDay = hours * 60;
        if (parseWholeNumber(r[5], settings_, hours) && hours > 0 && hours <= 168) settings_.minutesPerWeek = hours * 60;
    }

    void dateTime(const Records& r) {
        long v = 0;
        if (parseCount(r[1], v, 2) && v <= 2) settings_.dateOrder = static_cast<int>(v);
        if (parseCount(r[2], v, 2) && v <= 1) settings_.twelveHour = v == 0;
        if (parseCount(r[3], v, 4) && v < 24 * 60) settings_.defaultStart = static_cast<int>(v);
        if (r[4].size() == 1) settings_.dateSeparator = r[4][0];
        if (r[5].size() == 1) settings_.timeSeparator = r[5][0];
        if (!trimmed(r[6]).empty()) settings_.am = std::string(trimmed(r[6]));
        if (!trimmed(r[7]).empty()) settings_.pm = std::string(trimmed(r[7]));
        if (parseCount(r[8], v, 2)) settings_.dateFormat = static_cast<int>(v);
    }

    void baseCalendar(const Records& r) {
        calendar_.reset();
        Calendar& c = calendars_.emplace_back();
        c.name = decode(page_, trimmed(r[1]));
        for (int day = 0; day < 7; ++day) {
            long type = 0;
            if (parseCount(r[2 + day], type, 1)) c.dayType[day] = static_cast<int>(type);
        }
    }

    // Working hours of one weekday of the last base calendar: only the end of its last period
    // is kept.
    void calendarHours(const Records& r) {
        if (calendars_.empty()) return;
        long day = 0;
        if (!parseCount(r[1], day, 1) || day < 1 || day > 7) return;
        int last = -1;
        for (size_t i = 2; i + 1 < r.size() && i < 8; i += 2) {
            const int from = timeOfDay(r[i]);
            int to = timeOfDay(r[i + 1]);
            if (from < 0 || to < 0) continue;
            if (to <= from) to += 24 * 60;  // up to midnight
            last = to;
        }
        calendars_.back().lastEnd[day - 1] = last;
    }

    int timeOfDay(std::string_view text) const {
        std::string_view rest = text;
        int minute = -1;
        if (!takeTime(rest, settings_, minute) || !trimmed(rest).empty()) return -1;
        return minute;
    }

    // The columns of a numbered definition record: field number by position.
    std::vector<int> numberedColumns(const Records& r) const {
        std::vector<int> columns;
        columns.reserve(r.size());
        for (size_t i = 1; i < r.size(); ++i) {
            long n = 0;
            columns.push_back(parseCount(r[i], n, 3) && n <= kMaxFieldNumber ? static_cast<int>(n) : -1);
        }
        return columns;
    }

    template <size_t N>
    std::vector<int> namedColumns(const Records& r, const NamedField (&names)[N]) const {
        std::vector<int> columns;
        columns.reserve(r.size());
        for (size_t i = 1; i < r.size(); ++i) {
            const std::string_view name = trimmed(r[i]);
            int number = -1;
            for (const NamedField& f : names)
                if (equalsIgnoringCase(name, f.name)) number = f.number;
            columns.push_back(number);
        }
        return columns;
    }

    // The position (1-based record field) of each field number, first occurrence winning.
    static void index(const std::vector<int>& columns, std::vector<int>& at) {
        at.assign(kMaxFieldNumber + 1, -1);
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i] >= 0 && at[columns[i]] < 0) at[columns[i]] = static_cast<int>(i + 1);
    }

    void resource(const Records& r) {
        if (resourceAt_.empty()) index(resourceColumns_, resourceAt_);
        const auto value = [&](int number) { return resourceAt_[number] < 0 ? std::string_view() : r[resourceAt_[number]]; };
        long id = 0;
        if (!parseCount(value(kResourceId), id)) return;
        resources_[id] = decode(page_, value(kResourceName));
    }

    void assignment(const Records& r) {
        long resourceId = 0;
        if (!parseCount(r[1], resourceId)) return;
        double units = 1;
        std::string_view text = trimmed(r[2]);
        if (!text.empty()) {
            std::string_view rest;
            if (!parseNumber(text, settings_, units, rest)) return;
            if (trimmed(rest) == "%") units /= 100;
        }
        assignments_.push_back({*current_, resourceId, units});
    }

    // ---- tasks ----

    [[gnu::always_inline]] std::string_view value(const Records& r, int number) const {
        const int at = taskAt_[number];
        return at < 0 ? std::string_view() : r[static_cast<size_t>(at)];
    }

    TaskDetails& detailsOf(Entry& entry) {
        if (!entry.details) entry.details = pool_.make();
        return *entry.details;
    }

    [[gnu::always_inline]] void task(const Records& r) {  // once, in handle()
        if (!taskDefined_) damaged(QStringLiteral("a task comes before the task table definition (line %1)").arg(r.line()));
        if (taskAt_.empty()) index(taskColumns_, taskAt_);
        current_.reset();

        // The ID: the position; the next free one when the record has none.
        const std::string_view idText = trimmed(value(r, field::kId));
        const std::string_view levelText = trimmed(value(r, field::kOutlineLevel));
        long id = 0;
        if (idText.empty()) {
            id = levelText == "0" ? 0 : highestId_ + 1;
        } else if (!parseCount(idText, id)) {
            const bool negative = idText[0] == '-' && idText.size() > 1 &&
                                  std::all_of(idText.begin() + 1, idText.end(), isDigit);
            if (negative) damaged(QStringLiteral("a task has the negative ID %1").arg(shown(idText)));
            if (std::all_of(idText.begin(), idText.end(), isDigit))
                damaged(QStringLiteral("the task ID %1 is out of range").arg(shown(idText)));
            damaged(QStringLiteral("the task ID \"%1\" is not a number").arg(shown(idText)));
        }
        if (id > kMaxTaskId) damaged(QStringLiteral("the task ID %1 is out of range").arg(id));
        if (id == 0) {  // the project summary task: its name is the project's when no title is given
            if (summaryName_.isEmpty()) summaryName_ = decode(page_, value(r, field::kName));
            return;
        }
        highestId_ = std::max(highestId_, id);

        Entry& entry = entries_.emplace_back();
        entry.id = id;
        entry.line = r.line();
        current_ = entries_.size() - 1;
        PlanTask& out = entry.task;

        const std::string_view nameText = value(r, field::kName);
        out.name = decode(page_, nameText);
        if (out.name.contains(QChar(0x7F))) out.name.replace(QChar(0x7F), QLatin1Char('\n'));

        const std::string_view durationText = trimmed(value(r, field::kDuration));
        bool hasDuration = false;
        if (!durationText.empty()) {
            if (!parseDuration(durationText, settings_, out.durationMinutes))
                damaged(QStringLiteral("the duration of task %1 (\"%2\") cannot be read").arg(id).arg(shown(durationText)));
            hasDuration = true;
        }
        out.start = date(r, field::kStart, id, "start");
        if (!out.start.isValid()) out.start = date(r, field::kEarlyStart, id, "early start");
        out.finish = date(r, field::kFinish, id, "finish", hasDuration ? out.durationMinutes : 1);
        if (!out.finish.isValid()) out.finish = date(r, field::kEarlyFinish, id, "early finish", hasDuration ? out.durationMinutes : 1);

        // A record with nothing but its identifiers stands for a blank row.
        entry.blank = trimmed(nameText).empty() && !hasDuration && !out.start.isValid() && !out.finish.isValid();

        double level = 0;
        if (!levelText.empty() && parseWholeNumber(levelText, settings_, level) && level >= 0) entry.outlineLevel = level;
        if (details_) {
            if (stale_) forgetKept();
            taskDetails(r, entry, hasDuration);
        }
    }

    // A start or finish: as written when the file holds the time; a date alone gets the start
    // of the working day (a start, or a finish of no duration) or the end of the working day of
    // that weekday in the project's calendar (a finish).
    QDateTime date(const Records& r, int number, long id, const char* what, std::optional<double> finishDuration = {},
                   bool strict = true) {
        const std::string_view text = value(r, number);
        FileDate parsed;
        switch (parseDate(text, settings_, page_, parsed)) {
        case DateRead::Date: break;
        case DateRead::NoDate: return {};
        case DateRead::NoYear:
            if (!strict) return {};
            throw Failure(kBadFileFormat,
                          QStringLiteral("The file cannot be read: its dates are written without a year (date format %1).")
                              .arg(settings_.dateFormat));
        case DateRead::NotADate:
            if (!strict) return {};
            damaged(QStringLiteral("the %1 of task %2 (\"%3\") is not a date")
                        .arg(QLatin1String(what))
                        .arg(id)
                        .arg(shown(trimmed(text))));
        }
        int minute = parsed.minute;
        if (minute < 0) {
            minute = settings_.defaultStart;
            if (finishDuration && *finishDuration != 0) minute = endOfDay(parsed.date);
        }
        QDateTime result = wallClock(parsed.date, QTime(0, 0));
        if (minute < 24 * 60) result = result.addSecs(qint64(minute) * 60);
        return result;
    }

    // A date of the further fields, which need not be readable (nothing then). The tasks of a plan
    // share most of their dates: the last ones read are kept by their text, until a record that
    // changes how dates read (handle) forgets them.
    // The date is valid until the next call.
    const QDateTime& detailDate(const Records& r, int number, std::optional<double> finishDuration) {
        Memos& m = *memos_;
        const std::string_view text = value(r, number);
        if (noDateText(text)) return m.noDate;
        const bool lateInDay = finishDuration && *finishDuration != 0;
        for (const ReadDate* read : {&readStart_, &readFinish_})
            if (read->lateInDay == lateInDay && sameText(read->text, text)) return *read->value;
        KeptDate& kept = m.dates[keptDateIndex(text, lateInDay)];
        if (kept.generation != m.generation || kept.lateInDay != lateInDay || !sameText(kept.text, text)) {
            kept.value = date(r, number, 0, "", finishDuration, false);
            kept.text.assign(text);
            kept.lateInDay = lateInDay;
            kept.generation = m.generation;
        }
        return kept.value;
    }

    // Notes the text a start or finish was read from (`number`'s, or `otherwise`'s when that has no
    // date): the further dates of the task that repeat it are that date.
    void noteDate(ReadDate& read, const Records& r, int number, int otherwise, const QDateTime& date, bool lateInDay) {
        read = ReadDate();
        if (!date.isValid()) return;
        std::string_view text = value(r, number);
        if (noDateText(text)) text = value(r, otherwise);
        read = {text, lateInDay, &date};
    }

    // The end of the last working period of the date's weekday in the project's calendar.
    int endOfDay(const QDate& date) {
        if (!calendar_) {
            // The calendar the header names, else "Standard", else the first; chosen again when
            // calendars or the header follow tasks.
            calendar_ = calendars_.size();
            for (const QString& wanted : {projectCalendar_, QStringLiteral("Standard")}) {
                for (size_t i = 0; i < calendars_.size() && *calendar_ == calendars_.size(); ++i)
                    if (!wanted.isEmpty() && calendars_[i].name.compare(wanted, Qt::CaseInsensitive) == 0) calendar_ = i;
            }
            if (*calendar_ == calendars_.size() && !calendars_.empty()) calendar_ = 0;
        }
        if (*calendar_ >= calendars_.size()) return kDefaultEndOfDay;
        const Calendar& calendar = calendars_[*calendar_];
        const int weekday = date.dayOfWeek() % 7;  // 0 Sunday ... 6 Saturday
        if (calendar.lastEnd[weekday] >= 0) return calendar.lastEnd[weekday];
        if (calendar.dayType[weekday] == 1) return kDefaultEndOfDay;
        // A non-working day: the latest end of the week's working days.
        int latest = -1;
        for (int day = 0; day < 7; ++day) latest = std::max(latest, calendar.lastEnd[day]);
        return latest >= 0 ? latest : kDefaultEndOfDay;
    }

    // The details' functions are kept out of line: inlined, they make the compiler inline less of
    // the reading every task goes through.
    [[gnu::noinline]] void taskDetails(const Records& r, Entry& entry, bool hasDuration) {
        TaskDetails& d = detailsOf(entry);
        const PlanTask& task = entry.task;
        // The further dates repeat the start and finish most often.
        noteDate(readStart_, r, field::kStart, field::kEarlyStart, task.start, false);
        noteDate(readFinish_, r, field::kFinish, field::kEarlyFinish, task.finish,
                 (hasDuration ? task.durationMinutes : 1) != 0);
        d.id = static_cast<double>(entry.id);
        long uniqueId = 0;
        const std::string_view uniqueText = value(r, field::kUniqueId);
        if (parseCount(uniqueText, uniqueId)) d.uniqueId = static_cast<double>(uniqueId);
        else if (trimmed(uniqueText).empty()) d.uniqueId = static_cast<double>(entry.id);
        d.outlineLevel = entry.outlineLevel;
        Memos& m = *memos_;
        const auto decoded = [this](std::string_view text) { return decode(page_, trimmed(text)); };
        d.outlineNumber = m.texts.of(field::kOutlineNumber, value(r, field::kOutlineNumber), decoded);
        d.wbs = m.texts.of(field::kWbs, value(r, field::kWbs), decoded);
        d.percentComplete = m.percents.of(field::kPercentComplete, value(r, field::kPercentComplete),
                                          [this](std::string_view text) -> std::optional<double> {
                                              double number = 0;
                                              std::string_view rest;
                                              if (!parseNumber(trimmed(text), settings_, number, rest)) return {};
                                              if (!rest.empty() && trimmed(rest) != "%") return {};
                                              return number;
                                          });
        d.milestone = flagOf(r, field::kMilestone);
        d.summary = flagOf(r, field::kSummary);
        const std::optional<double> storedBaseline = durationOf(r, field::kBaselineDuration);
        const bool hasBaseline = storedBaseline.has_value();
        const double baseline = storedBaseline.value_or(0);
        if (hasBaseline) d.baselineDurationMinutes = baseline;
        d.baselineStart = detailDate(r, field::kBaselineStart, {});
        d.baselineFinish = detailDate(r, field::kBaselineFinish, hasBaseline ? baseline : 1);
        // No baseline: NA dates and a zero duration, as the .mpp files of the same plans hold it.
        if (baseline == 0 && !d.baselineStart.isValid() && !d.baselineFinish.isValid())
            d.baselineDurationMinutes.reset();
        d.actualStart = detailDate(r, field::kActualStart, {});
        d.actualFinish = detailDate(r, field::kActualFinish, task.durationMinutes == 0 ? 0 : 1);
        if (const auto cost = moneyOf(r, field::kCost)) d.cost = cost;
        if (const auto work = durationOf(r, field::kWork)) d.workMinutes = work;
        if (schedule_) scheduleFields(r, entry, d);
        if (!askedCustom_.empty()) {
            if (!customPlaced_) placeCustom();
            customFields(r, d);
        }
    }

    // The further fields' values of the current record, by field number, parsed once per text.
    std::optional<bool> flagOf(const Records& r, int number) {
        return memos_->flags.of(number, value(r, number), parseFlag);
    }
    // A duration; nothing for an empty or unreadable text.
    std::optional<double> durationOf(const Records& r, int number) {
        return memos_->durations.of(number, value(r, number), [this](std::string_view text) -> std::optional<double> {
            double minutes = 0;
            if (trimmed(text).empty() || !parseDuration(text, settings_, minutes)) return std::nullopt;
            return minutes;
        });
    }
    std::optional<double> moneyOf(const Records& r, int number) {
        return memos_->amounts.of(number, value(r, number), [this](std::string_view text) { return money(text); });
    }
    std::optional<int> wordOf(const Records& r, int number, const Word* words, std::size_t count) {
        return memos_->words.of(number, value(r, number),
                                [&](std::string_view text) { return wordValue(text, words, count); });
    }
    std::optional<int> formatOfField(const Records& r, int number) {
        return memos_->formats.of(number, value(r, number), [this](std::string_view text) { return formatOf(text); });
    }

    DurationUnits units() const {
        DurationUnits u;
        u.minutesPerDay = settings_.minutesPerDay;
        u.minutesPerWeek = settings_.minutesPerWeek;
        return u;
    }

    // The display format of a duration text ("2w", "3ed", "1d"): its unit; nothing when unreadable.
    std::optional<int> formatOf(std::string_view text) const {
        text = trimmed(text);
        if (!text.empty() && text.back() == '?') text.remove_suffix(1);
        double number = 0;
        std::string_view unit;
        if (!parseNumber(trimmed(text), settings_, number, unit)) return std::nullopt;
        return formatOfUnit(trimmed(unit));
    }

    std::optional<int> wordValue(std::string_view text, const Word* words, std::size_t count) const {
        text = trimmed(text);
        for (std::size_t i = 0; i < count; ++i)
            if (equalsIgnoringCase(text, words[i].text)) return words[i].value;
        return std::nullopt;
    }

    // Project 98, which wrote MPX, had no manual tasks, no inactive ones and no estimates
    // written to the file; it stored whether a task's duration is fixed, not its other types.
    [[gnu::noinline]] void scheduleFields(const Records& r, const Entry& entry, TaskDetails& d) {
        ScheduleFields& s = d.schedule;
        const DurationUnits u = units();
        s.totalSlackMinutes = durationOf(r, field::kTotalSlack);
        s.freeSlackMinutes = durationOf(r, field::kFreeSlack);
        s.critical = flagOf(r, field::kCritical);
        s.constraintType =
            wordOf(r, field::kConstraintType, kConstraintWords, std::size(kConstraintWords));
        if (s.constraintType)
            s.constraintDate = detailDate(r, field::kConstraintDate, {});
        s.priority = wordOf(r, field::kPriority, kPriorityWords, std::size(kPriorityWords));
        const double duration = entry.task.durationMinutes;
        s.earlyStart = detailDate(r, field::kEarlyStart, {});
        s.earlyFinish = detailDate(r, field::kEarlyFinish, duration == 0 ? 0 : 1);
        s.lateStart = detailDate(r, field::kLateStart, {});
        s.lateFinish = detailDate(r, field::kLateFinish, duration == 0 ? 0 : 1);
        if (flagOf(r, field::kFixed).value_or(false)) s.taskType = 1;
        s.manual = false;
        s.active = true;
        s.estimated = false;
        if (const auto format = formatOfField(r, field::kDuration)) {
            s.durationShown = memos_->durationTexts(duration, *format);
            s.durationDays = durationDays(duration, *format, u);
        }
        if (d.baselineDurationMinutes)
            if (const auto format = formatOfField(r, field::kBaselineDuration)) {
                s.baselineDurationShown = memos_->durationTexts(*d.baselineDurationMinutes, *format);
                s.baselineDurationDays = durationDays(*d.baselineDurationMinutes, *format, u);
            }
        predecessors(value(r, field::kPredecessors), entry.id);
    }

    // "10FS+1d,9" (German "10EA+1t"): the ID, a type, a signed lag with its unit; entries apart by
    // the list separator, which is the file's delimiter.
    void predecessors(std::string_view text, long id) {
        text = trimmed(text);
        while (!text.empty()) {
            std::size_t end = text.find(delimiter_);
            if (delimiter_ != ',' && end == std::string_view::npos) end = text.find(',');
            const std::string_view item = trimmed(text.substr(0, end));
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            std::size_t at = 0;
            while (at < item.size() && isDigit(item[at])) ++at;
            long other = 0;
            if (at == 0 || !parseCount(item.substr(0, at), other)) continue;
            PlanLink link;
            link.predecessor = other;
            link.successor = id;
            std::string_view rest = item.substr(at);
            if (rest.size() >= 2 && !isDigit(rest[0]) && rest[0] != '+' && rest[0] != '-') {
                const std::string_view type = rest.substr(0, 2);
                struct Type {
                    std::string_view letters;
                    int type;
                };
                static constexpr Type kTypes[] = {{"FF", 0}, {"FS", 1}, {"SF", 2}, {"SS", 3},
                                                  {"EE", 0}, {"EA", 1}, {"AE", 2}, {"AA", 3}};
                bool known = false;
                for (const Type& t : kTypes)
                    if (equalsIgnoringCase(type, t.letters)) link.type = t.type, known = true;
                if (!known) continue;
                rest = rest.substr(2);
            }
            rest = trimmed(rest);
            if (!rest.empty()) {
                const bool negative = rest[0] == '-';
                if (rest[0] != '+' && rest[0] != '-') continue;
                const auto format = formatOf(rest.substr(1));
                double number = 0;
                std::string_view unit;
                if (!format || !parseNumber(trimmed(rest.substr(1)), settings_, number, unit)) continue;
                const int unitCode = *format & 0x1F;
                const double tenths = unitCode == 19 || unitCode == 20 ? number : number * unitMinutes(*format, units()) * 10;
                link.lagTenths = negative ? -tenths : tenths;
                link.lagFormat = *format;
            }
            links_.push_back(link);
        }
    }

    [[gnu::noinline]] void customFields(const Records& r, TaskDetails& d) {
        const unsigned generation = memos_->generation;
        // The tasks of a plan most often hold the custom values of the task before: when the
        // record's text from the first of the fields to the last is the same, so are the values.
        std::string_view block;
        if (!placedCustom_.empty() && r.size() > lastCustomAt_ && !r.quoted(firstCustomAt_) &&
            !r.quoted(lastCustomAt_)) {
            const char* begin = r[firstCustomAt_].data();
            const std::string_view last = r[lastCustomAt_];
            block = std::string_view(begin, static_cast<std::size_t>(last.data() + last.size() - begin));
        }
        if (previousCustom_ && !block.empty() && customBlockGeneration_ == generation &&
            customBlock_.size() == block.size() && std::memcmp(customBlock_.data(), block.data(), block.size()) == 0) {
            d.custom = previousCustom_->custom;
            previousCustom_ = &d;
            return;
        }
        previousCustom_ = block.empty() ? nullptr : &d;
        customBlock_.assign(block);
        customBlockGeneration_ = generation;

        std::size_t held = 0;
        for (PlacedCustom& c : placedCustom_) {
            const std::string_view text = r[static_cast<std::size_t>(c.at)];
            if (c.generation != generation || !sameText(c.text, text)) [[unlikely]] {
                c.held = customValue(r, c, text);
                c.text.assign(text);
                c.generation = generation;
            }
            heldCustom_[held] = &c.value;
            held += c.held ? 1 : 0;
        }
        // A value only for a field that holds one, the list allocated once, at its size.
        if (held == 0) return;
        d.custom.clear();
        d.custom.reserve(held);
        for (std::size_t i = 0; i < held; ++i) d.custom.push_back(*heldCustom_[i]);
    }

    // The asked custom fields the task table holds, with their places in its records (a field it
    // does not hold has no value).
    void placeCustom() {
        placedCustom_.clear();
        placedCustom_.reserve(askedCustom_.size());
        for (const AskedCustom& c : askedCustom_) {
            const int at = taskAt_[static_cast<std::size_t>(c.field)];
            if (at < 0) continue;
            PlacedCustom& placed = placedCustom_.emplace_back();
            static_cast<AskedCustom&>(placed) = c;
            placed.at = at;
            placed.value.slot = static_cast<std::uint8_t>(c.slot);
        }
        customPlaced_ = true;
        previousCustom_ = nullptr;
        const auto [first, last] = std::minmax_element(
            placedCustom_.begin(), placedCustom_.end(),
            [](const PlacedCustom& a, const PlacedCustom& b) { return a.at < b.at; });
        if (first != placedCustom_.end()) {
            firstCustomAt_ = static_cast<std::size_t>(first->at);
            lastCustomAt_ = static_cast<std::size_t>(last->at);
        }
    }

    // Makes the value of a custom field's text in `c.value`, in the one member its kind sets: false
    // when the text holds none.
    [[gnu::noinline]] bool customValue(const Records& r, PlacedCustom& c, std::string_view text) {
        CustomValue& v = c.value;
        if (blankOnly(text)) return false;
        const auto number = [&v](const std::optional<double>& n) {
            if (n) v.number = *n;
            return n.has_value();
        };
        switch (c.kind) {
        case CustomKind::Text: v.text = decode(page_, text); return true;
        case CustomKind::Number: {
            double n = 0;
            std::string_view rest;
            if (!parseNumber(trimmed(text), settings_, n, rest) || !trimmed(rest).empty()) return false;
            v.number = n;
            return true;
        }
        case CustomKind::Cost: return number(money(text));
        case CustomKind::Flag: {
            const std::optional<bool> flag = parseFlag(text);
            if (flag) v.number = *flag ? 1 : 0;
            return flag.has_value();
        }
        case CustomKind::Duration: {
            double minutes = 0;
            if (!parseDuration(text, settings_, minutes)) return false;
            v.number = minutes;
            return true;
        }
        case CustomKind::Start:
        case CustomKind::Finish: {
            const auto finishDuration = c.kind == CustomKind::Finish ? std::optional<double>(1) : std::nullopt;
            v.date = detailDate(r, c.field, finishDuration);
            return v.date.isValid();
        }
        default: return false;
        }
    }

    // An amount of money: the currency symbol before or after the number, a minus sign or
    // parentheses for a negative amount.
    std::optional<double> money(std::string_view text) const {
        text = trimmed(text);
        if (text.empty()) return std::nullopt;
        bool negative = false;
        if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
            negative = true;
            text = trimmed(text.substr(1, text.size() - 2));
        }
        if (!text.empty() && text.front() == '-') {
            negative = !negative;
            text = trimmed(text.substr(1));
        }
        const std::string_view symbol = settings_.currencySymbol;
        if (!symbol.empty() && text.substr(0, symbol.size()) == symbol) text = trimmed(text.substr(symbol.size()));
        if (!symbol.empty() && text.size() >= symbol.size() && text.substr(text.size() - symbol.size()) == symbol)
            text = trimmed(text.substr(0, text.size() - symbol.size()));
        if (!text.empty() && text.front() == '-') {
            negative = !negative;
            text = trimmed(text.substr(1));
        }
        double value = 0;
        if (!parseWholeNumber(text, settings_, value)) return std::nullopt;
        return negative && value != 0 ? -value : value;
    }

    // ---- the plan ----

    Plan assemble() {
        // The highest ID is bounded by the task records found.
        const long bound = std::min(kMaxTaskId, std::max(kBlankRowFloor, static_cast<long>(entries_.size()) * kBlankRowsPerRecord));
        if (highestId_ > bound) damaged(QStringLiteral("the task ID %1 is out of range").arg(highestId_));

        if (details_) finishDetails();

        Plan plan;
        for (const MpxCustom& c : kMpxCustom) plan.customHeld.set(static_cast<std::size_t>(customSlot(c.kind, c.number)));
        plan.positions.resize(static_cast<size_t>(highestId_));
        std::vector<bool> seen(static_cast<size_t>(highestId_), false);
        for (Entry& entry : entries_) {
            const auto index = static_cast<size_t>(entry.id - 1);
            if (seen[index]) damaged(QStringLiteral("the task ID %1 appears twice (line %2)").arg(entry.id).arg(entry.line));
            seen[index] = true;
            if (entry.blank) continue;
            entry.task.details = std::move(entry.details);
            plan.positions[index] = std::move(entry.task);
        }
        return plan;
    }

    // What the records give only together: resource names, outline numbers, summary flags.
    void finishDetails() {
        if (schedule_ && !links_.empty()) {
            // Links name tasks by ID: the tasks they name, the first record of each ID.
            std::vector<int> entryOf(static_cast<std::size_t>(highestId_) + 1, -1);
            for (std::size_t i = 0; i < entries_.size(); ++i) {
                const auto id = static_cast<std::size_t>(entries_[i].id);
                if (!entries_[i].blank && entryOf[id] < 0) entryOf[id] = static_cast<int>(i);
            }
            std::unordered_map<long long, long> ids;
            for (const PlanLink& link : links_)
                for (const long long id : {link.predecessor, link.successor})
                    if (id >= 1 && id <= highestId_ && entryOf[static_cast<std::size_t>(id)] >= 0) ids.emplace(id, id);
            for (const auto& [id, texts] : linkTexts(links_, ids, units())) {
                const auto at = static_cast<std::size_t>(entryOf[static_cast<std::size_t>(id)]);
                ScheduleFields& s = detailsOf(entries_[at]).schedule;
                s.predecessors = texts.predecessors;
                s.successors = texts.successors;
            }
        }
        for (const Assignment& a : assignments_) {
            const auto found = resources_.find(a.resourceId);
            if (found == resources_.end() || found->second.isEmpty()) continue;
            TaskDetails& d = detailsOf(entries_[a.entry]);
            appendResourceName(d.resourceNames, found->second, a.units);
        }

        // Without an outline level column every task is on level 1; the outline number, WBS and
        // summary flag that the file leaves out are derived when the plan is finished.
        for (Entry& entry : entries_)
            if (!entry.blank && !entry.outlineLevel) detailsOf(entry).outlineLevel = 1;
        const QString project = projectTitle_.isEmpty() ? summaryName_ : projectTitle_;
        for (Entry& entry : entries_)
            if (!entry.blank) detailsOf(entry).project = project;
    }

    // Forgets the values kept of the texts read, which the records before the tasks can change.
    void forgetKept() {
        memos_->forget(units());
        stale_ = false;
    }

    bool details_;
    bool schedule_;
    bool stale_ = true;  // the kept values are to be forgotten before they are next used
    CustomSlots custom_;
    // The custom fields asked for, in the order of kMpxCustom.
    std::vector<AskedCustom> askedCustom_;
    std::vector<PlacedCustom> placedCustom_;      // those the task table holds, with their places
    bool customPlaced_ = false;                   // for the table the task records follow
    std::size_t firstCustomAt_ = 0, lastCustomAt_ = 0;  // their first and last places
    // The details of the task before and its records' text from the first custom field to the last,
    // unless quotes made it other than the fields.
    const TaskDetails* previousCustom_ = nullptr;
    std::string customBlock_;
    unsigned customBlockGeneration_ = 0;
    std::vector<const CustomValue*> heldCustom_;  // the values of the task being read
    struct KeptDate {
        std::string text;
        bool lateInDay = false;
        unsigned generation = 0;  // kept for the memos' generation of this number
        QDateTime value;
    };
    struct Memos {
        std::array<KeptDate, 1 << kKeptDateBits> dates;
        unsigned generation = 1;
        const QDateTime noDate;
        DurationTexts durationTexts;
        LastValues<std::optional<bool>> flags;
        LastValues<std::optional<double>> durations, amounts, percents;
        LastValues<std::optional<int>> words, formats;
        LastValues<QString> texts;
        void forget(const DurationUnits& units) {
            ++generation;
            durationTexts = DurationTexts(units);
            flags.forget();
            durations.forget();
            amounts.forget();
            percents.forget();
            words.forget();
            formats.forget();
            texts.forget();
        }
    };
    std::unique_ptr<Memos> memos_;  // with details
    // The start and finish of the task whose details are read, and the texts they were read from.
    ReadDate readStart_, readFinish_;
    DetailsPool pool_;
    // The links as field 70 lists them, task by task: the predecessor's and the successor's ID.
    std::vector<PlanLink> links_;
    char delimiter_ = ',';
    CodePage page_ = CodePage::Windows1252;
    QString projectTitle_, summaryName_;
    Settings settings_;
    std::vector<Calendar> calendars_;
    QString projectCalendar_;
    std::optional<size_t> calendar_;  // index into calendars_; calendars_.size() for none

    std::vector<int> taskColumns_, taskAt_;
    bool taskDefined_ = false, taskNumbered_ = false;
    std::vector<int> resourceColumns_, resourceAt_;
    bool resourceNumbered_ = false;
    std::map<long, QString> resources_;

    std::vector<Entry> entries_;
    std::vector<Assignment> assignments_;
    std::optional<size_t> current_;
    long highestId_ = 0;
};

}  // namespace

bool isMpxFile(const QByteArray& head) {
    if (head.size() < 4 || !head.startsWith("MPX")) return false;
    const char c = head[3];
    const auto u = static_cast<unsigned char>(c);
    return c == '\t' || (u > 0x20 && u < 0x7F && c != '"' && !isDigit(c) && !isLetter(c));
}

Plan readMpx(const QByteArray& bytes, const ReadOptions& options) {
    Plan plan = Reader(options).read(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    finishPlan(plan, options);
    return plan;
}

}  // namespace quorrix::importer::plans
