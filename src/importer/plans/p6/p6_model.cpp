#include "importer/plans/p6/p6_model.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <unordered_set>

#include "importer/plans/common/details_pool.h"
#include "importer/plans/common/kept_values.h"
#include "importer/plans/common/plan_file.h"
#include "importer/plans/common/resource_names.h"
#include "importer/plans/common/schedule.h"

namespace quorrix::importer::plans::p6 {

namespace {

// Base calendars are followed this far (P6 has one level).
constexpr int kMaxBaseDepth = 16;
// The days with times of their own that the calendars in use may hold together, their base
// calendars' included.
constexpr std::size_t kMaxCalendarDays = 4'000'000;

// P6's names of constraints and relationship types in its two formats, and the project
// application's codes for them. Mandatory dates are the project application's "must" constraints.
const struct {
    const char* xml;
    const char* xer;
    int type;
} kConstraints[] = {
    {"As Late As Possible", "CS_ALAP", 1},       {"Start On", "CS_MSO", 2},
    {"Finish On", "CS_MEO", 3},                  {"Start On or After", "CS_MSOA", 4},
    {"Start On or Before", "CS_MSOB", 5},        {"Finish On or After", "CS_MEOA", 6},
    {"Finish On or Before", "CS_MEOB", 7},       {"Mandatory Start", "CS_MANDSTART", 2},
    {"Mandatory Finish", "CS_MANDFIN", 3},
};
const struct {
    const char* xml;
    const char* xer;
    int type;
} kLinkTypes[] = {
    {"Finish to Finish", "PR_FF", 0},
    {"Finish to Start", "PR_FS", 1},
    {"Start to Finish", "PR_SF", 2},
    {"Start to Start", "PR_SS", 3},
};
const struct {
    const char* xml;
    const char* xer;
    CustomKind kind;
} kUdfKinds[] = {
    {"Text", "FT_TEXT", CustomKind::Text},           {"Integer", "FT_INT", CustomKind::Number},
    {"Double", "FT_FLOAT_2_DECIMALS", CustomKind::Number}, {"Cost", "FT_MONEY", CustomKind::Cost},
    {"Start Date", "FT_START_DATE", CustomKind::Start},   {"Finish Date", "FT_END_DATE", CustomKind::Finish},
};

std::string_view withoutSpaces(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.front() == '\n' || t.front() == '\r'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\n' || t.back() == '\r'))
        t.remove_suffix(1);
    return t;
}

}  // namespace

int constraintTypeOf(std::string_view name) {
    name = withoutSpaces(name);
    if (name.empty() || name == "None") return -1;
    for (const auto& c : kConstraints)
        if (name == c.xml || name == c.xer) return c.type;
    return -2;
}

int linkTypeOf(std::string_view name) {
    // XER's own names first: every relationship row has one.
    if (name.size() == 5 && name.substr(0, 3) == "PR_")
        for (const auto& l : kLinkTypes)
            if (name[3] == l.xer[3] && name[4] == l.xer[4]) return l.type;
    name = withoutSpaces(name);
    if (name.empty()) return 1;  // none given: finish to start
    for (const auto& l : kLinkTypes)
        if (name == l.xml || name == l.xer) return l.type;
    return -1;
}

std::optional<CustomKind> udfKindOf(std::string_view dataType) {
    dataType = withoutSpaces(dataType);
    for (const auto& u : kUdfKinds)
        if (dataType == u.xml || dataType == u.xer) return u.kind;
    return std::nullopt;
}

void assignUdfSlots(std::vector<UdfType>& types) {
    std::array<int, kCustomKindCount> used{};
    for (UdfType& t : types) {
        if (!t.kind) continue;
        int& n = used[static_cast<std::size_t>(*t.kind)];
        if (n < customFieldsOf(*t.kind)) t.slot = customSlot(*t.kind, ++n);
    }
}

namespace {

double rounded(double value, double scale) {
    const double r = std::round(value * scale) / scale;
    return r == 0 ? 0 : r;  // no negative zero
}
// Hours as minutes; hundredths of a minute are noise from the stored decimal hours.
double minutesOf(double hours) { return rounded(hours * 60, 100); }
double orZero(double v) { return given(v) ? v : 0; }

Minutes firstOf(std::initializer_list<Minutes> dates) {
    for (const Minutes m : dates)
        if (m != kNoDate) return m;
    return kNoDate;
}

void takeEarlier(Minutes& into, Minutes m) {
    if (m != kNoDate && (into == kNoDate || m < into)) into = m;
}
void takeLater(Minutes& into, Minutes m) {
    if (m != kNoDate && (into == kNoDate || m > into)) into = m;
}

// Activity IDs compared by their UTF-16 code units, empty ones last: <0, 0 or >0.
int compareCodes(const QString& a, const QString& b) {
    if (a.isEmpty() != b.isEmpty()) return a.isEmpty() ? 1 : -1;
    const ushort* x = a.utf16();
    const ushort* y = b.utf16();
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i)
        if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

QString keyText(Key k) { return QString::number(k); }

// The calendars of the file, made ready for arithmetic when first used.
class Calendars {
public:
    Calendars(std::vector<Calendar>& list, const Reporter& reporter) : list_(list), reporter_(reporter) {
        for (std::size_t i = 0; i < list_.size(); ++i) {
            Calendar& c = list_[i];
            for (Exception& e : c.times.exceptions) e.periods = normalised(std::move(e.periods));
            if (c.id != kNoKey) index_.emplace(c.id, i);  // the first of an ID counts
            if (c.isDefault && !fallback_) fallback_ = i + 1;
        }
    }

