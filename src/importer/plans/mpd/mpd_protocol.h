#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// What the Project database reader's own process (quorrix-mpd-reader) and the programs say to one
// another. libmdb reads damaged databases out of bounds, so it runs only there, a fresh process
// for each database; the rows come back through a pipe as an answer in the compact form below,
// which the programs take as input like any file: checked strictly before anything is used.
//
// An answer (integers little-endian):
//   "QXMD" version:u8                    sent before the database is opened
//   'S' schema:u8                        9 (Project 2000-2003) or 8 (Project 98), before any table
//   then tables, in the order of their kinds, each at most once and only when asked for (the list
//   of outline codes only after code values that hold a row):
//     'T' kind:u8 columns:u8             columns: exactly the count of that kind
//     'R' then per column length:u16 bytes   one row; the bytes hold no NUL; empty is NULL
//   then one closing record, the last bytes of the answer:
//     'E'                                 all read
//     'F' code:u8 kind:u8 column:u8       the reader's failure (kind and column 0 where unused)
// Nothing but the answer itself (no Qt): the reader's process stays small and quick to start.
namespace quorrix::importer::plans::mpd {

inline constexpr char kMagic[4] = {'Q', 'X', 'M', 'D'};
inline constexpr std::uint8_t kVersion = 4;

// The tables of a plan, in the order they come.
enum class Kind : std::uint8_t {
    Projects, Tasks, Resources, Assignments, Links,
    TextFields, NumberFields, DateFields, DurationFields, FlagFields, CodeFields, OutlineCodes,
};
inline constexpr std::size_t kKinds = 12;

// What a request asks for beyond the four fields (bits): the further fields, with them the
// schedule (settings, links, the task's schedule columns) and the custom fields by the table of
// values they come from (the flags also from columns of the task table; the outline codes with
// the list of codes).
enum Asked : std::uint8_t {
    kAskDetails = 1,
    kAskSchedule = 2,
    kAskTexts = 4,
    kAskNumbers = 8,  // and costs
    kAskDates = 16,   // dates, starts and finishes
    kAskDurations = 32,
    kAskFlags = 64,
    kAskCodes = 128,
};
inline constexpr unsigned kAskCustom = kAskTexts | kAskNumbers | kAskDates | kAskDurations | kAskFlags | kAskCodes;
inline constexpr unsigned kAskAll = kAskDetails | kAskSchedule | kAskCustom;

// Column positions of the project table: ID, title, name (the title when stored, else the name
// is the project's name), then the schedule settings.
enum ProjectColumn : std::size_t {
    kProjectId, kProjectTitle, kProjectName,
    kMinutesPerDay, kMinutesPerWeek, kDaysPerMonth, kDefaultDurationFormat, kCriticalSlackLimit,
    kProjectColumns
};
inline constexpr std::size_t kFirstSettingColumn = kMinutesPerDay;

// Column positions of the task table.
enum TaskColumn : std::size_t {
    kProject, kUniqueId, kId, kName, kDuration, kStart, kFinish, kIsNull,
    kOutlineLevel, kOutlineNumber, kWbs, kPercentComplete, kMilestone, kSummary,
    kBaselineStart, kBaselineFinish, kBaselineDuration, kActualStart, kActualFinish, kWork, kCost, kNotes,
    kTotalSlack, kFreeSlack, kCritical, kConstraintType, kConstraintDate, kDeadline, kPriority,
    kEarlyStart, kEarlyFinish, kLateStart, kLateFinish, kTaskType, kDurationFormat, kEstimated,
    kBaselineDurationFormat,
    kFlag1, kTaskColumns = kFlag1 + 20
};
// The task columns from here on are the further fields: read only when asked for; from the
// next on the schedule's, then the flags.
inline constexpr std::size_t kFirstFurtherColumn = kOutlineLevel;
inline constexpr std::size_t kFirstScheduleColumn = kTotalSlack;

// Column positions of the link table.
enum LinkColumn : std::size_t {
    kLinkProject, kLinkPredecessor, kLinkSuccessor, kLinkType, kLinkLag, kLinkLagFormat, kLinkCrossProject,
    kLinkIsNull, kLinkColumns
};

// Column positions of the custom values' tables (text, number, date, duration, flag and outline
// code values; the value of an outline code is the unique ID of its entry in the list of codes).
enum FieldColumn : std::size_t {
    kFieldProject, kFieldCategory, kFieldOwner, kFieldId, kFieldValue, kFieldFormat, kFieldColumns
};
inline constexpr int kTaskCategory = 0;

// Column positions of the list of outline codes.
enum CodeColumn : std::size_t { kCodeProject, kCodeUid, kCodeParent, kCodeName, kCodeColumns };

inline constexpr std::array<std::size_t, kKinds> kColumns = {
    kProjectColumns, kTaskColumns,   3,              5,              kLinkColumns,   kFieldColumns,
    kFieldColumns,   kFieldColumns,  kFieldColumns,  kFieldColumns,  kFieldColumns,  kCodeColumns};
inline constexpr std::size_t kMaxColumns = kTaskColumns;

// Whether the table of `kind` comes, and whether its column is read, for what is `asked`.
bool tableAsked(Kind kind, unsigned asked);
bool columnAsked(Kind kind, std::size_t column, unsigned asked);

// Where Project keeps a plan in each of its two database schemas. A column the schema lacks is
// nullptr; the reader sends it empty in every row. A table the schema lacks is nullptr too: it
// never comes.
struct Schema {
    std::uint8_t number;
    std::array<const char*, kKinds> tables;
    std::array<std::array<const char*, kMaxColumns>, kKinds> columns;
};

// Project 2000-2003.
inline constexpr Schema kSchema9 = {
    9,
    {"MSP_PROJECTS", "MSP_TASKS", "MSP_RESOURCES", "MSP_ASSIGNMENTS", "MSP_LINKS", "MSP_TEXT_FIELDS",
     "MSP_NUMBER_FIELDS", "MSP_DATE_FIELDS", "MSP_DURATION_FIELDS", "MSP_FLAG_FIELDS", "MSP_CODE_FIELDS",
     "MSP_OUTLINE_CODES"},
    {{{"PROJ_ID", "PROJ_PROP_TITLE", "PROJ_NAME", "PROJ_OPT_MINUTES_PER_DAY", "PROJ_OPT_MINUTES_PER_WEEK",
       "PROJ_OPT_DAYS_PER_MONTH", "PROJ_OPT_DUR_ENTRY_FMT", "PROJ_OPT_CRITICAL_SLACK_LIMIT"},
      {"PROJ_ID", "TASK_UID", "TASK_ID", "TASK_NAME", "TASK_DUR", "TASK_START_DATE", "TASK_FINISH_DATE", nullptr,
       "TASK_OUTLINE_LEVEL", "TASK_OUTLINE_NUM", "TASK_WBS", "TASK_PCT_COMP", "TASK_IS_MILESTONE", "TASK_IS_SUMMARY",
       "TASK_BASE_START", "TASK_BASE_FINISH", "TASK_BASE_DUR", "TASK_ACT_START", "TASK_ACT_FINISH", "TASK_WORK",
       "TASK_COST", nullptr, "TASK_TOTAL_SLACK", "TASK_FREE_SLACK", "TASK_IS_CRITICAL", "TASK_CONSTRAINT_TYPE",
       "TASK_CONSTRAINT_DATE", "TASK_DEADLINE", "TASK_PRIORITY", "TASK_EARLY_START", "TASK_EARLY_FINISH",
       "TASK_LATE_START", "TASK_LATE_FINISH", "TASK_TYPE", "TASK_DUR_FMT", "TASK_DUR_IS_EST", "TASK_BASE_DUR_FMT"},
      {"PROJ_ID", "RES_UID", "RES_NAME"},
      {"PROJ_ID", "ASSN_UID", "TASK_UID", "RES_UID", "ASSN_UNITS"},
      {"PROJ_ID", "LINK_PRED_UID", "LINK_SUCC_UID", "LINK_TYPE", "LINK_LAG", "LINK_LAG_FMT", "LINK_IS_CROSS_PROJ"},
      {"PROJ_ID", "TEXT_CATEGORY", "TEXT_REF_UID", "TEXT_FIELD_ID", "TEXT_VALUE"},
      {"PROJ_ID", "NUM_CATEGORY", "NUM_REF_UID", "NUM_FIELD_ID", "NUM_VALUE"},
      {"PROJ_ID", "DATE_CATEGORY", "DATE_REF_UID", "DATE_FIELD_ID", "DATE_VALUE"},
      {"PROJ_ID", "DUR_CATEGORY", "DUR_REF_UID", "DUR_FIELD_ID", "DUR_VALUE", "DUR_FMT"},
      {"PROJ_ID", "FLAG_CATEGORY", "FLAG_REF_UID", "FLAG_FIELD_ID", "FLAG_VALUE"},
      {"PROJ_ID", "CODE_CATEGORY", "CODE_REF_UID", "CODE_FIELD_ID", "CODE_UID"},
      {"PROJ_ID", "CODE_UID", "OC_PARENT", "OC_NAME"}}},
};

// Project 98: no deadline, no estimates, no outline codes; the flags are columns of the tasks.
inline constexpr Schema kSchema8 = {
    8,
    {"Project_Information", "Task_Information", "Resource_Information", "Assignment_Information",
     "Task_Dependencies", "Text_Fields", "Custom_Number_Fields", "Custom_Date_Fields", "Custom_Duration_Fields",
     nullptr, nullptr, nullptr},
    {{{"ProjectID", "Title", "ProjectName", "DefaultMinutesPerDay", "DefaultMinutesPerWeek", nullptr,
       "DurationEnteredIn", "CriticalSlack"},
      {"ProjectID", "TaskUniqueID", "TaskID", "Name", "Duration", "StartDate", "FinishDate", "Reserved_IsNull",
       "OutlineLevel", "OutlineNumber", nullptr, "PercentComplete", "Milestone", "Summary", "BaselineStart",
       "BaselineFinish", "BaselineDuration", "ActualStart", "ActualFinish", "ScheduledWork", "Cost", "Notes",
       "TotalSlack", "FreeSlack", "Critical", "ConstraintType", "ConstraintDate", nullptr, "Priority",
       "EarlyStart", "EarlyFinish", "LateStart", "LateFinish", "TaskType", "DurationDisplayUnits", nullptr,
       "BaselineDurationDisplayUnits", "Flag1", "Flag2", "Flag3", "Flag4", "Flag5", "Flag6", "Flag7", "Flag8",
       "Flag9", "Flag10", "Flag11", "Flag12", "Flag13", "Flag14", "Flag15", "Flag16", "Flag17", "Flag18",
       "Flag19", "Flag20"},
      {"ProjectID", "ResourceUniqueID", "Name"},
      {"ProjectID", "AssignmentUniqueID", "TaskUniqueID", "ResourceUniqueID", "Units"},
      {"ProjectID", "PredecessorTaskUniqueID", "SuccessorTaskUniqueID", "LinkType", "LinkLag",
       "LinkLagDisplayUnits", "CrossProjectLink", "Reserved_IsNull"},
      {"ProjectID", "ContainerType", "UniqueID", "FieldID", "TextValue"},
      {"ProjectID", "ContainerType", "UniqueID", "FieldID", "NumberValue"},
      {"ProjectID", "ContainerType", "UniqueID", "FieldID", "DateValue"},
      {"ProjectID", "ContainerType", "UniqueID", "FieldID", "DurationValue", "DurationDisplayUnits"},
      {},
      {},
      {}}},
};

// The schema of that number, or nullptr.
const Schema* schemaNumbered(unsigned number);

// Why the reader gave up on a database.
enum class Code : std::uint8_t {
    HeaderUnreadable = 1,   // libmdb cannot open it
    CatalogUnreadable = 2,  // its list of tables
    TableUnreadable = 3,    // kind
    ColumnsUnreadable = 4,  // kind
    ColumnUnreadable = 5,   // kind, column
    NotAPlan = 6,           // a database without Project's tables
    OutOfMemory = 7,        // it needs more memory than the reader may have
};

// The longest field: a bound text ends at libmdb's bind size, well below.
inline constexpr std::size_t kMaxField = 65535;

// Writes an answer into memory, handing complete records to `fd` (when not -1) in large parts.
class AnswerWriter {
public:
    explicit AnswerWriter(int fd = -1) : fd_(fd) {}

