#pragma once

#include <QString>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string_view>
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
    // Which activities are critical: those on the longest path, or those whose total float is at
    // most the limit (hours).
    bool longestPath = false;
    double criticalFloat = 0;
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
    // The schedule, read when asked for. Floats in hours; the constraint as the project
    // application's type (-1: none given).
    double totalFloat = kNone, freeFloat = kNone;
    Minutes lateStart = kNoDate, lateFinish = kNoDate;
    int constraintType = -1;  // -2: one P6 names as no version this reader knows does
    Minutes constraintDate = kNoDate;
    bool longestPath = false;
    std::int8_t critical = -1;  // P6's own flag (P6 XML): 0 or 1; -1 when not given
};

// A relationship between two activities: P6's type as the project application's link type
// (0 FF, 1 FS, 2 SF, 3 SS), its lag in hours.
struct Relationship {
    Key predecessor = kNoKey, successor = kNoKey;
    int type = 1;
    double lag = 0;
};

// A user-defined field of activities, kept as the custom field of the kind it was given (its
// title the field's name), and one activity's value of such a field.
struct UdfType {
    Key id = kNoKey;
    QString title;
    std::optional<CustomKind> kind;  // none: a data type not kept
    int slot = -1;                   // the custom field; -1 when not kept or no field of its kind is left
};
struct UdfValue {
    Key type = kNoKey;
    Key activity = kNoKey;
    QString text;
    double number = kNone;
    Minutes date = kNoDate;
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
    std::vector<Relationship> relationships;  // read for the schedule
    std::vector<UdfType> udfTypes;            // and for the custom fields
    std::vector<UdfValue> udfValues;
    // XER holds no baselines: with a baseline assigned the baseline columns stay empty.
    bool holdsBaselines = false;
};

// The project application's constraint type (0 ... 7) for P6's name of one ("Start On or After",
// "CS_MSOA"), -1 for none ("" or "None"); an unknown name is -2.
int constraintTypeOf(std::string_view name);
// The project application's link type for P6's relationship type ("Finish to Start", "PR_FS"; none
// is finish to start); -1 for an unknown one.
int linkTypeOf(std::string_view name);
// The custom field kind a user-defined field's data type is kept as ("Text", "FT_TEXT", ...).
std::optional<CustomKind> udfKindOf(std::string_view dataType);
// Gives each user-defined field the next free custom field of its kind, in file order.
void assignUdfSlots(std::vector<UdfType>& types);

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
