// XER: P6's table dump. One pass over the bytes, line by line: tables that are not needed are
// skipped without splitting their lines, the columns of the needed ones are looked up once per
// header line (%F), and of every row only the values used are decoded. Rows can only be made
// after the end record, since assignments follow activities and order and roll-ups need them all.
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "importer/plans/common/code_pages.h"
#include "importer/plans/common/finish_plan.h"
#include "importer/plans/p6/p6_model.h"
#include "importer/plans/p6/p6_reader.h"

namespace quorrix::importer::plans {

namespace p6 {
namespace {

// Kept records beyond the rows (which kMaxRows bounds), so that a file of tiny rows cannot make
// far more memory than it has bytes.
constexpr std::size_t kMaxCharges = 8'000'000;
constexpr std::size_t kMaxNotes = 2'000'000;
constexpr std::size_t kMaxCalendars = 200'000;

enum class Encoding { Utf8, Windows1252, Windows1251 };

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

// The text split at CR LF, LF or CR.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}

    bool next(std::string_view& line) {
        if (at_ >= text_.size()) return false;
        const char* p = text_.data() + at_;
        const std::size_t left = text_.size() - at_;
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', left));
        const std::size_t toLf = lf ? static_cast<std::size_t>(lf - p) : left;
        const auto* cr = static_cast<const char*>(std::memchr(p, '\r', toLf));
        const std::size_t length = cr ? static_cast<std::size_t>(cr - p) : toLf;
        line = std::string_view(p, length);
        at_ += length + (length < left ? 1 : 0);
        if (cr && at_ < text_.size() && text_[at_] == '\n') ++at_;
        ++number_;
        return true;
    }
    std::size_t number() const { return number_; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t number_ = 0;
};

// Fields of a line split at every tab. Fields are short: a plain loop beats a memchr per field.
void splitFields(std::string_view line, std::vector<std::string_view>& out) {
    out.clear();
    const char* begin = line.data();
    const char* end = begin + line.size();
    const char* field = begin;
    for (const char* p = begin; p != end; ++p) {
        if (*p != '\t') continue;
        out.emplace_back(field, static_cast<std::size_t>(p - field));
        field = p + 1;
    }
    out.emplace_back(field, static_cast<std::size_t>(end - field));
}

// A decimal of at most 15 digits ("-12.25"), read in place: its digits and the power of ten are
// both exact doubles, so one division rounds as std::from_chars does. False for anything else.
bool plainDecimal(std::string_view t, double& out) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13,
                                         1e14, 1e15};
    const bool negative = !t.empty() && t.front() == '-';
    if (negative) t.remove_prefix(1);
    std::int64_t digits = 0;
    int count = 0, fraction = -1;  // -1: no point yet
    for (const char c : t) {
        if (c == '.' && fraction < 0 && count > 0) {
            fraction = 0;
            continue;
        }
        if (c < '0' || c > '9' || ++count > 15) return false;
        digits = digits * 10 + (c - '0');
        if (fraction >= 0) ++fraction;
    }
    if (count == 0 || fraction == 0) return false;
    const double value = static_cast<double>(digits) / kPowers[fraction < 0 ? 0 : fraction];
    out = negative ? -value : value;
    return true;
}

// Eight bytes at a time: the files are large and mostly ASCII.
std::size_t asciiPrefix(std::string_view t, std::size_t from) {
    std::size_t i = from;
    for (; i + 8 <= t.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, t.data() + i, 8);
        if (word & 0x8080808080808080ULL) break;
    }
    while (i < t.size() && static_cast<unsigned char>(t[i]) < 0x80) ++i;
    return i;
}

bool hasHighBytes(std::string_view t) { return asciiPrefix(t, 0) < t.size(); }