    // Nothing when the file holds no such calendar.
    const WorkCalendar* find(Key id) {
        const auto at = index_.find(id);
        if (at == index_.end()) return nullptr;
        return &ready(at->second);
    }

    // The calendar of a project's activities that name none.
    const WorkCalendar& projectDefault(const Project& p) {
        if (const WorkCalendar* own = p.calendar != kNoKey ? find(p.calendar) : nullptr) return *own;
        if (fallback_) return ready(fallback_ - 1);
        return builtIn_;
    }

private:
    const WorkCalendar& ready(std::size_t i) {
        auto& slot = ready_[i];
        if (slot) return *slot;
        std::vector<const WorkTimes*> bases;
        std::unordered_set<std::size_t> seen{i};
        for (Key base = list_[i].base; base != kNoKey && bases.size() < kMaxBaseDepth;) {
            const auto at = index_.find(base);
            if (at == index_.end() || !seen.insert(at->second).second) break;
            bases.push_back(&list_[at->second].times);
            base = list_[at->second].base;
        }
        slot = std::make_unique<WorkCalendar>(list_[i].times, bases);
        days_ += slot->exceptionCount();
        if (days_ > kMaxCalendarDays) reporter_.damaged(QStringLiteral("its calendars hold too many days of their own"));
        return *slot;
    }

    std::vector<Calendar>& list_;
    const Reporter& reporter_;
    std::unordered_map<Key, std::size_t> index_;
    std::unordered_map<std::size_t, std::unique_ptr<WorkCalendar>> ready_;
    std::size_t fallback_ = 0;  // 1 + the index of the first default calendar
    std::size_t days_ = 0;
    WorkCalendar builtIn_;
};

// The values of an activity's row.
struct Values {
    Minutes start = kNoDate, finish = kNoDate;
    double duration = 0;
    const WorkCalendar* calendar = nullptr;
    Minutes actualStart = kNoDate, actualFinish = kNoDate;
    Minutes baselineStart = kNoDate, baselineFinish = kNoDate;
    double baselineDuration = kNone;
    double percent = 0;
    double work = 0;
};

// P6's At Completion Duration: actual + remaining, the actual part by the activity's calendar
// up to its finish or, while it is in progress, to the project's data date.
double computedDuration(const Activity& a, const Project& p, const WorkCalendar& calendar) {
    const double remaining = a.progress == Progress::Completed || a.actualFinish != kNoDate ? 0 : orZero(a.remainingDuration) * 60;
    if (a.actualStart == kNoDate) return remaining;
    Minutes end = firstOf({a.actualFinish, p.dataDate, a.remainingStart});
    if (end == kNoDate) return remaining;
    end = std::max(end, a.actualStart);
    double actual = static_cast<double>(calendar.work(a.actualStart, end));
    if (a.suspend != kNoDate && a.suspend < end) {
        actual = static_cast<double>(calendar.work(a.actualStart, std::max(a.suspend, a.actualStart)));
        if (a.resume != kNoDate && a.resume < end) actual += static_cast<double>(calendar.work(a.resume, end));
    }
    return actual + remaining;
}

double percentComplete(const Activity& a) {
    if (given(a.percentComplete)) return rounded(a.percentComplete * 100, 100);
    switch (a.percentType) {
    case PercentType::Physical: return rounded(orZero(a.physicalPercent), 100);
    case PercentType::Units: {
        const double done = orZero(a.actualLabor) + orZero(a.actualNonLabor);
        const double left = orZero(a.remainingLabor) + orZero(a.remainingNonLabor);
        return done == 0 || done + left == 0 ? 0 : rounded(done / (done + left) * 100, 100);
    }
    case PercentType::Duration: break;
    }
    const double planned = orZero(a.plannedDuration), remaining = orZero(a.remainingDuration);
    if (planned == 0) return remaining == 0 && a.progress == Progress::Completed ? 100 : 0;
    return remaining < planned ? rounded((planned - remaining) / planned * 100, 100) : 0;
}

// What a summary row gathers from the activities below it.
struct Rollup {
    Minutes start = kNoDate, finish = kNoDate;
    Minutes actualStart = kNoDate, actualFinish = kNoDate;
    Minutes baselineStart = kNoDate, baselineFinish = kNoDate;
    std::size_t activities = 0, actualStarts = 0, actualFinishes = 0;
    const WorkCalendar* calendar = nullptr;
    bool mixed = false;
    double cost = 0, work = 0;

