#include "importer/plans/common/schedule.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
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

namespace {

// A duration in the unit of its format: the unit, and the amount in it (a percentage as it is).
struct Amount {
    int unit;
    double amount;
};

Amount amountOf(double minutes, int format, const DurationUnits& units) {
    const int unit = unitOf(format, units);
    if (unit == 19 || unit == 20) return {unit, minutes};
    const double size = unitMinutes(format, units);
    return {unit, size > 0 ? minutes / size : 0};
}

// durationText of `a` written at `text` (at least 48 characters): the characters written, or -1
// for an amount too large for writeShortNumber (slowDurationText's).
int writeDurationText(const Amount& a, int format, bool shortForm, char* text) {
    int at = writeShortNumber(a.amount, text);
    if (at < 0) return -1;
    const auto add = [&](const char* part) {
        for (; *part; ++part) text[at++] = *part;
    };
    if (a.unit == 19 || a.unit == 20) {
        add(a.unit == 20 ? "e%" : "%");
    } else {
        const UnitFacts& f = *unitFacts(a.unit);
        if (shortForm) {
            add(f.shortName);
        } else {
            const bool one = at == 1 && text[0] == '1';
            text[at++] = ' ';
            add(one ? f.one : f.many);
        }
    }
    if (format & kEstimatedBit) text[at++] = '?';
    return at;
}

}  // namespace

QString durationText(double minutes, int format, const DurationUnits& units, bool shortForm) {
    char text[48];
    const Amount a = amountOf(minutes, format, units);
    const int length = writeDurationText(a, format, shortForm, text);
    return length >= 0 ? QString::fromLatin1(text, length) : slowDurationText(a.amount, format, a.unit, shortForm);
}

QString DurationTexts::operator()(double minutes, int format) {
    quint64 bits;
    std::memcpy(&bits, &minutes, sizeof bits);
    const quint64 hash = (bits ^ (bits >> 29) ^ (quint64(format) << 7)) * 0x9E3779B97F4A7C15ull;
    return kept_.get({bits, format}, hash, [&] { return durationText(minutes, format, units_, shortForm_); });
}

double durationDays(double minutes, int format, const DurationUnits& units) {
    const int unit = unitOf(format, units);
    const bool elapsed = unit == 4 || unit == 6 || unit == 8 || unit == 10 || unit == 12;
    const double day = elapsed ? 1440 : units.minutesPerDay;
    return day > 0 ? minutes / day : 0;
}

LinkTextTable::const_iterator LinkTextTable::find(long long uniqueId) const {
    const auto at = index_.find(uniqueId);
    return at == index_.end() ? entries_.end() : entries_.begin() + static_cast<std::ptrdiff_t>(at->second);
}

const LinkTexts& LinkTextTable::at(long long uniqueId) const {
    const auto found = find(uniqueId);
    if (found == end()) throw std::out_of_range("no links of this task");
    return found->second;
}

LinkTextTable linkTexts(const std::vector<PlanLink>& links, const std::unordered_map<long long, long>& idOfUnique,
                        const DurationUnits& units, bool shortForm) {
    // Each task at either end of a link gets a place, in the order met.
    std::unordered_map<long long, std::size_t> index;
    std::vector<long long> uniqueIds;
    std::vector<long> ids;
    const auto place = [&](long long uniqueId) -> long long {
        const auto id = idOfUnique.find(uniqueId);
        if (id == idOfUnique.end()) return -1;
        const auto [at, added] = index.try_emplace(uniqueId, ids.size());
        if (added) {
            uniqueIds.push_back(uniqueId);
            ids.push_back(id->second);
        }
        return static_cast<long long>(at->second);
    };
    std::vector<PlanLink> placed = links;
    for (PlanLink& link : placed) {
        link.successor = place(link.successor);
        if (link.otherPlanTask.isEmpty()) link.predecessor = place(link.predecessor);
    }
    std::vector<LinkTexts> texts = linkTexts(placed, ids, units, shortForm);
    std::vector<LinkTextTable::value_type> entries;
    std::unordered_map<long long, std::size_t> linked;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        if (texts[k].predecessors.isEmpty() && texts[k].successors.isEmpty()) continue;
        linked.emplace(uniqueIds[k], entries.size());
        entries.emplace_back(uniqueIds[k], std::move(texts[k]));
    }
    return LinkTextTable(std::move(entries), std::move(linked));
}

