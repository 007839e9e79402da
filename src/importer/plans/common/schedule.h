#pragma once

#include <QString>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "importer/plans/common/kept_values.h"

namespace quorrix::importer::plans {

// What turns a plan's minutes into the units its author reads.
struct DurationUnits {
    double minutesPerDay = 480;
    double minutesPerWeek = 2400;
    double daysPerMonth = 20;
    int defaultFormat = 7;  // days
};

// Display-format codes of durations and lags: the low five bits name the unit, bit 0x20 marks
// an estimate.
inline constexpr int kEstimatedBit = 0x20;
inline constexpr int kDefaultFormat = 21;

// The text the project application shows for a duration: "5 days", "1 day", "2 wks",
// "3 edays", "0.5 hrs", "4 days?". The short form of older plans has no space and no plural
// ("1d", "0.13d", "3ed").
QString durationText(double minutes, int format, const DurationUnits& units, bool shortForm = false);
// durationText for the many durations of a plan, which repeat: the last texts made are kept by
// minutes and format, so that a repeated one is a copy of the text.
class DurationTexts {
public:
    explicit DurationTexts(const DurationUnits& units = {}, bool shortForm = false)
        : units_(units), shortForm_(shortForm) {}
    QString operator()(double minutes, int format);

private:
    // The minutes' bits rather than their value: 0 and -0, and NaN, are told apart as the text does.
    struct Key {
        quint64 minutesBits = 0;
        int format = 0;
        bool operator==(const Key&) const = default;
    };
    DurationUnits units_;
    bool shortForm_;
    KeptValues<Key, QString, 5> kept_;
};

// A duration in days: working days by the plan's minutes per day, elapsed days for an elapsed format.
double durationDays(double minutes, int format, const DurationUnits& units);
// The minutes of one unit of the format (elapsed units in calendar minutes); 0 for a percentage.
double unitMinutes(int format, const DurationUnits& units);

// One link between two tasks of a plan, as its link table holds it.
struct PlanLink {
    long long predecessor = 0;  // unique IDs
    long long successor = 0;
    int type = 1;               // 0 FF, 1 FS, 2 SF, 3 SS
    double lagTenths = 0;       // tenths of a minute (of a percent for percentage formats)
    int lagFormat = 7;
    // A predecessor in another plan: that plan's path and the task's ID ("C:\\Plans\\b.mpp\\5"), which
    // stands in its Predecessors text for the ID; `predecessor` is then of no account.
    QString otherPlanTask;
};

// The Predecessors and Successors texts of every linked task, keyed by unique ID: the other
// task's ID, its type when not FS or the lag not zero, the lag in its own format ("3",
// "5SS-1 day", "7FF+50%"), in link-table order, comma-separated. Links whose ends are not both
// tasks of `idOfUnique`, or are the same task, are left out, but for a predecessor in another
// plan, shown by its plan and ID.
struct LinkTexts {
    QString predecessors;
    QString successors;
    long id = 0;  // the task's own ID
};
// The texts of the linked tasks, looked up as in a map.
class LinkTextTable {
public:
    using value_type = std::pair<long long, LinkTexts>;
    using const_iterator = std::vector<value_type>::const_iterator;

    LinkTextTable() = default;
    // `index` gives each task's place in `entries`.
    LinkTextTable(std::vector<value_type> entries, std::unordered_map<long long, std::size_t> index)
        : entries_(std::move(entries)), index_(std::move(index)) {}
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    const_iterator find(long long uniqueId) const;
    std::size_t count(long long uniqueId) const { return find(uniqueId) == end() ? 0 : 1; }
    const LinkTexts& at(long long uniqueId) const;  // throws std::out_of_range for a task without links

private:
    std::vector<value_type> entries_;
    std::unordered_map<long long, std::size_t> index_;
};
LinkTextTable linkTexts(const std::vector<PlanLink>& links, const std::unordered_map<long long, long>& idOfUnique,
                        const DurationUnits& units, bool shortForm = false);
// The same for links whose ends are places in `ids`, which holds each task's ID, rather than
// unique IDs: an end outside it is no task of the plan. The texts of each place, by place.
std::vector<LinkTexts> linkTexts(const std::vector<PlanLink>& links, const std::vector<long>& ids,
                                 const DurationUnits& units, bool shortForm = false);

// Critical, for plans that do not store it: not when complete, not when the total slack exceeds the
// critical slack limit, not for a manual, unlinked task with an estimated duration; otherwise critical.
struct CriticalFacts {
    bool complete = false;
    double totalSlackTenths = 0;
    double slackLimitTenths = 0;
    bool manual = false;
    bool linked = false;
    bool estimated = false;
};
bool isCritical(const CriticalFacts& facts);

// The project application's words for a constraint type (0 … 7), a task type (0 … 2).
QString constraintTypeName(int type);
QString taskTypeName(int type);

}  // namespace quorrix::importer::plans
