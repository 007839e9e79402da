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
//   then tables, in the order of their kinds, each at most once:
//     'T' kind:u8 columns:u8             columns: exactly the count of that kind
//     'R' then per column length:u16 bytes   one row; the bytes hold no NUL; empty is NULL
//   then one closing record, the last bytes of the answer:
//     'E'                                 all read
//     'F' code:u8 kind:u8 column:u8       the reader's failure (kind and column 0 where unused)
// Nothing but the answer itself (no Qt): the reader's process stays small and quick to start.
namespace quorrix::importer::plans::mpd {

inline constexpr char kMagic[4] = {'Q', 'X', 'M', 'D'};
inline constexpr std::uint8_t kVersion = 2;

// The tables of a plan, in the order they come.
enum class Kind : std::uint8_t { Projects = 0, Tasks = 1, Resources = 2, Assignments = 3 };
inline constexpr std::size_t kKinds = 4;

// Column positions of the task table.
enum TaskColumn : std::size_t {
    kProject, kUniqueId, kId, kName, kDuration, kStart, kFinish, kIsNull,
    kOutlineLevel, kOutlineNumber, kWbs, kPercentComplete, kMilestone, kSummary,
    kBaselineStart, kBaselineFinish, kBaselineDuration, kActualStart, kActualFinish, kWork, kNotes,
    kTaskColumns
};
// The task columns from here on are the further fields: read only when asked for.
inline constexpr std::size_t kFirstFurtherColumn = kOutlineLevel;

// Project columns: ID, title, name (the title when stored, else the name is the project's name).
inline constexpr std::array<std::size_t, kKinds> kColumns = {3, kTaskColumns, 3, 5};
inline constexpr std::size_t kMaxColumns = kTaskColumns;

// Where Project keeps a plan in each of its two database schemas. A column the schema lacks is
// nullptr; the reader sends it empty in every row.
struct Schema {
    std::uint8_t number;
    std::array<const char*, kKinds> tables;
    std::array<std::array<const char*, kMaxColumns>, kKinds> columns;
};

// Project 2000-2003.
inline constexpr Schema kSchema9 = {
    9,
    {"MSP_PROJECTS", "MSP_TASKS", "MSP_RESOURCES", "MSP_ASSIGNMENTS"},
    {{{"PROJ_ID", "PROJ_PROP_TITLE", "PROJ_NAME"},
      {"PROJ_ID", "TASK_UID", "TASK_ID", "TASK_NAME", "TASK_DUR", "TASK_START_DATE", "TASK_FINISH_DATE", nullptr,
       "TASK_OUTLINE_LEVEL", "TASK_OUTLINE_NUM", "TASK_WBS", "TASK_PCT_COMP", "TASK_IS_MILESTONE", "TASK_IS_SUMMARY",
       "TASK_BASE_START", "TASK_BASE_FINISH", "TASK_BASE_DUR", "TASK_ACT_START", "TASK_ACT_FINISH", "TASK_WORK",
       nullptr},
      {"PROJ_ID", "RES_UID", "RES_NAME"},
      {"PROJ_ID", "ASSN_UID", "TASK_UID", "RES_UID", "ASSN_UNITS"}}},
};

// Project 98.
inline constexpr Schema kSchema8 = {
    8,
    {"Project_Information", "Task_Information", "Resource_Information", "Assignment_Information"},
    {{{"ProjectID", "Title", "ProjectName"},
      {"ProjectID", "TaskUniqueID", "TaskID", "Name", "Duration", "StartDate", "FinishDate", "Reserved_IsNull",
       "OutlineLevel", "OutlineNumber", nullptr, "PercentComplete", "Milestone", "Summary", "BaselineStart",
       "BaselineFinish", "BaselineDuration", "ActualStart", "ActualFinish", "ScheduledWork", "Notes"},
      {"ProjectID", "ResourceUniqueID", "Name"},
      {"ProjectID", "AssignmentUniqueID", "TaskUniqueID", "ResourceUniqueID", "Units"}}},
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
    void end();
    void failure(Code code, Kind kind = Kind::Projects, std::size_t column = 0);

    // What was written and not yet handed to the descriptor (all of it without one).
    const std::string& pending() const { return buffer_; }
    // Hands what is pending to the descriptor; false when it cannot be written.
    bool flush();

private:
    void put16(std::size_t value);
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

// Checks `bytes` against the rules and takes the answer apart. With `details` false, resources
// and assignments must not come. Throws BadAnswer.
Answer parseAnswer(std::string_view bytes, bool details);

// ---- the reader's service ------------------------------------------------------------------------
//
// quorrix-mpd-reader --serve waits on descriptor 3, a sequenced-packet socket, for requests: each
// the Request below with two descriptors, the database open for reading and the pipe for the
// answer. It reads the database under the request's limits, writes the answer and closes both,
// then waits for the next; it ends when the socket closes. The programs end it themselves when a
// reading takes too long.

struct Request {
    std::uint8_t version = kVersion;
    std::uint8_t details = 0;
    std::uint16_t reserved = 0;
    std::uint32_t memoryMegabytes = 0;  // the process's address space; 0 for no limit
    std::uint32_t cpuSeconds = 0;       // for this database; 0 for no limit
};

}  // namespace quorrix::importer::plans::mpd
