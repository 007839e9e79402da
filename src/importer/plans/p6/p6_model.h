#pragma once

#include <QString>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <unordered_map>
#include <vector>

#include "importer/plans/p6/p6_calendar.h"
#include "importer/plans/p6/p6_values.h"
#include "importer/plans/common/plan.h"

// What the XER and P6 XML readers take from a file, and the one way both turn it into rows:
// WBS nodes as summary rows, activities beneath them, P6's own values.
namespace quorrix::importer::plans::p6 {

// P6's object IDs (task_id, wbs_id, ... / ObjectId).
using Key = std::int64_t;
inline constexpr Key kNoKey = std::numeric_limits<Key>::min();
inline constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
inline bool given(double v) { return !std::isnan(v); }

enum class Milestone : std::uint8_t { No, Start, Finish };
enum class Progress : std::uint8_t { NotStarted, InProgress, Completed };
enum class PercentType : std::uint8_t { Duration, Physical, Units };

struct Calendar {
    Key id = kNoKey;
    Key base = kNoKey;
    bool isDefault = false;
    WorkTimes times;
};

struct Project {
    Key id = kNoKey;
    QString shortName;  // P6's Project ID
    QString name;       // empty: the project node's name
    bool exported = true;
    Key calendar = kNoKey;  // the default calendar of its activities
    Key node = kNoKey;      // the project's own WBS node (not a row)
    Minutes dataDate = kNoDate;
    QString separator;      // of WBS codes
    Key baseline = kNoKey;  // the assigned project baseline; kNoKey: the project itself
};

struct WbsNode {
    Key id = kNoKey;
    Key project = kNoKey;
    Key parent = kNoKey;
    std::int64_t sequence = 0;
    bool projectNode = false;
    QString code, name;
};

struct Activity {
    Key id = kNoKey;
    Key project = kNoKey;
    Key wbs = kNoKey;
    Key calendar = kNoKey;
    QString code, name;
    Milestone milestone = Milestone::No;
    Progress progress = Progress::NotStarted;
    PercentType percentType = PercentType::Duration;
    Minutes actualStart = kNoDate, actualFinish = kNoDate;
    Minutes remainingStart = kNoDate, remainingFinish = kNoDate;
    Minutes plannedStart = kNoDate, plannedFinish = kNoDate;
    Minutes earlyStart = kNoDate, earlyFinish = kNoDate;
    Minutes suspend = kNoDate, resume = kNoDate;
    Minutes start = kNoDate, finish = kNoDate;  // P6's own (P6 XML)
    // Hours.
    double plannedDuration = kNone, remainingDuration = kNone;
    double actualDuration = kNone, atCompletionDuration = kNone;  // P6's own (P6 XML)
    double actualLabor = kNone, remainingLabor = kNone, actualNonLabor = kNone, remainingNonLabor = kNone;
    double physicalPercent = kNone;  // 0-100
    double percentComplete = kNone;  // P6's own (P6 XML), 0-1
};

// A resource assignment or an expense of an activity; `resource` kNoKey for expenses and for
// assignments of a role alone.
struct Charge {
    Key activity = kNoKey;
    Key resource = kNoKey;
    double cost = 0;
};

// A notebook topic of an activity or a WBS node (P6 XML ProjectNote: of the project node too).
struct Note {
    Key owner = kNoKey;
    Key order = kNoKey;
    QString html;
};

// The planned values of one activity in a baseline project (P6 XML).
struct BaselineActivity {
    Key project = kNoKey;  // the baseline project
    QString code;
    Milestone milestone = Milestone::No;
    Minutes plannedStart = kNoDate, plannedFinish = kNoDate;
    double plannedDuration = kNone;
};

struct P6File {
    std::vector<Calendar> calendars;
    std::vector<Project> projects;  // in file order, baselines not among them
    // Deques: they grow without copying, so a large file never holds two copies of its activities.
    std::deque<WbsNode> nodes;
    std::deque<Activity> activities;
    // Only read for the further fields.
    std::unordered_map<Key, QString> resources;
    std::vector<Charge> charges;
    std::vector<Note> activityNotes, wbsNotes;
    std::vector<BaselineActivity> baselineActivities;
    // XER holds no baselines: with a baseline assigned the baseline columns stay empty.
    bool holdsBaselines = false;
};

// The most rows a plan may have: a sheet's rows below its header row.
inline constexpr std::size_t kMaxRows = 1048575;
// The deepest WBS P6 files are read with (P6 itself allows far fewer levels).
inline constexpr int kMaxWbsDepth = 100;

// The rows of every exported project of the file (all projects when none is marked): one project
// gives its rows, several each their rows under a summary row named after the project. `textBudget`
// bounds the characters the rows may make up beyond the file's own texts (outline numbers, WBS
// codes, resource names), so that a small hostile file cannot make gigabytes of them.
Plan buildPlan(P6File file, const Reporter& reporter, const ReadOptions& options, std::size_t textBudget);

}  // namespace quorrix::importer::plans::p6