    void header();
    void schema(const Schema& schema);
    void table(Kind kind);
    // One row: `fields` holds one entry per column of the table's kind.
    void row(const std::string_view* fields, std::size_t count);
    // The same for fields known to hold no NUL and at most kMaxField bytes each (the reader's
    // texts of values): written as they are.
    void rowOfTexts(const std::string_view* fields, std::size_t count);
    void end();
    void failure(Code code, Kind kind = Kind::Projects, std::size_t column = 0);

    // What was written and not yet handed to the descriptor (all of it without one).
    const std::string& pending() const { return buffer_; }
    // Hands what is pending to the descriptor; false when it cannot be written.
    bool flush();

private:
    int fd_;
    std::string buffer_;
};

// The bytes of one closing failure record, for a writer that cannot build one any more.
std::array<char, 4> failureRecord(Code code);

// An answer checked and taken apart; its fields point into the answer's bytes.
struct Answer {
    struct Table {
        bool present = false;
        std::size_t columns = 0;
        std::vector<std::string_view> fields;  // row after row
        std::size_t rows() const { return columns == 0 ? 0 : fields.size() / columns; }
        std::string_view at(std::size_t row, std::size_t column) const { return fields[row * columns + column]; }
    };
    struct Failure {
        Code code;
        Kind kind;
        std::size_t column;
    };
    const Schema* schema = nullptr;  // null only with a failure before the reader knew it
    std::array<Table, kKinds> tables;
    std::optional<Failure> failure;
};

// An answer that breaks the rules above; what() says how, in a few words.
class BadAnswer : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Checks `bytes` against the rules and takes the answer apart: no table comes that was not
// `asked` for, nor one the schema lacks. Throws BadAnswer.
Answer parseAnswer(std::string_view bytes, unsigned asked);

// ---- the reader's service ------------------------------------------------------------------------
//
// quorrix-mpd-reader --serve waits on descriptor 3, a sequenced-packet socket, for requests: each
// the Request below with two descriptors, the database open for reading and the pipe for the
// answer. It reads the database under the request's limits, writes the answer and closes both,
// then waits for the next; it ends when the socket closes. The programs end it themselves when a
// reading takes too long.

struct Request {
    std::uint8_t version = kVersion;
    std::uint8_t asked = 0;  // Asked bits
    std::uint16_t reserved = 0;
    std::uint32_t memoryMegabytes = 0;  // the process's address space; 0 for no limit
    std::uint32_t cpuSeconds = 0;       // for this database; 0 for no limit
};

}  // namespace quorrix::importer::plans::mpd