    void add(const Values& v, double activityCost) {
        takeEarlier(start, v.start);
        takeLater(finish, v.finish);
        takeEarlier(actualStart, v.actualStart);
        takeLater(actualFinish, v.actualFinish);
        takeEarlier(baselineStart, v.baselineStart);
        takeLater(baselineFinish, v.baselineFinish);
        ++activities;
        actualStarts += v.actualStart != kNoDate;
        actualFinishes += v.actualFinish != kNoDate;
        note(v.calendar, false);
        cost += activityCost;
        work += v.work;
    }
    void add(const Rollup& r) {
        takeEarlier(start, r.start);
        takeLater(finish, r.finish);
        takeEarlier(actualStart, r.actualStart);
        takeLater(actualFinish, r.actualFinish);
        takeEarlier(baselineStart, r.baselineStart);
        takeLater(baselineFinish, r.baselineFinish);
        activities += r.activities;
        actualStarts += r.actualStarts;
        actualFinishes += r.actualFinishes;
        if (r.activities) note(r.calendar, r.mixed);
        cost += r.cost;
        work += r.work;
    }
    void note(const WorkCalendar* c, bool otherMixed) {
        if (otherMixed || (calendar && c != calendar)) mixed = true;
        if (!calendar) calendar = c;
    }
};

enum class RowKind : std::uint8_t { Project, Wbs, Activity };

struct Row {
    RowKind kind;
    int level;
    std::size_t item;  // index into the projects, nodes or activities
    std::ptrdiff_t parent;  // row index; -1 at the top
    std::size_t project;
    QString outline;
    QString wbs;  // summary rows: their own code; activities: their node's
};

class Builder {
public:
    Builder(P6File& file, const Reporter& reporter, const ReadOptions& options, std::size_t textBudget)
        : f_(file), reporter_(reporter), details_(options.details), schedule_(options.details && options.schedule),
          custom_(options.details ? options.custom : CustomSlots()), budget_(textBudget),
          calendars_(file.calendars, reporter) {}

    Plan build() {
        for (std::size_t i = 0; i < f_.activities.size(); ++i) {
            const Key id = f_.activities[i].id;
            if (id != kNoKey && !activityIndex_.emplace(id, i).second)
                reporter_.damaged(QStringLiteral("the activity %1 is listed twice").arg(id));
        }
        std::vector<std::size_t> chosen;
        for (std::size_t p = 0; p < f_.projects.size(); ++p)
            if (f_.projects[p].exported) chosen.push_back(p);
        if (chosen.empty())
            for (std::size_t p = 0; p < f_.projects.size(); ++p) chosen.push_back(p);
        if (chosen.empty()) reporter_.damaged(QStringLiteral("it holds no project"));
        std::unordered_map<Key, std::size_t> projectIndex;
        for (const std::size_t p : chosen)
            if (!projectIndex.emplace(f_.projects[p].id, p).second)
                reporter_.damaged(QStringLiteral("the project %1 is listed twice").arg(f_.projects[p].id));

        // The nodes and activities of each project chosen, in file order.
        std::unordered_map<std::size_t, std::vector<std::size_t>> nodesOf, activitiesOf;
        for (std::size_t n = 0; n < f_.nodes.size(); ++n) {
            const auto at = projectIndex.find(f_.nodes[n].project);
            if (at != projectIndex.end()) nodesOf[at->second].push_back(n);
        }
        for (std::size_t a = 0; a < f_.activities.size(); ++a) {
            const auto at = projectIndex.find(f_.activities[a].project);
            if (at != projectIndex.end()) activitiesOf[at->second].push_back(a);
        }
        for (const std::size_t p : chosen) nameProject(f_.projects[p], nodesOf[p]);

        values_.resize(f_.activities.size());
        if (details_) gatherCharges();
        const bool several = chosen.size() > 1;
        for (std::size_t k = 0; k < chosen.size(); ++k)
            addProject(chosen[k], several ? static_cast<int>(k + 1) : 0, nodesOf[chosen[k]], activitiesOf[chosen[k]]);
        return assemble();
    }

private:
    // The project's name: its node's where the file names none (XER), else its Project ID.
    void nameProject(Project& p, const std::vector<std::size_t>& nodes) {
        for (const std::size_t n : nodes) {
            const WbsNode& node = f_.nodes[n];
            if (!node.projectNode && (node.id == kNoKey || node.id != p.node)) continue;
            if (p.node == kNoKey) p.node = node.id;
            if (p.name.isEmpty()) p.name = node.name;
            break;
        }
        if (p.name.isEmpty()) p.name = p.shortName;
        if (p.separator.isEmpty()) p.separator = QStringLiteral(".");
    }