bool isValidUtf8(std::string_view t) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(t[k]); };
    for (std::size_t i = asciiPrefix(t, 0); i < t.size(); i = asciiPrefix(t, i)) {
        const unsigned char c = byte(i);
        std::size_t more;
        char32_t code;
        if ((c & 0xE0) == 0xC0) more = 1, code = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) more = 2, code = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) more = 3, code = c & 0x07;
        else return false;
        if (i + more >= t.size()) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return false;
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        static constexpr char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
        if (code < kLeast[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

// The tables read and, for each, the columns used, in the order of the enumerations below.
enum class Table {
    Project, Wbs, Task, Calendar, TaskResource, Resource, Expense, TaskMemo, WbsMemo, Currency, Relationship, UdfType,
    UdfValue, Count
};

// When a table is read: always, or only for the further fields, their schedule or custom fields.
enum class Need { Always, Details, Schedule, Custom };

struct TableLayout {
    const char* name;
    std::vector<const char*> columns;
    Need need;
};

namespace col {
enum Project {
    kProjId, kShortName, kExportFlag, kProjCalendar, kDataDate, kSeparator, kBaseline, kCriticalFloat, kCriticalPath
};
enum Wbs { kWbsId, kWbsProject, kParent, kSequence, kProjectNode, kWbsCode, kWbsName };
enum Task {
    kTaskId, kTaskProject, kTaskWbs, kTaskCalendar, kCode, kName, kType, kStatus, kPercentType, kPhysical,
    kActualStart, kActualFinish, kRemainingStart, kRemainingFinish, kPlannedStart, kPlannedFinish, kEarlyStart,
    kEarlyFinish, kPlannedDuration, kRemainingDuration, kSuspend, kResume, kActualWork, kRemainingWork,
    kActualEquipment, kRemainingEquipment, kTotalFloat, kFreeFloat, kLateStart, kLateFinish, kConstraintType,
    kConstraintDate, kDrivingPath
};
enum Calendar { kCalendarId, kDefault, kBase, kData };
enum TaskResource { kAssignmentTask, kAssignmentResource, kRegularCost, kOvertimeCost, kRemainingCost };
enum Resource { kResourceId, kResourceName };
enum Expense { kExpenseTask, kExpenseActual, kExpenseRemaining };
enum Memo { kMemoId, kMemoOwner, kMemoText };
enum Currency { kCurrencyName, kSymbol, kDecimal, kGrouping };
enum Relationship { kSuccessor, kPredecessor, kLinkType, kLag };
enum UdfType { kUdfTypeId, kUdfTable, kUdfLabel, kUdfDataType };
enum UdfValue { kValueType, kValueOwner, kValueDate, kValueNumber, kValueText };
}  // namespace col

const std::array<TableLayout, static_cast<std::size_t>(Table::Count)>& tableLayouts() {
    static const std::array<TableLayout, static_cast<std::size_t>(Table::Count)> layouts{{
        {"PROJECT",
         {"proj_id", "proj_short_name", "export_flag", "clndr_id", "last_recalc_date", "name_sep_char",
          "sum_base_proj_id", "critical_drtn_hr_cnt", "critical_path_type"},
         Need::Always},
        {"PROJWBS", {"wbs_id", "proj_id", "parent_wbs_id", "seq_num", "proj_node_flag", "wbs_short_name", "wbs_name"},
         Need::Always},
        {"TASK",
         {"task_id",           "proj_id",         "wbs_id",           "clndr_id",          "task_code",
          "task_name",         "task_type",       "status_code",      "complete_pct_type", "phys_complete_pct",
          "act_start_date",    "act_end_date",    "restart_date",     "reend_date",        "target_start_date",
          "target_end_date",   "early_start_date", "early_end_date",  "target_drtn_hr_cnt", "remain_drtn_hr_cnt",
          "suspend_date",      "resume_date",     "act_work_qty",     "remain_work_qty",   "act_equip_qty",
          "remain_equip_qty",  "total_float_hr_cnt", "free_float_hr_cnt", "late_start_date", "late_end_date",
          "cstr_type",         "cstr_date",       "driving_path_flag"},
         Need::Always},
        {"CALENDAR", {"clndr_id", "default_flag", "base_clndr_id", "clndr_data"}, Need::Always},
        {"TASKRSRC", {"task_id", "rsrc_id", "act_reg_cost", "act_ot_cost", "remain_cost"}, Need::Details},
        {"RSRC", {"rsrc_id", "rsrc_name"}, Need::Details},
        {"PROJCOST", {"task_id", "act_cost", "remain_cost"}, Need::Details},
        {"TASKMEMO", {"memo_id", "task_id", "task_memo"}, Need::Details},
        {"WBSMEMO", {"wbs_memo_id", "wbs_id", "wbs_memo"}, Need::Details},
        {"CURRTYPE", {"curr_short_name", "curr_symbol", "decimal_symbol", "digit_group_symbol"}, Need::Always},
        {"TASKPRED", {"task_id", "pred_task_id", "pred_type", "lag_hr_cnt"}, Need::Schedule},
        {"UDFTYPE", {"udf_type_id", "table_name", "udf_type_label", "logical_data_type"}, Need::Custom},
        {"UDFVALUE", {"udf_type_id", "fk_id", "udf_date", "udf_number", "udf_text"}, Need::Custom},
    }};
    return layouts;
}

// The number format and code page the currency table tells.
struct Currencies {
    char decimal = '.';
    char grouping = '\0';
    bool cyrillic = false;  // the euro sign is 0x88: a Windows-1251 export
};

class XerReader {
public:
    XerReader(std::string_view text, const Reporter& reporter, const ReadOptions& options)
        : text_(text), reporter_(reporter), details_(options.details), schedule_(options.details && options.schedule),
          custom_(options.details && options.custom.any()) {}

    P6File read() {
        Lines lines(text_);
        std::string_view line;
        if (!lines.next(line) || line.substr(0, 6) != "ERMHDR") reporter_.notAPlan();
        splitFields(line, fields_);
        const std::string_view baseCurrency = fields_.size() > 8 ? trimmed(fields_[8]) : std::string_view();
        readCurrencies(baseCurrency);

        bool ended = false;
        std::string_view lastTable = "ERMHDR";
        while (lines.next(line)) {
            line_ = lines.number();
            if (line.empty()) continue;
            if (line[0] == '\t') {
                row(line);
                continue;
            }
            const bool record = line.size() >= 2 && line[0] == '%' && (line.size() == 2 || line[2] == '\t');
            if (!record) garbage();
            switch (line[1]) {
            case 'T':
                splitFields(line, fields_);
                lastTable = fields_.size() > 1 ? trimmed(fields_[1]) : std::string_view();
                startTable(lastTable);
                break;
            case 'F':
                if (table_) columns(line);
                break;
            case 'R':
                row(line);
                break;
            case 'E': ended = true; break;
            default: garbage();
            }
            if (ended) break;
        }
        if (!ended)
            reporter_.damaged(QStringLiteral("it ends in the %1 table, before its end record: the file was cut short")
                                  .arg(shownText(lastTable)));
        assignUdfSlots(file_.udfTypes);
        return std::move(file_);
    }

private:
    [[noreturn]] void garbage() const {
        reporter_.damaged(QStringLiteral("line %1 is not a record of an XER file").arg(line_));
    }

    [[noreturn]] void badValue(std::size_t column, std::string_view value, const char* what) const {
        reporter_.damaged(QStringLiteral("line %1: the %2 \"%3\" of the %4 table is not %5")
                              .arg(line_)
                              .arg(QLatin1String(layout_->columns[column]), shownText(value), QLatin1String(layout_->name),
                                   QLatin1String(what)));
    }

    // Finds the currency table wherever it stands: numbers and text are read by what it says.
    void readCurrencies(std::string_view baseCurrency) {
        Lines lines(text_);
        std::string_view line;
        lines.next(line);
        bool inTable = false;
        std::vector<int> index;
        const TableLayout& currency = tableLayouts()[static_cast<std::size_t>(Table::Currency)];
        while (lines.next(line)) {
            if (line.size() >= 2 && line[0] == '%' && line[1] == 'E') break;
            if (line.size() >= 2 && line[0] == '%' && line[1] == 'T') {
                if (inTable) break;
                splitFields(line, fields_);
                inTable = fields_.size() > 1 && equalsIgnoringCase(trimmed(fields_[1]), currency.name);
                index.assign(currency.columns.size(), -1);
                continue;
            }
            if (!inTable || line.size() < 2) continue;
            splitFields(line, fields_);
            if (line[0] == '%' && line[1] == 'F') {
                for (std::size_t k = 1; k < fields_.size(); ++k)
                    for (std::size_t c = 0; c < currency.columns.size(); ++c)
                        if (index[c] < 0 && equalsIgnoringCase(trimmed(fields_[k]), currency.columns[c]))
                            index[c] = static_cast<int>(k);
                continue;
            }
            const auto value = [&](int c) {
                const int k = index[static_cast<std::size_t>(c)];
                return k > 0 && static_cast<std::size_t>(k) < fields_.size() ? fields_[static_cast<std::size_t>(k)]
                                                                            : std::string_view();
            };
            const std::string_view name = trimmed(value(col::kCurrencyName));
            if (name == "EUR" && value(col::kSymbol) == "\x88") currencies_.cyrillic = true;
            if (!baseCurrency.empty() && name == baseCurrency) {
                const std::string_view decimal = value(col::kDecimal), grouping = value(col::kGrouping);
                if (decimal.size() == 1) currencies_.decimal = decimal[0];
                if (grouping.size() == 1 && grouping[0] != currencies_.decimal) currencies_.grouping = grouping[0];
            }
        }
        encoding_ = Encoding::Utf8;
        if (hasHighBytes(text_) && !isValidUtf8(text_))
            encoding_ = currencies_.cyrillic ? Encoding::Windows1251 : Encoding::Windows1252;
    }

    void startTable(std::string_view name) {
        table_ = false;
        layout_ = nullptr;
        const auto& layouts = tableLayouts();
        for (std::size_t t = 0; t < layouts.size(); ++t) {
            if (!equalsIgnoringCase(name, layouts[t].name)) continue;
            if (static_cast<Table>(t) == Table::Currency || !wanted(layouts[t].need)) return;
            current_ = static_cast<Table>(t);
            layout_ = &layouts[t];
            index_.assign(layout_->columns.size(), -1);
            columnCount_ = 0;
            table_ = true;
            headed_ = false;
            return;
        }
    }

    void columns(std::string_view line) {
        splitFields(line, fields_);
        index_.assign(layout_->columns.size(), -1);
        columnCount_ = fields_.size() - 1;
        for (std::size_t k = 1; k < fields_.size(); ++k) {
            const std::string_view name = trimmed(fields_[k]);
            for (std::size_t c = 0; c < layout_->columns.size(); ++c)
                if (index_[c] < 0 && equalsIgnoringCase(name, layout_->columns[c])) index_[c] = static_cast<int>(k - 1);
        }
        headed_ = true;
    }

    void row(std::string_view line) {
        if (!table_ || !headed_) return;  // a table not needed, or a row before its header
        const auto tab = line.find('\t');
        splitFields(tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1), fields_);
        if (tab == std::string_view::npos) fields_.clear();
        if (fields_.size() > columnCount_) {
            for (std::size_t k = columnCount_; k < fields_.size(); ++k)
                if (!trimmed(fields_[k]).empty())
                    reporter_.damaged(QStringLiteral("line %1: a row of the %2 table has more values than its header names")
                                          .arg(line_)
                                          .arg(QLatin1String(layout_->name)));
        } else if (fields_.size() < columnCount_) {
            for (const int k : index_)
                if (k >= 0 && static_cast<std::size_t>(k) >= fields_.size())
                    reporter_.damaged(QStringLiteral("line %1: a row of the %2 table is cut short")
                                          .arg(line_)
                                          .arg(QLatin1String(layout_->name)));
        }
        switch (current_) {
        case Table::Project: project(); break;
        case Table::Wbs: wbs(); break;
        case Table::Task: task(); break;
        case Table::Calendar: calendar(); break;
        case Table::TaskResource: assignment(); break;
        case Table::Resource: resource(); break;
        case Table::Expense: expense(); break;
        case Table::TaskMemo: memo(file_.activityNotes); break;
        case Table::WbsMemo: memo(file_.wbsNotes); break;
        case Table::Relationship: relationship(); break;
        case Table::UdfType: udfType(); break;
        case Table::UdfValue: udfValue(); break;
        case Table::Currency:
        case Table::Count: break;
        }
    }

    // ---- values ----

    std::string_view raw(std::size_t column) const {
        const int k = index_[column];
        return k >= 0 && static_cast<std::size_t>(k) < fields_.size() ? fields_[static_cast<std::size_t>(k)]
                                                                      : std::string_view();
    }

    Key key(std::size_t column) const {
        const std::string_view v = trimmed(raw(column));
        if (v.empty()) return kNoKey;
        Key k = 0;
        if (v.size() <= 18) {  // plain digits cannot overflow: read in place
            std::size_t i = 0;
            while (i < v.size() && v[i] >= '0' && v[i] <= '9') k = k * 10 + (v[i++] - '0');
            if (i == v.size()) return k;
            k = 0;
        }
        const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), k);
        if (error != std::errc() || end != v.data() + v.size() || k == kNoKey) badValue(column, v, "a number");
        return k;
    }

    double number(std::size_t column) const {
        std::string_view v = trimmed(raw(column));
        if (v.empty()) return kNone;
        if (v.size() == 1 && v[0] >= '0' && v[0] <= '9') return v[0] - '0';  // most often "0"
        std::string spare;
        if (currencies_.decimal != '.' || (currencies_.grouping && v.find(currencies_.grouping) != std::string_view::npos)) {
            for (const char c : v) {
                if (c == currencies_.grouping) continue;
                spare += c == currencies_.decimal ? '.' : c;
            }
            v = spare;
        }
        if (!v.empty() && v.front() == '+') v.remove_prefix(1);
        double d = 0;
        if (plainDecimal(v, d)) return d;
        const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), d);
        if (error != std::errc() || end != v.data() + v.size() || !std::isfinite(d)) badValue(column, trimmed(raw(column)), "a number");
        return d;
    }

    Minutes date(std::size_t column) const {
        const std::string_view v = raw(column);
        if (trimmed(v).empty()) return kNoDate;
        Minutes m = 0;
        if (!parseDateTime(v, m)) badValue(column, v, "a date");
        return m;
    }

    bool flag(std::size_t column) const { return trimmed(raw(column)) == "Y"; }

    // Text with P6's escapes undone: "" for ", 0x7F pairs and single ones for line breaks.
    QString text(std::size_t column) const {
        std::string_view v = raw(column);
        if (v.find('"') != std::string_view::npos || v.find('\x7F') != std::string_view::npos) {
            std::string& s = spare_;
            s.clear();
            for (std::size_t i = 0; i < v.size(); ++i) {
                const char c = v[i];
                if (c == '"' && i + 1 < v.size() && v[i + 1] == '"') ++i;
                if (c == '\x7F') {
                    if (i + 1 < v.size() && v[i + 1] == '\x7F') ++i;
                    s += '\n';
                    continue;
                }
                s += c;
            }
            v = s;
        }
        switch (encoding_) {
        case Encoding::Utf8: return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
        case Encoding::Windows1252: return decode(CodePage::Windows1252, v);
        case Encoding::Windows1251: return decode(CodePage::Windows1251, v);
        }
        return {};
    }

    void count(std::size_t size, std::size_t most, const char* what) const {
        if (size < most) return;
        if (most == kMaxRows) reporter_.damaged(QStringLiteral("it holds more rows than a sheet can take (%1)").arg(most));
        reporter_.damaged(QStringLiteral("it holds more %1 than a plan can (%2)").arg(QLatin1String(what)).arg(most));
    }

    // ---- tables ----

    void project() {
        count(file_.projects.size(), kMaxRows, "projects");
        Project& p = file_.projects.emplace_back();
        p.id = key(col::kProjId);
        p.shortName = text(col::kShortName);
        p.exported = index_[col::kExportFlag] < 0 || flag(col::kExportFlag);
        p.calendar = key(col::kProjCalendar);
        p.dataDate = date(col::kDataDate);
        p.separator = text(col::kSeparator);
        p.baseline = key(col::kBaseline);
        if (p.baseline == p.id) p.baseline = kNoKey;
        if (schedule_) {
            p.longestPath = trimmed(raw(col::kCriticalPath)) == "CT_DrivPath";
            const double limit = number(col::kCriticalFloat);
            if (given(limit)) p.criticalFloat = limit;
        }
    }

    void wbs() {
        count(file_.nodes.size() + file_.activities.size(), kMaxRows, "rows");
        WbsNode& n = file_.nodes.emplace_back();
        n.id = key(col::kWbsId);
        n.project = key(col::kWbsProject);
        n.parent = key(col::kParent);
        const double sequence = number(col::kSequence);
        n.sequence = given(sequence) ? static_cast<std::int64_t>(std::clamp(sequence, -1e15, 1e15)) : 0;
        n.projectNode = flag(col::kProjectNode);
        n.code = text(col::kWbsCode);
        n.name = text(col::kWbsName);
    }

    void task() {
        count(file_.nodes.size() + file_.activities.size(), kMaxRows, "rows");
        Activity& a = file_.activities.emplace_back();
        a.id = key(col::kTaskId);
        a.project = key(col::kTaskProject);
        a.wbs = key(col::kTaskWbs);
        a.calendar = key(col::kTaskCalendar);
        a.code = text(col::kCode);
        a.name = text(col::kName);
        const std::string_view type = trimmed(raw(col::kType));
        a.milestone = type == "TT_Mile" ? Milestone::Start : type == "TT_FinMile" ? Milestone::Finish : Milestone::No;
        const std::string_view status = trimmed(raw(col::kStatus));
        a.progress = status == "TK_Complete" ? Progress::Completed
                     : status == "TK_Active" ? Progress::InProgress
                                             : Progress::NotStarted;
        const std::string_view percent = trimmed(raw(col::kPercentType));
        a.percentType = percent == "CP_Phys"    ? PercentType::Physical
                        : percent == "CP_Units" ? PercentType::Units
                                                : PercentType::Duration;
        a.physicalPercent = number(col::kPhysical);
        a.actualStart = date(col::kActualStart);
        a.actualFinish = date(col::kActualFinish);
        a.remainingStart = date(col::kRemainingStart);
        a.remainingFinish = date(col::kRemainingFinish);
        a.plannedStart = date(col::kPlannedStart);
        a.plannedFinish = date(col::kPlannedFinish);
        a.earlyStart = date(col::kEarlyStart);
        a.earlyFinish = date(col::kEarlyFinish);
        a.plannedDuration = number(col::kPlannedDuration);
        a.remainingDuration = number(col::kRemainingDuration);
        a.suspend = date(col::kSuspend);
        a.resume = date(col::kResume);
        a.actualLabor = number(col::kActualWork);
        a.remainingLabor = number(col::kRemainingWork);
        a.actualNonLabor = number(col::kActualEquipment);
        a.remainingNonLabor = number(col::kRemainingEquipment);
        if (!schedule_) return;
        a.totalFloat = number(col::kTotalFloat);
        a.freeFloat = number(col::kFreeFloat);
        a.lateStart = date(col::kLateStart);
        a.lateFinish = date(col::kLateFinish);
        a.constraintType = constraintTypeOf(raw(col::kConstraintType));
        a.constraintDate = date(col::kConstraintDate);
        a.longestPath = flag(col::kDrivingPath);
    }

    void relationship() {
        count(file_.relationships.size(), kMaxCharges, "relationships");
        Relationship& r = file_.relationships.emplace_back();
        r.successor = key(col::kSuccessor);
        r.predecessor = key(col::kPredecessor);
        r.type = linkTypeOf(raw(col::kLinkType));
        if (r.type < 0) badValue(col::kLinkType, raw(col::kLinkType), "a relationship type");
        const double lag = number(col::kLag);
        r.lag = given(lag) ? lag : 0;
    }

    void udfType() {
        if (trimmed(raw(col::kUdfTable)) != "TASK") return;
        count(file_.udfTypes.size(), kMaxCalendars, "user-defined fields");
        file_.udfTypes.push_back({key(col::kUdfTypeId), text(col::kUdfLabel), udfKindOf(raw(col::kUdfDataType))});
    }

    void udfValue() {
        count(file_.udfValues.size(), kMaxCharges, "user-defined values");
        UdfValue& v = file_.udfValues.emplace_back();
        v.type = key(col::kValueType);
        v.activity = key(col::kValueOwner);
        v.date = date(col::kValueDate);
        v.number = number(col::kValueNumber);
        v.text = text(col::kValueText);
    }

    bool wanted(Need need) const {
        switch (need) {
        case Need::Always: return true;
        case Need::Details: return details_;
        case Need::Schedule: return schedule_;
        case Need::Custom: return custom_;
        }
        return false;
    }

    void calendar() {
        count(file_.calendars.size(), kMaxCalendars, "calendars");
        Calendar& c = file_.calendars.emplace_back();
        c.id = key(col::kCalendarId);
        c.isDefault = flag(col::kDefault);
        c.base = key(col::kBase);
        c.times = parseCalendarData(raw(col::kData));
    }

    void assignment() {
        count(file_.charges.size(), kMaxCharges, "assignments and expenses");
        const Key resource = key(col::kAssignmentResource);
        const double cost = [this] {
            double sum = 0;
            for (const std::size_t c : {col::kRegularCost, col::kOvertimeCost, col::kRemainingCost}) {
                const double v = number(c);
                if (given(v)) sum += v;
            }
            return sum;
        }();
        file_.charges.push_back({key(col::kAssignmentTask), resource, cost});
    }

    void resource() {
        const Key id = key(col::kResourceId);
        if (id != kNoKey) file_.resources.emplace(id, text(col::kResourceName));
    }

    void expense() {
        count(file_.charges.size(), kMaxCharges, "assignments and expenses");
        const double actual = number(col::kExpenseActual), remaining = number(col::kExpenseRemaining);
        file_.charges.push_back({key(col::kExpenseTask), kNoKey, (given(actual) ? actual : 0) + (given(remaining) ? remaining : 0)});
    }

    void memo(std::vector<Note>& notes) {
        count(file_.activityNotes.size() + file_.wbsNotes.size(), kMaxNotes, "notes");
        notes.push_back({key(col::kMemoOwner), key(col::kMemoId), text(col::kMemoText)});
    }

    std::string_view text_;
    const Reporter& reporter_;
    bool details_;
    bool schedule_;
    bool custom_;
    Currencies currencies_;
    Encoding encoding_ = Encoding::Utf8;
    std::size_t line_ = 1;
    bool table_ = false;    // the current table is read
    bool headed_ = false;   // and its columns are known
    Table current_ = Table::Count;
    const TableLayout* layout_ = nullptr;
    std::vector<int> index_;  // value index of each column used; -1 when the table lacks it
    std::size_t columnCount_ = 0;
    std::vector<std::string_view> fields_;
    mutable std::string spare_;
    P6File file_;
};