// The texts are many and short: each entry of a list is written once into one buffer, and each
// list becomes a text of its final size, filled in link-table order.
std::vector<LinkTexts> linkTexts(const std::vector<PlanLink>& links, const std::vector<long>& ids,
                                 const DurationUnits& units, bool shortForm) {
    struct Entry {
        std::size_t list;  // 2 * the task's place, + 1 for its successors
        std::size_t link;
        std::size_t at;  // its characters in `written`, after the other plan's task for such a link
        std::size_t length;
    };
    std::vector<LinkTexts> texts(ids.size());
    for (std::size_t k = 0; k < ids.size(); ++k) texts[k].id = ids[k];
    std::vector<Entry> entries;
    entries.reserve(links.size() * 2);
    std::string written;
    written.reserve(links.size() * 8);
    // Adds an entry to a task's list: the other task's ID (none for another plan's task), the type, the lag.
    const auto add = [&](std::size_t list, std::size_t link, const long* other) {
        const PlanLink& l = links[link];
        const std::size_t start = written.size();
        char text[48];
        int at = 0;
        if (other) at = static_cast<int>(std::to_chars(text, text + 24, *other).ptr - text);
        if (l.type != 1 || l.lagTenths != 0) {
            const char* letters = typeLetters(l.type);
            text[at++] = letters[0];
            text[at++] = letters[1];
        }
        written.append(text, static_cast<std::size_t>(at));
        if (l.lagTenths != 0) {
            const int unit = l.lagFormat & 0x1F;
            // A percentage lag is stored as the percentage itself.
            const double amount = (unit == 19 || unit == 20) ? l.lagTenths : l.lagTenths / 10;
            written += amount < 0 ? '-' : '+';
            const Amount a = amountOf(std::fabs(amount), l.lagFormat, units);
            const int length = writeDurationText(a, l.lagFormat, shortForm, text);
            if (length >= 0) written.append(text, static_cast<std::size_t>(length));
            else written += slowDurationText(a.amount, l.lagFormat, a.unit, shortForm).toStdString();
        }
        entries.push_back({list, link, start, written.size() - start});
    };
    const auto task = [&](long long place) { return place >= 0 && static_cast<std::size_t>(place) < ids.size(); };
    for (std::size_t k = 0; k < links.size(); ++k) {
        const PlanLink& link = links[k];
        if (!task(link.successor)) continue;
        const auto to = static_cast<std::size_t>(link.successor);
        if (!link.otherPlanTask.isEmpty()) {
            add(to * 2, k, nullptr);
            continue;
        }
        if (link.predecessor == link.successor || !task(link.predecessor)) continue;
        const auto from = static_cast<std::size_t>(link.predecessor);
        add(to * 2, k, &ids[from]);
        add(from * 2 + 1, k, &ids[to]);
    }
    // The size of each list, its text, then its entries written where they go.
    const auto otherTask = [&](const Entry& e) -> const QString& { return links[e.link].otherPlanTask; };
    std::vector<qsizetype> sizes(ids.size() * 2, -1);  // -1: no entry, then a comma before each further one
    for (const Entry& e : entries)
        sizes[e.list] += 1 + static_cast<qsizetype>(e.length) + (e.list % 2 ? 0 : otherTask(e).size());
    std::vector<char16_t*> next(sizes.size(), nullptr);
    for (std::size_t list = 0; list < sizes.size(); ++list) {
        if (sizes[list] < 0) continue;
        QString& text = list % 2 ? texts[list / 2].successors : texts[list / 2].predecessors;
        text = QString(sizes[list], Qt::Uninitialized);
        next[list] = reinterpret_cast<char16_t*>(text.data());
        sizes[list] = -1;  // now: before the first entry
    }
    for (const Entry& e : entries) {
        char16_t*& out = next[e.list];
        if (sizes[e.list]++ >= 0) *out++ = u',';
        if (e.list % 2 == 0 && !otherTask(e).isEmpty()) {
            const QString& other = otherTask(e);
            out = std::copy_n(reinterpret_cast<const char16_t*>(other.constData()), other.size(), out);
        }
        for (std::size_t i = e.at; i < e.at + e.length; ++i)
            *out++ = static_cast<char16_t>(static_cast<unsigned char>(written[i]));
    }
    return texts;
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