    void spend(qsizetype characters) {
        const auto n = static_cast<std::size_t>(std::max<qsizetype>(characters, 0));
        if (n > budget_)
            reporter_.damaged(QStringLiteral("its WBS codes, outline numbers and resource names would take far more "
                                             "room than the file itself"));
        budget_ -= n;
    }

    void addRow(Row row) {
        if (rows_.size() >= kMaxRows)
            reporter_.damaged(QStringLiteral("it holds more rows than a sheet can take (%1)").arg(kMaxRows));
        if (details_) spend(row.outline.size() + (row.kind == RowKind::Activity ? 0 : row.wbs.size()));
        rows_.push_back(std::move(row));
    }

    QString activityName(const Activity& a) const { return a.code.isEmpty() ? keyText(a.id) : a.code; }

    const WorkCalendar& calendarOf(const Activity& a, const Project& p) {
        if (a.calendar == kNoKey) return calendars_.projectDefault(p);
        const WorkCalendar* c = calendars_.find(a.calendar);
        if (!c)
            reporter_.damaged(QStringLiteral("the activity %1 names the calendar %2, which the file does not hold")
                                  .arg(shownValue(activityName(a)))
                                  .arg(a.calendar));
        return *c;
    }

    void addProject(std::size_t p, int ordinal, const std::vector<std::size_t>& nodeList,
                    const std::vector<std::size_t>& activityList) {
        const Project& project = f_.projects[p];
        // The project's WBS nodes that are rows, by ID.
        std::vector<std::size_t> nodes;
        std::unordered_map<Key, int> local;
        for (const std::size_t n : nodeList) {
            const WbsNode& node = f_.nodes[n];
            if (node.projectNode || (node.id != kNoKey && node.id == project.node)) continue;
            if (node.id != kNoKey && !local.emplace(node.id, static_cast<int>(nodes.size())).second)
                reporter_.damaged(QStringLiteral("the WBS node %1 is listed twice").arg(node.id));
            nodes.push_back(n);
        }
        const int count = static_cast<int>(nodes.size());
        std::vector<int> parent(static_cast<std::size_t>(count), -1);
        for (int i = 0; i < count; ++i) {
            const auto at = local.find(f_.nodes[nodes[static_cast<std::size_t>(i)]].parent);
            if (at != local.end()) parent[static_cast<std::size_t>(i)] = at->second;
        }
        checkTree(nodes, parent);

        // Children of each node; slot 0 is the project itself.
        std::vector<std::vector<int>> childNodes(static_cast<std::size_t>(count) + 1);
        std::vector<std::vector<std::size_t>> childActivities(static_cast<std::size_t>(count) + 1);
        for (int i = 0; i < count; ++i) childNodes[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)] + 1)].push_back(i);
        for (const std::size_t a : activityList) {
            const auto at = local.find(f_.activities[a].wbs);
            childActivities[at == local.end() ? 0 : static_cast<std::size_t>(at->second) + 1].push_back(a);
        }
        for (auto& list : childNodes)
            std::sort(list.begin(), list.end(), [&](int x, int y) {
                const WbsNode& a = f_.nodes[nodes[static_cast<std::size_t>(x)]];
                const WbsNode& b = f_.nodes[nodes[static_cast<std::size_t>(y)]];
                return a.sequence != b.sequence ? a.sequence < b.sequence : a.id < b.id;
            });
        for (auto& list : childActivities)
            std::sort(list.begin(), list.end(), [this](std::size_t x, std::size_t y) {
                const Activity& a = f_.activities[x];
                const Activity& b = f_.activities[y];
                const int order = compareCodes(a.code, b.code);
                return order != 0 ? order < 0 : a.id < b.id;
            });
        for (const std::size_t a : activityList) computeActivity(a, project);