// UTF-16 text (with or without a byte-order mark) as UTF-8.
QByteArray fromUtf16(const QByteArray& bytes, bool bigEndian, qsizetype skip) {
    QStringDecoder decoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                           QStringConverter::Flag::Stateless);
    return QString(decoder.decode(QByteArrayView(bytes).sliced(std::min(skip, bytes.size())))).toUtf8();
}

}  // namespace
}  // namespace p6

bool isXerFile(const QByteArray& head) {
    const auto starts = [&head](const char* prefix, qsizetype n) {
        return head.size() >= n && std::memcmp(head.constData(), prefix, static_cast<std::size_t>(n)) == 0;
    };
    return starts("ERMHDR", 6) || starts("\xEF\xBB\xBF" "ERMHDR", 9) || starts("\xFF\xFE" "E\0R\0M\0H\0D\0R\0", 14) ||
           starts("E\0R\0M\0H\0D\0R\0", 12) || starts("\xFE\xFF" "\0E\0R\0M\0H\0D\0R", 14);
}

Plan readXer(QByteArray bytes, const ReadOptions& options) {
    using namespace p6;
    const Reporter reporter;
    const auto at = [&bytes](qsizetype i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
    qsizetype skip = 0;
    if (at(0) == 0xFF && at(1) == 0xFE) bytes = fromUtf16(bytes, false, 2);
    else if (at(0) == 0xFE && at(1) == 0xFF) bytes = fromUtf16(bytes, true, 2);
    else if (at(0) == 'E' && at(1) == 0 && at(2) == 'R' && at(3) == 0) bytes = fromUtf16(bytes, false, 0);
    else if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) skip = 3;
    const std::size_t budget = static_cast<std::size_t>(bytes.size()) * 4 + (std::size_t(1) << 24);
    P6File file;
    {
        const std::string_view text(bytes.constData() + skip, static_cast<std::size_t>(bytes.size() - skip));
        file = XerReader(text, reporter, options).read();
    }
    bytes = QByteArray();  // every value kept is a copy
    Plan plan = buildPlan(std::move(file), reporter, options, budget);
    finishPlan(plan, options);
    return plan;
}

}  // namespace quorrix::importer::plans
