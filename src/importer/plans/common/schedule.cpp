#include "importer/plans/common/schedule.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace quorrix::importer::plans {
namespace {

struct UnitFacts {
    const char* one;
    const char* many;
    const char* shortName;
};

// Indexed by the low five bits, 3 … 20.
const UnitFacts* unitFacts(int unit) {
    static const UnitFacts kUnits[] = {
        {"min", "mins", "m"},    {"emin", "emins", "em"}, {"hr", "hrs", "h"},     {"ehr", "ehrs", "eh"},
        {"day", "days", "d"},    {"eday", "edays", "ed"}, {"wk", "wks", "w"},     {"ewk", "ewks", "ew"},
        {"mon", "mons", "mo"},   {"emon", "emons", "emo"},
    };
    if (unit >= 3 && unit <= 12) return &kUnits[unit - 3];
    return nullptr;
}

int unitOf(int format, const DurationUnits& units) {
    int unit = format & 0x1F;
    if (unit == kDefaultFormat) unit = units.defaultFormat & 0x1F;
    if (unit == kDefaultFormat || (!unitFacts(unit) && unit != 19 && unit != 20)) unit = 7;
    return unit;
}

// Two decimals, halves away from zero, no trailing zeros.
QString shortNumber(double value) {
    const double rounded = std::round(value * 100) / 100;
    QString text = QString::number(rounded, 'f', 2);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    if (text == QLatin1String("-0")) text = QStringLiteral("0");
    return text;
}

// shortNumber written at `out` (at least 20 characters): the characters written, or -1 when the
// value is too large or not a number. Below 10^12 the hundredths are a whole number a double holds
// exactly, and the digits written from it are those QString::number gives.
int writeShortNumber(double value, char* out) {
    const double hundredths = std::round(value * 100);
    if (!(std::fabs(hundredths) < 1e14)) return -1;
    long long n = static_cast<long long>(hundredths);
    int at = 0;
    if (n < 0) {
        out[at++] = '-';
        n = -n;
    }
    char digits[20];
    int count = 0;
    long long whole = n / 100;
    do {
        digits[count++] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    while (count > 0) out[at++] = digits[--count];
    const int fraction = static_cast<int>(n % 100);
    if (fraction != 0) {
        out[at++] = '.';
        out[at++] = static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) out[at++] = static_cast<char>('0' + fraction % 10);
    }
    return at;
}

// durationText of an amount too large for writeShortNumber.
QString slowDurationText(double amount, int format, int unit, bool shortForm) {
    const QString estimate = (format & kEstimatedBit) ? QStringLiteral("?") : QString();
    const QString number = shortNumber(amount);
    if (unit == 19 || unit == 20) return number + (unit == 20 ? QStringLiteral("e%") : QStringLiteral("%")) + estimate;
    const UnitFacts& f = *unitFacts(unit);
    if (shortForm) return number + QLatin1String(f.shortName) + estimate;
    return number + QLatin1Char(' ') + QLatin1String(number == QLatin1String("1") ? f.one : f.many) + estimate;
}

const char* typeLetters(int type) {
    switch (type) {
    case 0: return "FF";
    case 2: return "SF";
    case 3: return "SS";
    default: return "FS";
    }
}

}  // namespace

double unitMinutes(int format, const DurationUnits& units) {
    switch (unitOf(format, units)) {
    case 3:
    case 4: return 1;
    case 5:
    case 6: return 60;
    case 7: return units.minutesPerDay;
    case 8: return 1440;
    case 9: return units.minutesPerWeek;
    case 10: return 10080;
    case 11: return units.minutesPerDay * units.daysPerMonth;
    case 12: return 43200;
    default: return 0;
    }
}

QString durationText(double minutes, int format, const DurationUnits& units, bool shortForm) {
    const int unit = unitOf(format, units);
    char text[48];
    int at = 0;
    const auto add = [&](const char* part) {
        for (; *part; ++part) text[at++] = *part;
    };
    const bool percent = unit == 19 || unit == 20;
    const double size = percent ? 0 : unitMinutes(format, units);
    const double amount = percent ? minutes : size > 0 ? minutes / size : 0;
    at = writeShortNumber(amount, text);
    if (at < 0) return slowDurationText(amount, format, unit, shortForm);
    if (percent) {
        add(unit == 20 ? "e%" : "%");
    } else {
        const UnitFacts& f = *unitFacts(unit);
        if (shortForm) {
            add(f.shortName);
        } else {
            const bool one = at == 1 && text[0] == '1';
            text[at++] = ' ';
            add(one ? f.one : f.many);
        }
    }
    if (format & kEstimatedBit) text[at++] = '?';
    return QString::fromLatin1(text, at);
}