        // Depth first: a node's activities, then its child nodes each with its subtree.
        struct Frame {
            int node;  // -1: the project
            std::ptrdiff_t row;
            int level;
            std::size_t nextChild = 0;
            int positions = 0;
        };
        std::vector<Frame> stack;
        std::ptrdiff_t top = -1;
        int level = 0;
        if (ordinal) {
            addRow({RowKind::Project, 1, p, -1, p, details_ ? QString::number(ordinal) : QString(),
                    details_ ? project.shortName : QString()});
            top = static_cast<std::ptrdiff_t>(rows_.size()) - 1;
            level = 1;
        }
        // Written in one piece at its final size: the rows are many.
        const auto outlineUnder = [this](std::ptrdiff_t row, int position) {
            if (!details_) return QString();
            char digits[16];
            const char* end = std::to_chars(digits, digits + sizeof digits, position).ptr;
            const QString* above = row < 0 ? nullptr : &rows_[static_cast<std::size_t>(row)].outline;
            QString outline((above ? above->size() + 1 : 0) + (end - digits), Qt::Uninitialized);
            char16_t* out = reinterpret_cast<char16_t*>(outline.data());
            if (above) {
                out = std::copy_n(reinterpret_cast<const char16_t*>(above->constData()), above->size(), out);
                *out++ = u'.';
            }
            std::copy(static_cast<const char*>(digits), end, out);
            return outline;
        };
        const auto open = [&](int node, std::ptrdiff_t row, int lvl) {
            stack.push_back({node, row, lvl});
            Frame& frame = stack.back();
            const QString code = row < 0 || !details_ ? (details_ ? project.shortName : QString())
                                                      : rows_[static_cast<std::size_t>(row)].wbs;
            for (const std::size_t a : childActivities[static_cast<std::size_t>(node + 1)])
                addRow({RowKind::Activity, lvl + 1, a, row, p, outlineUnder(row, ++frame.positions), code});
        };
        open(-1, top, level);
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const auto& children = childNodes[static_cast<std::size_t>(frame.node + 1)];
            if (frame.nextChild == children.size()) {
                stack.pop_back();
                continue;
            }
            const int child = children[frame.nextChild++];
            const WbsNode& node = f_.nodes[nodes[static_cast<std::size_t>(child)]];
            const std::ptrdiff_t parentRow = frame.row;
            const int childLevel = frame.level + 1;
            QString code;
            if (details_) {
                const QString& above = parentRow < 0 ? project.shortName : rows_[static_cast<std::size_t>(parentRow)].wbs;
                code.reserve(above.size() + project.separator.size() + node.code.size());
                code += above;
                code += project.separator;
                code += node.code;
            }
            addRow({RowKind::Wbs, childLevel, nodes[static_cast<std::size_t>(child)], parentRow, p,
                    outlineUnder(parentRow, ++frame.positions), code});
            open(child, static_cast<std::ptrdiff_t>(rows_.size()) - 1, childLevel);
        }
    }

    // Refuses a WBS that loops back on itself or is nested beyond reason.
    void checkTree(const std::vector<std::size_t>& nodes, const std::vector<int>& parent) {
        std::vector<int> depth(parent.size(), 0);  // 0: not yet known; -1: being walked
        std::vector<int> path;
        for (std::size_t i = 0; i < parent.size(); ++i) {
            int at = static_cast<int>(i);
            path.clear();
            while (at >= 0 && depth[static_cast<std::size_t>(at)] == 0) {
                depth[static_cast<std::size_t>(at)] = -1;
                path.push_back(at);
                at = parent[static_cast<std::size_t>(at)];
            }
            if (at >= 0 && depth[static_cast<std::size_t>(at)] < 0)
                reporter_.damaged(QStringLiteral("its WBS node %1 lies below itself")
                                      .arg(f_.nodes[nodes[static_cast<std::size_t>(at)]].id));
            int d = at < 0 ? 0 : depth[static_cast<std::size_t>(at)];
            for (auto it = path.rbegin(); it != path.rend(); ++it) {
                depth[static_cast<std::size_t>(*it)] = ++d;
                if (d > kMaxWbsDepth)
                    reporter_.damaged(QStringLiteral("its WBS is nested more than %1 levels deep").arg(kMaxWbsDepth));
            }
        }
    }

    void computeActivity(std::size_t index, const Project& p) {
        Activity& a = f_.activities[index];
        Values& v = values_[index];
        v.calendar = &calendarOf(a, p);
        v.start = a.start != kNoDate ? a.start : firstOf({a.actualStart, a.remainingStart, a.plannedStart, a.earlyStart});
        v.finish = a.finish != kNoDate ? a.finish
                                       : firstOf({a.actualFinish, a.remainingFinish, a.plannedFinish, a.earlyFinish});
        if (a.milestone == Milestone::Start && v.start != kNoDate) v.finish = v.start;
        if (a.milestone == Milestone::Finish && v.finish != kNoDate) v.start = v.finish;
        if (a.milestone != Milestone::No) v.duration = 0;
        else if (given(a.atCompletionDuration)) v.duration = minutesOf(a.atCompletionDuration);
        else if (given(a.actualDuration))  // P6 XML without its own total
            v.duration = minutesOf(orZero(a.actualDuration) + orZero(a.remainingDuration));
        else v.duration = rounded(computedDuration(a, p, *v.calendar), 100);
        if (!details_) return;
        v.actualStart = a.actualStart;
        v.actualFinish = a.actualFinish;
        v.percent = percentComplete(a);
        v.work = minutesOf(orZero(a.actualLabor) + orZero(a.remainingLabor) + orZero(a.actualNonLabor) +
                           orZero(a.remainingNonLabor));
        if (p.baseline == kNoKey) {
            v.baselineStart = a.plannedStart;
            v.baselineFinish = a.plannedFinish;
            v.baselineDuration = a.milestone != Milestone::No ? 0 : given(a.plannedDuration) ? minutesOf(a.plannedDuration) : kNone;
        } else if (f_.holdsBaselines) {
            const auto at = baseline(p.baseline, a.code);
            if (at) {
                v.baselineStart = at->plannedStart;
                v.baselineFinish = at->plannedFinish;
                v.baselineDuration = at->milestone != Milestone::No ? 0
                                     : given(at->plannedDuration) ? minutesOf(at->plannedDuration)
                                                                  : kNone;
            }
        }
    }

    const BaselineActivity* baseline(Key project, const QString& code) {
        if (baselineIndex_.empty() && !f_.baselineActivities.empty())
            for (const BaselineActivity& b : f_.baselineActivities)
                baselineIndex_.emplace(std::make_pair(b.project, b.code), &b);
        if (code.isEmpty()) return nullptr;
        const auto at = baselineIndex_.find(std::make_pair(project, code));
        return at == baselineIndex_.end() ? nullptr : at->second;
    }

    // Cost and resource names of each activity from its assignments and expenses, in file order.
    void gatherCharges() {
        costs_.assign(f_.activities.size(), 0);
        resourceNames_.resize(f_.activities.size());
        struct PairHash {
            std::size_t operator()(const std::pair<std::size_t, Key>& p) const {
                return std::hash<std::size_t>()(p.first) * 31 + std::hash<Key>()(p.second);
            }
        };
        std::unordered_set<std::pair<std::size_t, Key>, PairHash> named;  // (activity, resource) listed
        for (const Charge& c : f_.charges) {
            const auto at = activityIndex_.find(c.activity);
            if (at == activityIndex_.end()) continue;
            costs_[at->second] += c.cost;
            if (c.resource == kNoKey) continue;
            const auto resource = f_.resources.find(c.resource);
            if (resource == f_.resources.end() || resource->second.isEmpty()) continue;
            if (!named.emplace(at->second, c.resource).second) continue;
            QString& names = resourceNames_[at->second];
            const qsizetype before = names.size();
            appendResourceName(names, resource->second, 1);
            spend(names.size() - before);
        }
        activityNotes_ = notesByOwner(f_.activityNotes);
        wbsNotes_ = notesByOwner(f_.wbsNotes);
    }

    static std::unordered_map<Key, QString> notesByOwner(std::vector<Note>& notes) {
        std::stable_sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) {
            return a.owner != b.owner ? a.owner < b.owner : a.order < b.order;
        });
        std::unordered_map<Key, QString> out;
        for (const Note& n : notes) {
            const QString text = noteText(n.html);
            if (text.isEmpty()) continue;
            QString& all = out[n.owner];
            if (!all.isEmpty()) all += QLatin1String("\n\n");
            all += text;
        }
        return out;
    }

    QString noteOf(const std::unordered_map<Key, QString>& notes, Key owner) const {
        const auto at = notes.find(owner);
        return at == notes.end() ? QString() : at->second;
    }

    Plan assemble() {
        // Each summary row gathers its rows below; they all follow it.
        std::vector<Rollup> rollups(rows_.size());
        for (std::size_t i = rows_.size(); i-- > 0;) {
            const Row& row = rows_[i];
            if (row.parent < 0) continue;
            Rollup& into = rollups[static_cast<std::size_t>(row.parent)];
            if (row.kind == RowKind::Activity) into.add(values_[row.item], details_ ? costs_[row.item] : 0);
            else into.add(rollups[i]);
        }
        Plan plan;
        plan.positions.reserve(rows_.size());
        DetailsPool pool(details_ ? static_cast<qint64>(rows_.size()) : 0);
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            Row& row = rows_[i];
            const Project& project = f_.projects[row.project];
            PlanTask task;
            std::shared_ptr<TaskDetails> d;
            if (details_) {
                d = pool.make();
                d->project = project.name;
                d->id = static_cast<double>(i + 1);
                d->outlineLevel = row.level;
                d->outlineNumber = std::move(row.outline);
                d->wbs = std::move(row.wbs);
            }
            if (row.kind == RowKind::Activity) {
                Activity& a = f_.activities[row.item];
                const Values& v = values_[row.item];
                task.name = std::move(a.name);
                task.durationMinutes = v.duration;
                task.start = dateTime(v.start);
                task.finish = dateTime(v.finish);
                if (d) {
                    d->activityId = std::move(a.code);
                    if (a.id != kNoKey) d->uniqueId = static_cast<double>(a.id);
                    d->percentComplete = v.percent;
                    d->milestone = a.milestone != Milestone::No;
                    d->summary = false;
                    d->baselineStart = dateTime(v.baselineStart);
                    d->baselineFinish = dateTime(v.baselineFinish);
                    if (given(v.baselineDuration)) d->baselineDurationMinutes = v.baselineDuration;
                    d->actualStart = dateTime(v.actualStart);
                    d->actualFinish = dateTime(v.actualFinish);
                    d->cost = rounded(costs_[row.item], 10000);
                    d->workMinutes = v.work;
                    d->notes = noteOf(activityNotes_, a.id);
                    d->resourceNames = std::move(resourceNames_[row.item]);
                    if (schedule_) readSchedule(a, project, d->schedule);
                }
            } else {
                const Rollup& r = rollups[i];
                const WorkCalendar& calendar =
                    r.calendar && !r.mixed ? *r.calendar : calendars_.projectDefault(project);
                Key key = kNoKey;
                if (row.kind == RowKind::Wbs) {
                    const WbsNode& node = f_.nodes[row.item];
                    task.name = node.name;
                    key = node.id;
                } else {
                    task.name = project.name;
                    key = project.node;
                }
                task.start = dateTime(r.start);
                task.finish = dateTime(r.finish);
                task.durationMinutes = static_cast<double>(calendar.work(r.start, r.finish));
                if (d) {
                    if (row.kind == RowKind::Wbs && key != kNoKey) d->uniqueId = static_cast<double>(key);
                    d->milestone = false;
                    d->summary = true;
                    d->baselineStart = dateTime(r.baselineStart);
                    d->baselineFinish = dateTime(r.baselineFinish);
                    if (r.baselineStart != kNoDate && r.baselineFinish != kNoDate)
                        d->baselineDurationMinutes = static_cast<double>(calendar.work(r.baselineStart, r.baselineFinish));
                    if (r.activities && r.actualStarts == r.activities) d->actualStart = dateTime(r.actualStart);
                    if (r.activities && r.actualFinishes == r.activities) d->actualFinish = dateTime(r.actualFinish);
                    d->cost = rounded(r.cost, 10000);
                    d->workMinutes = rounded(r.work, 100);
                    if (key != kNoKey) d->notes = noteOf(wbsNotes_, key);
                }
            }
            task.details = std::move(d);
            plan.positions.emplace_back(std::move(task));
        }
        if (schedule_) addLinks(plan);
        if (custom_.any()) addCustom(plan);
        return plan;
    }

    // The schedule fields of an activity's row, but for the links.
    void readSchedule(const Activity& a, const Project& p, ScheduleFields& s) {
        const auto minutes = [](double hours) {
            return given(hours) ? std::optional<double>(rounded(hours * 60, 100)) : std::nullopt;
        };
        s.totalSlackMinutes = minutes(a.totalFloat);
        s.freeSlackMinutes = minutes(a.freeFloat);
        if (a.critical >= 0) s.critical = a.critical == 1;
        else if (p.longestPath) s.critical = a.longestPath;
        else if (given(a.totalFloat)) s.critical = a.totalFloat <= p.criticalFloat;
        else if (a.progress == Progress::Completed) s.critical = false;
        if (a.constraintType >= -1) {  // a constraint of a later P6 stays an empty cell
            s.constraintType = std::max(a.constraintType, 0);
            s.constraintDate = dateTime(a.constraintType > 0 ? a.constraintDate : kNoDate);
        }
        // Always a value: an invalid date-time, NA, when none.
        s.earlyStart = dateTime(a.earlyStart);
        s.earlyFinish = dateTime(a.earlyFinish);
        s.lateStart = dateTime(a.lateStart);
        s.lateFinish = dateTime(a.lateFinish);
    }

    // The Predecessors and Successors of the activities' rows: the rows' IDs, P6's lags in hours.
    void addLinks(Plan& plan) const {
        // The links name the rows by place (a row's ID is its place + 1); -1 for an activity with none.
        std::vector<long long> placeOf(f_.activities.size(), -1);
        std::vector<long> ids(rows_.size());
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            ids[i] = static_cast<long>(i + 1);
            if (rows_[i].kind == RowKind::Activity) placeOf[rows_[i].item] = static_cast<long long>(i);
        }
        const auto place = [&](Key id) {
            const auto at = activityIndex_.find(id);
            return at == activityIndex_.end() ? -1 : placeOf[at->second];
        };
        std::vector<PlanLink> links;
        links.reserve(f_.relationships.size());
        for (const Relationship& r : f_.relationships) {
            PlanLink& link = links.emplace_back();
            link.predecessor = place(r.predecessor);
            link.successor = place(r.successor);
            link.type = r.type;
            link.lagTenths = r.lag == 0 ? 0 : rounded(r.lag * 600, 100);
            link.lagFormat = 5;  // hours, P6's own unit
        }
        std::vector<LinkTexts> texts = linkTexts(links, ids, DurationUnits());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            auto& task = plan.positions[i];
            if (!task || !task->details) continue;
            task->details->schedule.predecessors = std::move(texts[i].predecessors);
            task->details->schedule.successors = std::move(texts[i].successors);
        }
    }

    // The user-defined fields asked for, as custom fields named after them.
    void addCustom(Plan& plan) const {
        std::unordered_map<Key, const UdfType*> types;
        for (const UdfType& t : f_.udfTypes) {
            if (t.slot < 0 || !custom_.test(static_cast<std::size_t>(t.slot))) continue;
            types.emplace(t.id, &t);
            plan.customHeld.set(static_cast<std::size_t>(t.slot));
            if (!t.title.isEmpty()) plan.customAliases.emplace_back(t.slot, t.title);
        }
        if (types.empty()) return;
        std::unordered_map<Key, std::size_t> rowOf;
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i].kind == RowKind::Activity) rowOf.emplace(f_.activities[rows_[i].item].id, i);
        for (const UdfValue& v : f_.udfValues) {
            const auto type = types.find(v.type);
            const auto row = rowOf.find(v.activity);
            if (type == types.end() || row == rowOf.end()) continue;
            auto& task = plan.positions[row->second];
            if (!task || !task->details || task->details->customValue(type->second->slot)) continue;
            CustomValue value;
            value.slot = static_cast<std::uint8_t>(type->second->slot);
            switch (*type->second->kind) {
            case CustomKind::Text: value.text = v.text; break;
            case CustomKind::Start:
            case CustomKind::Finish: value.date = toDateTime(v.date); break;
            default: value.number = given(v.number) ? v.number : 0; break;
            }
            if (value.text.isEmpty() && !value.date.isValid() && !given(v.number)) continue;
            task->details->custom.push_back(std::move(value));
        }
        for (auto& task : plan.positions)
            if (task && task->details)
                std::sort(task->details->custom.begin(), task->details->custom.end(),
                          [](const CustomValue& a, const CustomValue& b) { return a.slot < b.slot; });
    }

    // The date-time of a minute: the rows repeat their dates, and a copy is far cheaper to make.
    QDateTime dateTime(Minutes m) {
        if (m == kNoDate) return {};
        const auto bits = static_cast<std::uint64_t>(m);
        return madeDates_.get(m, (bits ^ (bits >> 13)) * 0x9E3779B97F4A7C15ull, [m] { return toDateTime(m); });
    }

    P6File& f_;
    const Reporter& reporter_;
    bool details_;
    bool schedule_;
    CustomSlots custom_;
    std::size_t budget_;
    Calendars calendars_;
    std::unordered_map<Key, std::size_t> activityIndex_;
    std::vector<Values> values_;
    std::vector<double> costs_;
    std::vector<QString> resourceNames_;
    std::unordered_map<Key, QString> activityNotes_, wbsNotes_;
    struct PairHash {
        std::size_t operator()(const std::pair<Key, QString>& k) const { return qHash(k.second) ^ std::hash<Key>()(k.first); }
    };
    std::unordered_map<std::pair<Key, QString>, const BaselineActivity*, PairHash> baselineIndex_;
    std::vector<Row> rows_;
    KeptValues<Minutes, QDateTime, 12> madeDates_;
};

}  // namespace

Plan buildPlan(P6File file, const Reporter& reporter, const ReadOptions& options, std::size_t textBudget) {
    return Builder(file, reporter, options, textBudget).build();
}

}  // namespace quorrix::importer::plans::p6
