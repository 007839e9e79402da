#include "importer/plans/common/schedule.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

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

// Two decimals, halves away from zero, no trailing zeros, appended to `out`.
void appendShortNumber(std::string& out, double value) {
    const double hundredths = std::round(value * 100);
    if (std::fabs(hundredths) < 1e12) {
        // Written from the whole hundredths: the same digits as the two-decimal form, without its cost.
        const long long whole = std::llabs(static_cast<long long>(hundredths));
        if (hundredths < 0) out += '-';
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, whole / 100).ptr);
        if (const int cents = static_cast<int>(whole % 100)) {
            out += '.';
            out += static_cast<char>('0' + cents / 10);
            if (cents % 10) out += static_cast<char>('0' + cents % 10);
        }
        return;
    }
    QString text = QString::number(hundredths / 100, 'f', 2);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    if (text == QLatin1String("-0")) text = QStringLiteral("0");
    out += text.toStdString();
}

QString typeLetters(int type) {
    switch (type) {
    case 0: return QStringLiteral("FF");
    case 2: return QStringLiteral("SF");
    case 3: return QStringLiteral("SS");
    default: return QStringLiteral("FS");
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
    std::string text;
    if (unit == 19 || unit == 20) {
        appendShortNumber(text, minutes);
        text += unit == 20 ? "e%" : "%";
    } else {
        const double size = unitMinutes(format, units);
        appendShortNumber(text, size > 0 ? minutes / size : 0);
        const UnitFacts& f = *unitFacts(unit);
        if (shortForm) {
            text += f.shortName;
        } else {
            const bool one = text == "1";
            text += ' ';
            text += one ? f.one : f.many;
        }
    }
    if (format & kEstimatedBit) text += '?';
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
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
    out.reserve(links.size());
    const auto entry = [&](const QString& task, const PlanLink& link) {
        QString text = task;
        if (link.type != 1 || link.lagTenths != 0) text += typeLetters(link.type);
        if (link.lagTenths != 0) {
            const int unit = link.lagFormat & 0x1F;
            // A percentage lag is stored as the percentage itself.
            const double amount = (unit == 19 || unit == 20) ? link.lagTenths : link.lagTenths / 10;
            text += (amount < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
                    durationText(std::fabs(amount), link.lagFormat, units, shortForm);
        }
        return text;
    };
    const auto append = [](QString& list, const QString& item) {
        if (!list.isEmpty()) list += QLatin1Char(',');
        list += item;
    };
    for (const PlanLink& link : links) {
        const auto to = idOfUnique.find(link.successor);
        if (to == idOfUnique.end()) continue;
        if (!link.otherPlanTask.isEmpty()) {
            append(out[link.successor].predecessors, entry(link.otherPlanTask, link));
            continue;
        }
        if (link.predecessor == link.successor) continue;
        const auto from = idOfUnique.find(link.predecessor);
        if (from == idOfUnique.end()) continue;
        append(out[link.successor].predecessors, entry(QString::number(from->second), link));
        append(out[link.predecessor].successors, entry(QString::number(to->second), link));
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