QString DurationTexts::operator()(double minutes, int format) {
    quint64 bits;
    std::memcpy(&bits, &minutes, sizeof bits);
    const quint64 hash = (bits ^ (bits >> 29) ^ (quint64(format) << 7)) * 0x9E3779B97F4A7C15ull;
    Kept& kept = kept_[hash >> (64 - kBits)];
    // The bits compared, not the values: 0 and -0, and NaN, are told apart as the text does.
    quint64 keptBits;
    std::memcpy(&keptBits, &kept.minutes, sizeof keptBits);
    if (kept.format != format || keptBits != bits) {
        kept.text = durationText(minutes, format, units_, shortForm_);
        kept.minutes = minutes;
        kept.format = format;
    }
    return kept.text;
}

double durationDays(double minutes, int format, const DurationUnits& units) {
    const int unit = unitOf(format, units);
    const bool elapsed = unit == 4 || unit == 6 || unit == 8 || unit == 10 || unit == 12;
    const double day = elapsed ? 1440 : units.minutesPerDay;
    return day > 0 ? minutes / day : 0;
}

std::unordered_map<long long, LinkTexts> linkTexts(const std::vector<PlanLink>& links,
                                                   const std::unordered_map<long long, long>& idOfUnique,
                                                   const DurationUnits& units, bool shortForm) {
    std::unordered_map<long long, LinkTexts> out;
    if (links.empty()) return out;
    out.reserve(std::min(links.size() * 2, idOfUnique.size()));
    // Appends one task's entry to a list: the task (`other`, else the ID), the type, the lag.
    const auto append = [&](QString& list, const QString* other, long id, const PlanLink& link) {
        if (!list.isEmpty()) list += QLatin1Char(',');
        if (other) {
            list += *other;
        } else {
            char digits[24];
            const auto written = std::to_chars(digits, digits + sizeof digits, id);
            list += QLatin1StringView(digits, written.ptr);
        }
        if (link.type != 1 || link.lagTenths != 0) list += QLatin1StringView(typeLetters(link.type));
        if (link.lagTenths != 0) {
            const int unit = link.lagFormat & 0x1F;
            // A percentage lag is stored as the percentage itself.
            const double amount = (unit == 19 || unit == 20) ? link.lagTenths : link.lagTenths / 10;
            list += amount < 0 ? QLatin1Char('-') : QLatin1Char('+');
            list += durationText(std::fabs(amount), link.lagFormat, units, shortForm);
        }
    };
    for (const PlanLink& link : links) {
        const auto to = idOfUnique.find(link.successor);
        if (to == idOfUnique.end()) continue;
        if (!link.otherPlanTask.isEmpty()) {
            append(out[link.successor].predecessors, &link.otherPlanTask, 0, link);
            continue;
        }
        if (link.predecessor == link.successor) continue;
        const auto from = idOfUnique.find(link.predecessor);
        if (from == idOfUnique.end()) continue;
        append(out[link.successor].predecessors, nullptr, from->second, link);
        append(out[link.predecessor].successors, nullptr, to->second, link);
    }
    return out;
}

bool isCritical(const CriticalFacts& f) {
    if (f.complete) return false;
    if (f.totalSlackTenths > f.slackLimitTenths) return false;
    if (f.manual && !f.linked && f.estimated) return false;
    return true;
}

QString constraintTypeName(int type) {
    static const char* const kNames[] = {"As Soon As Possible",   "As Late As Possible",    "Must Start On",
                                         "Must Finish On",        "Start No Earlier Than",  "Start No Later Than",
                                         "Finish No Earlier Than", "Finish No Later Than"};
    if (type < 0 || type > 7) return {};
    return QString::fromLatin1(kNames[type]);
}

QString taskTypeName(int type) {
    switch (type) {
    case 0: return QStringLiteral("Fixed Units");
    case 1: return QStringLiteral("Fixed Duration");
    case 2: return QStringLiteral("Fixed Work");
    default: return {};
    }
}

}  // namespace quorrix::importer::plans
