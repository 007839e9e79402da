#include "importer/plans/xml/mspdi_reader.h"

#include <QByteArray>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <pugixml.hpp>
#include <unordered_map>
#include <vector>

#include "importer/plans/common/details_pool.h"
#include "importer/plans/common/finish_plan.h"
#include "importer/plans/common/plan_file.h"
#include "importer/plans/common/resource_names.h"
#include "importer/plans/common/schedule.h"
#include "platform/failure.h"
#include "platform/wall_clock.h"
#include "platform/file_names.h"

namespace quorrix::importer::plans {

namespace {

using failure_number::kBadFileFormat;

constexpr const char* kProjectNamespace = "http://schemas.microsoft.com/project";
// More task rows than a sheet holds below its header row cannot be imported: such an ID is
// taken as damage rather than a reason to reserve millions of empty positions.
constexpr long kMaxTaskId = 1048575;

// Project's XML as it is written: the document type definition is kept as a node only so that
// it can be refused; no entity beyond the five predefined ones is ever expanded. Whitespace-only
// text that is an element's single child (a name of blanks) is kept.
constexpr unsigned kParseFlags =
    pugi::parse_default | pugi::parse_doctype | pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata;

[[noreturn]] void damaged(const QString& what) {
    throw Failure(kBadFileFormat, QStringLiteral("The plan is damaged: %1.").arg(what));
}

[[noreturn]] void notAPlan() { throw Failure(kBadFileFormat, QStringLiteral("The file is not a project plan.")); }

const char* localName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

bool isNamed(const pugi::xml_node& node, const char* wanted) {
    return node.type() == pugi::node_element && std::strcmp(localName(node.name()), wanted) == 0;
}

// True when the name is exactly the literal. The first character has been compared already; the
// comparison stops at the first difference, so it never reads past the end of a shorter name.
template <std::size_t N>
bool nameIs(const char* name, const char (&literal)[N]) {
    for (std::size_t i = 1; i < N; ++i)
        if (name[i] != literal[i]) return false;
    return true;
}

// The elements of a task, an assignment or a resource that the reader takes. Every other element
// is told apart from these by its first characters, without a copy or a search.
enum class Field : unsigned char {
    None,  // text or a CDATA section among the fields
    Other,
    Id,
    Uid,
    IsNull,
    Name,
    Duration,
    Start,
    Finish,
    OutlineLevel,
    OutlineNumber,
    Wbs,
    PercentComplete,
    Milestone,
    Summary,
    Baseline,
    ActualStart,
    ActualFinish,
    Cost,
    Work,
    Notes,
    Number,
    TaskUid,
    ResourceUid,
    Units,
    // the schedule
    TotalSlack,
    FreeSlack,
    Critical,
    ConstraintType,
    ConstraintDate,
    Deadline,
    Priority,
    EarlyStart,
    EarlyFinish,
    LateStart,
    LateFinish,
    Type,
    Manual,
    Active,
    Estimated,
    DurationFormat,
    DurationText,
    PredecessorLink,
    ExtendedAttribute,
    OutlineCode,
};

[[gnu::always_inline]] inline Field fieldOf(const char* n) {
    switch (n[0]) {
    case '\0': return Field::None;
    case 'A':
        if (n[1] == 'c' && n[2] == 't' && n[3] == 'u' && n[4] == 'a' && n[5] == 'l') {
            if (nameIs(n, "ActualStart")) return Field::ActualStart;
            if (nameIs(n, "ActualFinish")) return Field::ActualFinish;
        }
        if (nameIs(n, "Active")) return Field::Active;
        break;
    case 'B':
        if (nameIs(n, "Baseline")) return Field::Baseline;
        break;
    case 'C':
        if (nameIs(n, "Cost")) return Field::Cost;
        if (nameIs(n, "Critical")) return Field::Critical;
        if (nameIs(n, "ConstraintType")) return Field::ConstraintType;
        if (nameIs(n, "ConstraintDate")) return Field::ConstraintDate;
        break;
    case 'D':
        if (nameIs(n, "Duration")) return Field::Duration;
        if (nameIs(n, "DurationFormat")) return Field::DurationFormat;
        if (nameIs(n, "DurationText")) return Field::DurationText;
        if (nameIs(n, "Deadline")) return Field::Deadline;
        break;
    case 'E':
        if (nameIs(n, "EarlyStart")) return Field::EarlyStart;
        if (nameIs(n, "EarlyFinish")) return Field::EarlyFinish;
        if (nameIs(n, "Estimated")) return Field::Estimated;
        if (nameIs(n, "ExtendedAttribute")) return Field::ExtendedAttribute;
        break;
    case 'L':
        if (nameIs(n, "LateStart")) return Field::LateStart;
        if (nameIs(n, "LateFinish")) return Field::LateFinish;
        break;
    case 'F':
        if (nameIs(n, "Finish")) return Field::Finish;
        if (nameIs(n, "FreeSlack")) return Field::FreeSlack;
        break;
    case 'I':
        if (n[1] == 'D' && n[2] == '\0') return Field::Id;
        if (nameIs(n, "IsNull")) return Field::IsNull;
        break;
    case 'M':
        if (nameIs(n, "Milestone")) return Field::Milestone;
        if (nameIs(n, "Manual")) return Field::Manual;
        break;
    case 'N':
        if (n[1] == 'a' && nameIs(n, "Name")) return Field::Name;
        if (n[1] == 'o' && nameIs(n, "Notes")) return Field::Notes;
        if (n[1] == 'u' && nameIs(n, "Number")) return Field::Number;
        break;
    case 'O':
        if (nameIs(n, "OutlineLevel")) return Field::OutlineLevel;
        if (nameIs(n, "OutlineNumber")) return Field::OutlineNumber;
        if (nameIs(n, "OutlineCode")) return Field::OutlineCode;
        break;
    case 'P':
        if (nameIs(n, "PercentComplete")) return Field::PercentComplete;
        if (nameIs(n, "Priority")) return Field::Priority;
        if (nameIs(n, "PredecessorLink")) return Field::PredecessorLink;
        break;
    case 'R':
        if (nameIs(n, "ResourceUID")) return Field::ResourceUid;
        break;
    case 'S':
        if (n[1] == 't' && nameIs(n, "Start")) return Field::Start;
        if (n[1] == 'u' && nameIs(n, "Summary")) return Field::Summary;
        break;
    case 'T':
        if (nameIs(n, "TaskUID")) return Field::TaskUid;
        if (nameIs(n, "TotalSlack")) return Field::TotalSlack;
        if (nameIs(n, "Type")) return Field::Type;
        break;
    case 'U':
        if (n[1] == 'I' && n[2] == 'D' && n[3] == '\0') return Field::Uid;
        if (nameIs(n, "Units")) return Field::Units;
        break;
    case 'W':
        if (n[1] == 'B' && nameIs(n, "WBS")) return Field::Wbs;
        if (n[1] == 'o' && nameIs(n, "Work")) return Field::Work;
        break;
    default:
        break;
    }
    return Field::Other;
}

// The field a child element is, with or without a namespace prefix.
[[gnu::always_inline]] inline Field fieldOf(const pugi::xml_node& child, bool prefixed) {
    const char* n = child.name();
    return fieldOf(prefixed ? localName(n) : n);
}

// The whole text of an element: the text stored with the element itself and every text or
// CDATA section among its children, in order.
std::string fullText(const pugi::xml_node& node) {
    std::string text = node.value();
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    return text;
}

// The text of a field element, where it stands in the parsed document when it is a single text
// (as always in Project's files); otherwise put together in `spare`.
const char* textOf(const pugi::xml_node& node, std::string& spare) {
    if (!node.first_child()) return node.value();
    spare = fullText(node);
    return spare.c_str();
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* skipSpaces(const char* p) {
    while (isSpace(*p)) ++p;
    return p;
}

// The text between leading and trailing white space.
struct Span {
    const char* begin;
    const char* end;
    bool empty() const { return begin == end; }
    std::size_t size() const { return static_cast<std::size_t>(end - begin); }
    bool is(const char* literal) const {
        const std::size_t n = std::strlen(literal);
        return size() == n && std::memcmp(begin, literal, n) == 0;
    }
};

Span trimmed(const char* text) {
    const char* begin = skipSpaces(text);
    const char* end = begin + std::strlen(begin);
    while (end > begin && isSpace(end[-1])) --end;
    return {begin, end};
}

bool parseTaskId(Span text, long& id) {
    if (text.empty() || text.size() > 9) return false;
    long value = 0;
    for (const char* p = text.begin; p != text.end; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
    }
    id = value;
    return true;
}

bool isTrue(const char* text) {
    const Span t = trimmed(text);
    return t.is("1") || t.is("true");
}

QDateTime readDate(const pugi::xml_node& node, const char* field, long id) {
    if (!node) return {};
    std::string spare;
    const char* text = textOf(node, spare);
    if (*skipSpaces(text) == '\0') return {};
    QDateTime value = parseWallClock(text);
    if (!value.isValid())
        damaged(QStringLiteral("the %1 of task %2 (\"%3\") is not a date")
                              .arg(QLatin1String(field))
                              .arg(id)
                              .arg(shownValue(QString::fromUtf8(text))));
    return value;
}

// ---- the further fields: a value that cannot be read is left empty, like one not written ----

std::optional<double> numberIn(const pugi::xml_node& node) {
    if (!node) return std::nullopt;
    std::string spare;
    Span t = trimmed(textOf(node, spare));
    if (t.begin != t.end && *t.begin == '+') ++t.begin;
    double value = 0;
    const auto [end, error] = std::from_chars(t.begin, t.end, value);
    if (t.empty() || error != std::errc() || end != t.end || !std::isfinite(value)) return std::nullopt;
    return value == 0 ? 0 : value;  // no negative zero
}

std::optional<long long> wholeNumberIn(const pugi::xml_node& node) {
    if (!node) return std::nullopt;
    std::string spare;
    Span t = trimmed(textOf(node, spare));
    if (t.begin != t.end && *t.begin == '+') ++t.begin;
    long long value = 0;
    const auto [end, error] = std::from_chars(t.begin, t.end, value);
    if (t.empty() || error != std::errc() || end != t.end) return std::nullopt;
    return value;
}

std::optional<bool> flagIn(const pugi::xml_node& node) {
    if (!node) return std::nullopt;
    std::string spare;
    const Span t = trimmed(textOf(node, spare));
    if (t.is("1") || t.is("true")) return true;
    if (t.is("0") || t.is("false")) return false;
    return std::nullopt;
}

std::optional<double> minutesIn(const pugi::xml_node& node) {
    if (!node) return std::nullopt;
    std::string spare;
    double minutes = 0;
    if (!parseDurationMinutes(textOf(node, spare), minutes)) return std::nullopt;
    return minutes;
}

QDateTime dateIn(const pugi::xml_node& node) {
    if (!node) return {};
    std::string spare;
    return parseWallClock(textOf(node, spare));
}

QString textIn(const pugi::xml_node& node) {
    if (!node) return {};
    std::string spare;
    const char* text = textOf(node, spare);
    return QString::fromUtf8(text, static_cast<qsizetype>(std::strlen(text)));
}

// Line breaks as line feeds, however the file wrote them.
QString notesIn(const pugi::xml_node& node) {
    QString text = textIn(node);
    if (text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    return text;
}

struct TaskFields {
    pugi::xml_node id, name, isNull, duration, start, finish;
    pugi::xml_node uid, outlineLevel, outlineNumber, wbs, percentComplete, milestone, summary, actualStart,
        actualFinish, cost, work, notes, baseline;
    pugi::xml_node totalSlack, freeSlack, critical, constraintType, constraintDate, deadline, priority, earlyStart,
        earlyFinish, lateStart, lateFinish, type, manual, active, estimated, durationFormat, durationText;
    pugi::xml_node firstLink;    // the first link, when the schedule is asked for
    pugi::xml_node firstCustom;  // the first custom value, when custom fields are asked for
    bool hasOtherFields = false;
};

// Whether a Baseline element is the baseline itself (number 0) rather than one of the numbered ones.
bool isBaselineZero(const pugi::xml_node& baseline, bool prefixed) {
    for (pugi::xml_node child = baseline.first_child(); child; child = child.next_sibling())
        if (fieldOf(child, prefixed) == Field::Number) {
            const std::optional<long long> number = wholeNumberIn(child);
            return number && *number == 0;
        }
    return false;
}

// One walk over the children of a task; the first of a field written twice counts. The further
// fields are noted only when they are asked for (a baseline is looked into only then), and
// without them the walk ends once the four fields and the identifiers are found: Project writes
// them among a task's first elements. Asked for some details only, it ends once it has those too.
TaskFields fieldsOf(const pugi::xml_node& task, bool prefixed, const ReadOptions& options) {
    TaskFields f;
    const bool details = options.details && options.only == 0;
    const bool schedule = options.details && options.schedule;
    const bool custom = options.details && options.custom.any();
    const bool walkAll = details || schedule || custom;
    const unsigned some = options.details ? options.only : 0;
    int missing = 6 + std::popcount(some);  // of ID, IsNull, Name, Duration, Start, Finish and those asked for
    const auto take = [&missing](pugi::xml_node& field, const pugi::xml_node& child) {
        if (field) return;
        field = child;
        --missing;
    };
    const auto note = [details](pugi::xml_node& field, const pugi::xml_node& child) {
        if (details && !field) field = child;
    };
    const auto noteAsked = [&](pugi::xml_node& field, const pugi::xml_node& child, unsigned bit) {
        if (some & bit) take(field, child);
        else note(field, child);
    };
    const auto noteSchedule = [schedule](pugi::xml_node& field, const pugi::xml_node& child) {
        if (schedule && !field) field = child;
    };
    for (pugi::xml_node child = task.first_child(); child; child = child.next_sibling()) {
        const Field field = fieldOf(child, prefixed);
        // Identifiers alone make a blank row.
        if (field != Field::None && field != Field::Id && field != Field::IsNull && field != Field::Uid)
            f.hasOtherFields = true;
        switch (field) {
        case Field::None: continue;
        case Field::Id: take(f.id, child); break;
        case Field::IsNull: take(f.isNull, child); break;
        case Field::Uid:
            if (walkAll && !f.uid) f.uid = child;
            break;
        case Field::Name: take(f.name, child); break;
        case Field::Duration: take(f.duration, child); break;
        case Field::Start: take(f.start, child); break;
        case Field::Finish: take(f.finish, child); break;
        case Field::OutlineLevel: noteAsked(f.outlineLevel, child, kOutlineLevelDetail); break;
        case Field::OutlineNumber: note(f.outlineNumber, child); break;
        case Field::Wbs: note(f.wbs, child); break;
        case Field::PercentComplete: noteAsked(f.percentComplete, child, kPercentCompleteDetail); break;
        case Field::Milestone: noteAsked(f.milestone, child, kMilestoneDetail); break;
        case Field::Summary: note(f.summary, child); break;
        case Field::ActualStart: note(f.actualStart, child); break;
        case Field::ActualFinish: note(f.actualFinish, child); break;
        case Field::Cost: note(f.cost, child); break;
        case Field::Work: note(f.work, child); break;
        case Field::Notes: note(f.notes, child); break;
        case Field::Baseline:
            if ((details || schedule) && !f.baseline && isBaselineZero(child, prefixed)) f.baseline = child;
            break;
        case Field::TotalSlack: noteSchedule(f.totalSlack, child); break;
        case Field::FreeSlack: noteSchedule(f.freeSlack, child); break;
        case Field::Critical: noteSchedule(f.critical, child); break;
        case Field::ConstraintType: noteSchedule(f.constraintType, child); break;
        case Field::ConstraintDate: noteSchedule(f.constraintDate, child); break;
        case Field::Deadline: noteSchedule(f.deadline, child); break;
        case Field::Priority: noteSchedule(f.priority, child); break;
        case Field::EarlyStart: noteSchedule(f.earlyStart, child); break;
        case Field::EarlyFinish: noteSchedule(f.earlyFinish, child); break;
        case Field::LateStart: noteSchedule(f.lateStart, child); break;
        case Field::LateFinish: noteSchedule(f.lateFinish, child); break;
        case Field::Type: noteSchedule(f.type, child); break;
        case Field::Manual: noteSchedule(f.manual, child); break;
        case Field::Active: noteSchedule(f.active, child); break;
        case Field::Estimated: noteSchedule(f.estimated, child); break;
        case Field::DurationFormat: noteSchedule(f.durationFormat, child); break;
        case Field::DurationText: noteSchedule(f.durationText, child); break;
        case Field::PredecessorLink:
            if (schedule && !f.firstLink) f.firstLink = child;
            break;
        case Field::ExtendedAttribute:
        case Field::OutlineCode:
            if (custom && !f.firstCustom) f.firstCustom = child;
            break;
        default: break;
        }
        if (missing == 0 && !walkAll) break;
    }
    return f;
}

// The resources assigned to each task, from the plan's resources and assignments.
class Assignments {
public:
    Assignments(const pugi::xml_node& resources, const pugi::xml_node& assignments, bool prefixed) {
        if (resources)
            for (pugi::xml_node resource = resources.first_child(); resource; resource = resource.next_sibling()) {
                if (!isNamed(resource, "Resource")) continue;
                pugi::xml_node uid, name;
                for (pugi::xml_node child = resource.first_child(); child; child = child.next_sibling()) {
                    const Field field = fieldOf(child, prefixed);
                    if (field == Field::Uid) uid = child;
                    else if (field == Field::Name) name = child;
                }
                const std::optional<long long> key = wholeNumberIn(uid);
                if (key && !names_.count(*key)) names_.emplace(*key, textIn(name));
            }
        if (assignments)
            for (pugi::xml_node assignment = assignments.first_child(); assignment;
                 assignment = assignment.next_sibling()) {
                if (!isNamed(assignment, "Assignment")) continue;
                pugi::xml_node uid, task, resource, units;
                for (pugi::xml_node child = assignment.first_child(); child; child = child.next_sibling()) {
                    switch (fieldOf(child, prefixed)) {
                    case Field::Uid: uid = child; break;
                    case Field::TaskUid: task = child; break;
                    case Field::ResourceUid: resource = child; break;
                    case Field::Units: units = child; break;
                    default: break;
                    }
                }
                const std::optional<long long> taskKey = wholeNumberIn(task);
                const std::optional<long long> resourceKey = wholeNumberIn(resource);
                if (!taskKey || !resourceKey) continue;
                const std::optional<long long> order = wholeNumberIn(uid);
                byTask_[*taskKey].push_back({order.value_or(std::numeric_limits<long long>::max()), *resourceKey,
                                             numberIn(units).value_or(1)});
            }
    }

    // "Name1,Name2[50%]": in the order of the assignments' unique IDs; a resource the plan does
    // not list (such as Project's placeholder for none) gives no name; a resource assigned twice
    // is named once.
    QString namesOf(const std::optional<long long>& task) {
        if (!task) return {};
        const auto found = byTask_.find(*task);
        if (found == byTask_.end()) return {};
        std::vector<Assignment>& list = found->second;
        std::stable_sort(list.begin(), list.end(),
                         [](const Assignment& a, const Assignment& b) { return a.order < b.order; });
        QString text;
        std::vector<long long> named;
        for (const Assignment& a : list) {
            const auto resource = names_.find(a.resource);
            if (resource == names_.end() || resource->second.isEmpty()) continue;
            if (std::find(named.begin(), named.end(), a.resource) != named.end()) continue;
            named.push_back(a.resource);
            appendResourceName(text, resource->second, a.units);
        }
        return text;
    }

private:
    struct Assignment {
        long long order;
        long long resource;
        double units;
    };
    std::unordered_map<long long, QString> names_;
    std::unordered_map<long long, std::vector<Assignment>> byTask_;
};


// ---- the schedule and the custom fields ----

// The child element of that local name, or none.
pugi::xml_node childNamed(const pugi::xml_node& parent, const char* name) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        if (isNamed(child, name)) return child;
    return {};
}

std::optional<int> smallNumberIn(const pugi::xml_node& node) {
    const std::optional<long long> v = wholeNumberIn(node);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(*v);
}

// What the plan says about itself that its tasks' schedule and custom fields need.
struct PlanSettings {
    DurationUnits units;
    struct CodeValue {
        long long parent = 0;
        QString text;
    };
    // Per outline-code field ID: the values by value ID, and the separator after each level.
    std::unordered_map<long, std::unordered_map<long long, CodeValue>> codeValues;
    std::unordered_map<long, std::vector<QString>> codeSeparators;

    void readSetting(const pugi::xml_node& child) {
        const char* n = localName(child.name());
        if (std::strcmp(n, "MinutesPerDay") == 0) {
            if (const auto v = numberIn(child); v && *v > 0) units.minutesPerDay = *v;
        } else if (std::strcmp(n, "MinutesPerWeek") == 0) {
            if (const auto v = numberIn(child); v && *v > 0) units.minutesPerWeek = *v;
        } else if (std::strcmp(n, "DaysPerMonth") == 0) {
            if (const auto v = numberIn(child); v && *v > 0) units.daysPerMonth = *v;
        } else if (std::strcmp(n, "DurationFormat") == 0) {
            if (const auto v = smallNumberIn(child)) units.defaultFormat = *v;
        }
    }

    void readAliases(const pugi::xml_node& list, Plan& plan) const {
        for (pugi::xml_node a = list.first_child(); a; a = a.next_sibling()) {
            if (!isNamed(a, "ExtendedAttribute")) continue;
            const std::optional<long long> id = wholeNumberIn(childNamed(a, "FieldID"));
            const QString alias = textIn(childNamed(a, "Alias"));
            if (!id || alias.isEmpty()) continue;
            if (const auto slot = customSlotOfId(static_cast<long>(*id))) plan.customAliases.emplace_back(*slot, alias);
        }
    }

    void readOutlineCodes(const pugi::xml_node& list, Plan& plan) {
        for (pugi::xml_node code = list.first_child(); code; code = code.next_sibling()) {
            if (!isNamed(code, "OutlineCode")) continue;
            const std::optional<long long> id = wholeNumberIn(childNamed(code, "FieldID"));
            if (!id) continue;
            const auto slot = customSlotOfId(static_cast<long>(*id));
            if (!slot || customKindOf(*slot) != CustomKind::OutlineCode) continue;
            const QString alias = textIn(childNamed(code, "Alias"));
            if (!alias.isEmpty()) plan.customAliases.emplace_back(*slot, alias);
            auto& values = codeValues[static_cast<long>(*id)];
            for (pugi::xml_node v = childNamed(code, "Values").first_child(); v; v = v.next_sibling()) {
                if (!isNamed(v, "Value")) continue;
                const std::optional<long long> valueId = wholeNumberIn(childNamed(v, "ValueID"));
                if (!valueId) continue;
                values[*valueId] = {wholeNumberIn(childNamed(v, "ParentValueID")).value_or(0),
                                    textIn(childNamed(v, "Value"))};
            }
            auto& separators = codeSeparators[static_cast<long>(*id)];
            for (pugi::xml_node m = childNamed(code, "Masks").first_child(); m; m = m.next_sibling())
                if (isNamed(m, "Mask")) separators.push_back(textIn(childNamed(m, "Separator")));
        }
    }

    // The value's text with its ancestors' from the top, each level followed by its separator.
    QString outlineCodeText(long fieldId, long long valueId) const {
        const auto values = codeValues.find(fieldId);
        if (values == codeValues.end()) return {};
        std::vector<const QString*> path;
        for (long long at = valueId; at != 0 && path.size() < 100;) {
            const auto v = values->second.find(at);
            if (v == values->second.end()) break;
            path.push_back(&v->second.text);
            if (v->second.parent == at) break;
            at = v->second.parent;
        }
        const auto separators = codeSeparators.find(fieldId);
        QString text;
        for (std::size_t level = 0; level < path.size(); ++level) {
            if (level > 0) {
                QString separator = QStringLiteral(".");
                if (separators != codeSeparators.end() && level - 1 < separators->second.size() &&
                    !separators->second[level - 1].isEmpty())
                    separator = separators->second[level - 1];
                text += separator;
            }
            text += *path[path.size() - 1 - level];
        }
        return text;
    }
};

void readSchedule(const TaskFields& f, double durationMinutes, const PlanSettings& plan, ScheduleFields& s) {
    const auto slack = [](const pugi::xml_node& node) -> std::optional<double> {
        const std::optional<double> tenths = numberIn(node);
        if (!tenths) return std::nullopt;
        return *tenths / 10;
    };
    s.totalSlackMinutes = slack(f.totalSlack);
    s.freeSlackMinutes = slack(f.freeSlack);
    s.critical = flagIn(f.critical);
    s.constraintType = smallNumberIn(f.constraintType);
    s.constraintDate = dateIn(f.constraintDate);
    s.deadline = dateIn(f.deadline);
    s.priority = numberIn(f.priority);
    s.earlyStart = dateIn(f.earlyStart);
    s.earlyFinish = dateIn(f.earlyFinish);
    s.lateStart = dateIn(f.lateStart);
    s.lateFinish = dateIn(f.lateFinish);
    s.taskType = smallNumberIn(f.type);
    s.manual = flagIn(f.manual);
    s.active = flagIn(f.active);
    s.estimated = flagIn(f.estimated);
    int format = smallNumberIn(f.durationFormat).value_or(kDefaultFormat);
    if (s.estimated.value_or(false)) format |= kEstimatedBit;
    const QString typed = textIn(f.durationText);
    s.durationShown = s.manual.value_or(false) && !typed.isEmpty()
                          ? typed
                          : durationText(durationMinutes, format, plan.units);
    s.durationDays = durationDays(durationMinutes, format, plan.units);
    if (f.baseline) {
        const std::optional<double> minutes = minutesIn(childNamed(f.baseline, "Duration"));
        if (minutes) {
            const int baselineFormat =
                smallNumberIn(childNamed(f.baseline, "DurationFormat")).value_or(format & ~kEstimatedBit);
            s.baselineDurationShown = durationText(*minutes, baselineFormat, plan.units);
            s.baselineDurationDays = durationDays(*minutes, baselineFormat, plan.units);
        }
    }
}

// The task's links to its predecessors, from its first one on, in the order the file writes them.
void readLinks(const pugi::xml_node& first, long long uid, std::vector<PlanLink>& links) {
    for (pugi::xml_node child = first; child; child = child.next_sibling()) {
        if (!isNamed(child, "PredecessorLink")) continue;
        // The first element of each name counts, as childNamed would find it.
        pugi::xml_node predecessor, type, lag, lagFormat, crossProject, crossProjectName;
        for (pugi::xml_node part = child.first_child(); part; part = part.next_sibling()) {
            if (part.type() != pugi::node_element) continue;
            const char* name = localName(part.name());
            pugi::xml_node* slot = std::strcmp(name, "PredecessorUID") == 0     ? &predecessor
                                   : std::strcmp(name, "Type") == 0             ? &type
                                   : std::strcmp(name, "LinkLag") == 0          ? &lag
                                   : std::strcmp(name, "LagFormat") == 0        ? &lagFormat
                                   : std::strcmp(name, "CrossProject") == 0     ? &crossProject
                                   : std::strcmp(name, "CrossProjectName") == 0 ? &crossProjectName
                                                                                : nullptr;
            if (slot && !*slot) *slot = part;
        }
        const std::optional<long long> from = wholeNumberIn(predecessor);
        if (!from) continue;
        PlanLink link;
        link.predecessor = *from;
        link.successor = uid;
        link.type = smallNumberIn(type).value_or(1);
        link.lagTenths = numberIn(lag).value_or(0);
        link.lagFormat = smallNumberIn(lagFormat).value_or(7);
        // A task of another plan: its path and ID as the file names them.
        if (smallNumberIn(crossProject).value_or(0) == 1) link.otherPlanTask = textIn(crossProjectName);
        links.push_back(link);
    }
}

// From the task's first custom value on: Project writes them after the task's other fields.
void readCustom(const pugi::xml_node& first, bool prefixed, const ReadOptions& options, const PlanSettings& plan,
                std::vector<CustomValue>& out) {
    for (pugi::xml_node child = first; child; child = child.next_sibling()) {
        const Field field = fieldOf(child, prefixed);
        const bool extended = field == Field::ExtendedAttribute;
        if (!extended && field != Field::OutlineCode) continue;
        const std::optional<long long> id = wholeNumberIn(childNamed(child, "FieldID"));
        if (!id) continue;
        const auto slot = customSlotOfId(static_cast<long>(*id));
        if (!slot || !options.custom.test(static_cast<std::size_t>(*slot))) continue;
        CustomValue value;
        value.slot = static_cast<std::uint8_t>(*slot);
        const CustomKind kind = customKindOf(*slot);
        if (!extended || kind == CustomKind::OutlineCode) {
            // The value list's entry; a value written as its text alone is taken as it stands.
            if (const std::optional<long long> valueId = wholeNumberIn(childNamed(child, "ValueID")))
                value.text = plan.outlineCodeText(static_cast<long>(*id), *valueId);
            if (value.text.isEmpty()) value.text = textIn(childNamed(child, "Value"));
            if (value.text.isEmpty()) continue;
        } else {
            const pugi::xml_node text = childNamed(child, "Value");
            if (!text) continue;
            switch (kind) {
            case CustomKind::Text: value.text = textIn(text); break;
            case CustomKind::Number:
            case CustomKind::Cost: {
                const std::optional<double> n = numberIn(text);
                if (!n) continue;
                value.number = kind == CustomKind::Cost ? *n / 100 : *n;  // costs in hundredths
                break;
            }
            case CustomKind::Flag: {
                const std::optional<bool> b = flagIn(text);
                if (!b) continue;
                value.number = *b ? 1 : 0;
                break;
            }
            case CustomKind::Date:
            case CustomKind::Start:
            case CustomKind::Finish:
                value.date = dateIn(text);
                if (!value.date.isValid()) continue;
                break;
            case CustomKind::Duration: {
                const std::optional<double> minutes = minutesIn(text);
                if (!minutes) continue;
                value.number = *minutes;
                break;
            }
            case CustomKind::OutlineCode: break;
            }
        }
        out.push_back(std::move(value));
    }
}

// Without assignments, only the details that may be asked for alone are read.
std::shared_ptr<TaskDetails> detailsOf(DetailsPool& pool, const TaskFields& f, long id, bool prefixed,
                                       Assignments* assignments, const QString& project) {
    auto d = pool.make();
    d->outlineLevel = numberIn(f.outlineLevel);
    d->percentComplete = numberIn(f.percentComplete);
    d->milestone = flagIn(f.milestone);
    if (!assignments) return d;
    d->project = project;
    d->id = static_cast<double>(id);
    const std::optional<long long> uid = wholeNumberIn(f.uid);
    if (uid) d->uniqueId = static_cast<double>(*uid);
    d->outlineNumber = textIn(f.outlineNumber);
    d->wbs = textIn(f.wbs);
    d->summary = flagIn(f.summary);
    if (f.baseline) {
        pugi::xml_node start, finish, duration;
        for (pugi::xml_node child = f.baseline.first_child(); child; child = child.next_sibling()) {
            switch (fieldOf(child, prefixed)) {
            case Field::Start: start = child; break;
            case Field::Finish: finish = child; break;
            case Field::Duration: duration = child; break;
            default: break;
            }
        }
        d->baselineStart = dateIn(start);
        d->baselineFinish = dateIn(finish);
        d->baselineDurationMinutes = minutesIn(duration);
    }
    d->actualStart = dateIn(f.actualStart);
    d->actualFinish = dateIn(f.actualFinish);
    // Project's XML writes costs in hundredths of the currency unit.
    if (const std::optional<double> cost = numberIn(f.cost)) d->cost = *cost / 100;
    d->workMinutes = minutesIn(f.work);
    d->notes = notesIn(f.notes);
    d->resourceNames = assignments->namesOf(uid);
    return d;
}

Plan readDocument(const pugi::xml_document& document, const ReadOptions& options) {
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_doctype)
            throw Failure(kBadFileFormat,
                          QStringLiteral("The plan holds a document type definition, which plans never do; it was not read."));

    const pugi::xml_node root = document.document_element();
    if (!root || !isNamed(root, "Project")) notAPlan();
    const char* colon = std::strchr(root.name(), ':');
    {
        const std::string nsAttribute =
            colon ? "xmlns:" + std::string(root.name(), colon) : std::string("xmlns");
        const pugi::xml_attribute ns = root.attribute(nsAttribute.c_str());
        if (ns && std::strcmp(ns.value(), kProjectNamespace) != 0) notAPlan();
    }
    // Project writes no prefixes; a plan whose root element has one has its fields' names
    // stripped of theirs.
    const bool prefixed = colon != nullptr;

    Plan plan;
    plan.customHeld.set();
    PlanSettings settings;
    DetailsPool pool;
    const bool schedule = options.details && options.schedule;
    const bool custom = options.details && options.custom.any();
    std::vector<pugi::xml_node> taskLists;
    pugi::xml_node resources, assignmentList, title;
    const bool every = options.details && options.only == 0;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (isNamed(child, "Tasks")) taskLists.push_back(child);
        else if (every && !title && isNamed(child, "Title")) title = child;
        else if (every && !resources && isNamed(child, "Resources")) resources = child;
        else if (every && !assignmentList && isNamed(child, "Assignments")) assignmentList = child;
        else if (custom && isNamed(child, "ExtendedAttributes")) settings.readAliases(child, plan);
        else if (custom && isNamed(child, "OutlineCodes")) settings.readOutlineCodes(child, plan);
        else if (schedule) settings.readSetting(child);
    }
    std::optional<Assignments> assignments;
    QString project;
    if (every) {
        assignments.emplace(resources, assignmentList, prefixed);
        // The project's title, else the name of the project summary task (ID 0, written first).
        project = textIn(title);
        for (pugi::xml_node task = taskLists.empty() ? pugi::xml_node() : taskLists[0].first_child();
             project.isEmpty() && task; task = task.next_sibling()) {
            if (!isNamed(task, "Task")) continue;
            const TaskFields f = fieldsOf(task, prefixed, ReadOptions{});
            std::string spare;
            long id = -1;
            if (f.id && parseTaskId(trimmed(textOf(f.id, spare)), id) && id == 0) project = textIn(f.name);
            break;
        }
    }
    std::vector<PlanLink> links;
    std::unordered_map<long long, long> idOfUnique;
    std::vector<std::pair<long long, TaskDetails*>> linkable;

    std::vector<bool> seen;
    long previousId = -1;
    for (const pugi::xml_node& tasks : taskLists) {
        for (pugi::xml_node task = tasks.first_child(); task; task = task.next_sibling()) {
            if (!isNamed(task, "Task")) continue;
            const TaskFields f = fieldsOf(task, prefixed, options);

            long id = previousId + 1;
            if (f.id) {
                std::string spare;
                const Span text = trimmed(textOf(f.id, spare));
                if (!parseTaskId(text, id)) {
                    const std::string raw(text.begin, text.end);
                    const QString shown = shownValue(QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())));
                    const bool negative = !raw.empty() && raw[0] == '-';
                    const bool digits = raw.size() > (negative ? 1u : 0u) &&
                                        raw.find_first_not_of("0123456789", negative ? 1 : 0) == std::string::npos;
                    if (digits && negative) damaged(QStringLiteral("a task has the negative ID %1").arg(shown));
                    if (digits) damaged(QStringLiteral("the task ID %1 is out of range").arg(shown));
                    damaged(QStringLiteral("the task ID \"%1\" is not a number").arg(shown));
                }
            }
            previousId = id;
            if (id == 0) continue;  // the project summary task
            if (id > kMaxTaskId) damaged(QStringLiteral("the task ID %1 is out of range").arg(id));

            const auto index = static_cast<std::size_t>(id - 1);
            if (index >= plan.positions.size()) {
                plan.positions.resize(index + 1);
                seen.resize(index + 1, false);
            }
            if (seen[index]) damaged(QStringLiteral("the task ID %1 appears twice").arg(id));
            seen[index] = true;

            // A blank row: marked as such, or written with nothing but its identifiers.
            if (f.isNull) {
                std::string spare;
                if (isTrue(textOf(f.isNull, spare))) continue;
            }
            if (!f.hasOtherFields) continue;

            PlanTask& out = plan.positions[index].emplace();
            if (f.name) out.name = textIn(f.name);
            if (f.duration) {
                std::string spare;
                const char* text = textOf(f.duration, spare);
                if (*skipSpaces(text) != '\0' && !parseDurationMinutes(text, out.durationMinutes))
                    damaged(QStringLiteral("the duration of task %1 (\"%2\") cannot be read")
                                          .arg(id)
                                          .arg(shownValue(QString::fromUtf8(text))));
            }
            out.start = readDate(f.start, "start", id);
            out.finish = readDate(f.finish, "finish", id);
            if (options.details) {
                std::shared_ptr<TaskDetails> d =
                    detailsOf(pool, f, id, prefixed, assignments ? &*assignments : nullptr, project);
                if (schedule) {
                    readSchedule(f, out.durationMinutes, settings, d->schedule);
                    if (const std::optional<long long> uid = wholeNumberIn(f.uid)) {
                        idOfUnique.emplace(*uid, id);
                        linkable.emplace_back(*uid, d.get());
                        if (f.firstLink) readLinks(f.firstLink, *uid, links);
                    }
                }
                if (f.firstCustom) readCustom(f.firstCustom, prefixed, options, settings, d->custom);
                out.details = std::move(d);
            }
        }
    }
    if (!links.empty()) {
        const auto texts = linkTexts(links, idOfUnique, settings.units);
        for (auto& [uid, d] : linkable) {
            const auto found = texts.find(uid);
            if (found == texts.end()) continue;
            d->schedule.predecessors = found->second.predecessors;
            d->schedule.successors = found->second.successors;
        }
    }
    return plan;
}

// Parses the bytes where they are: the document lives no longer than they do.
Plan parse(QByteArray& bytes, const ReadOptions& options) {
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_buffer_inplace(
        bytes.data(), static_cast<std::size_t>(bytes.size()), kParseFlags);
    if (!result) {
        if (result.status == pugi::status_out_of_memory)
            throw Failure(failure_number::kOverflow, QStringLiteral("The plan is too large to be read in memory."));
        if (result.status == pugi::status_no_document_element) notAPlan();
        damaged(QStringLiteral("the XML is not well-formed (%1 at byte %2)")
                    .arg(QString::fromLatin1(result.description()).toLower())
                    .arg(static_cast<qlonglong>(result.offset)));
    }
    return readDocument(document, options);
}

int digitsValue(const char*& p, int count, bool& ok) {
    int value = 0;
    for (int i = 0; i < count; ++i, ++p) {
        if (*p < '0' || *p > '9') {
            ok = false;
            return 0;
        }
        value = value * 10 + (*p - '0');
    }
    return value;
}

}  // namespace

const unsigned kMspdiParseOptions = kParseFlags;

bool parseDurationMinutes(const char* text, double& minutes) {
    const char* p = skipSpaces(text);
    double sign = 1;
    if (*p == '-' || *p == '+') {
        if (*p == '-') sign = -1;
        ++p;
    }
    if (*p != 'P') return false;
    ++p;
    bool inTime = false;
    bool any = false;
    bool anyTime = false;
    // Units must come in order; each at most once.
    int lastUnit = -1;
    double total = 0;
    while (*p && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') {
        if (*p == 'T') {
            if (inTime) return false;
            inTime = true;
            ++p;
            continue;
        }
        double value = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            if (++digits > 15) return false;
            value = value * 10 + (*p - '0');
            ++p;
        }
        if (*p == '.' || *p == ',') {
            ++p;
            double scale = 0.1;
            int fraction = 0;
            while (*p >= '0' && *p <= '9') {
                if (++fraction <= 15) value += (*p - '0') * scale;
                scale /= 10;
                ++p;
                ++digits;
            }
        }
        if (digits == 0) return false;
        int unit;
        double perUnit;
        switch (*p) {
        case 'W': unit = 0; perUnit = 7 * 24 * 60; if (inTime) return false; break;
        case 'D': unit = 1; perUnit = 24 * 60; if (inTime) return false; break;
        case 'H': unit = 2; perUnit = 60; if (!inTime) return false; break;
        case 'M': unit = 3; perUnit = 1; if (!inTime) return false; break;  // months are never written
        case 'S': unit = 4; perUnit = 1.0 / 60; if (!inTime) return false; break;
        default: return false;
        }
        if (unit <= lastUnit) return false;
        lastUnit = unit;
        total += value * perUnit;
        any = true;
        anyTime = inTime;
        ++p;
    }
    if (!any || (inTime && !anyTime) || *skipSpaces(p) != '\0' || !std::isfinite(total)) return false;
    minutes = sign * total;
    if (minutes == 0) minutes = 0;  // no negative zero
    return true;
}

QDateTime parseWallClock(const char* text) {
    const char* p = skipSpaces(text);
    bool ok = true;
    const int year = digitsValue(p, 4, ok);
    if (!ok || *p++ != '-') return {};
    const int month = digitsValue(p, 2, ok);
    if (!ok || *p++ != '-') return {};
    const int day = digitsValue(p, 2, ok);
    if (!ok) return {};
    int hour = 0, minute = 0, second = 0, msec = 0;
    if (*p == 'T' || *p == ' ') {
        ++p;
        hour = digitsValue(p, 2, ok);
        if (!ok || *p++ != ':') return {};
        minute = digitsValue(p, 2, ok);
        if (!ok) return {};
        if (*p == ':') {
            ++p;
            second = digitsValue(p, 2, ok);
            if (!ok) return {};
            if (*p == '.' || *p == ',') {
                ++p;
                int scale = 100, digits = 0;
                while (*p >= '0' && *p <= '9') {
                    msec += (*p - '0') * scale;
                    scale /= 10;
                    ++p;
                    ++digits;
                }
                if (digits == 0) return {};
            }
        }
        // A zone designator is accepted and ignored: the plan's readings are wall-clock times.
        if (*p == 'Z') {
            ++p;
        } else if (*p == '+' || *p == '-') {
            ++p;
            digitsValue(p, 2, ok);
            if (!ok) return {};
            if (*p == ':') ++p;
            digitsValue(p, 2, ok);
            if (!ok) return {};
        }
    }
    if (*skipSpaces(p) != '\0') return {};
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, msec);
    if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second, msec)) return {};
    return wallClock(date, time);
}

Plan readMspdi(QByteArray bytes, const ReadOptions& options) {
    if (bytes.isEmpty()) throw Failure(kBadFileFormat, QStringLiteral("The plan is empty."));
    Plan plan = parse(bytes, options);
    finishPlan(plan, options);
    return plan;
}

// Markup, possibly behind a byte-order mark, in UTF-8, UTF-16 or UTF-32.
bool isXmlFile(const QByteArray& head) {
    const auto at = [&](qsizetype i) { return i < head.size() ? static_cast<unsigned char>(head[i]) : 0x100u; };
    qsizetype i = 0;
    int unit = 1;        // bytes per code unit
    bool bigEndian = false;
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        i = 3;
    } else if (at(0) == 0x00 && at(1) == 0x00 && at(2) == 0xFE && at(3) == 0xFF) {
        i = 4, unit = 4, bigEndian = true;
    } else if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0x00 && at(3) == 0x00) {
        i = 4, unit = 4;
    } else if (at(0) == 0xFE && at(1) == 0xFF) {
        i = 2, unit = 2, bigEndian = true;
    } else if (at(0) == 0xFF && at(1) == 0xFE) {
        i = 2, unit = 2;
    } else if (at(0) == 0x00 && at(1) == 0x3C) {
        unit = 2, bigEndian = true;
    } else if (at(0) == 0x3C && at(1) == 0x00) {
        unit = 2;
    }
    for (; i + unit <= head.size(); i += unit) {
        unsigned c = 0;
        bool wide = false;
        for (int b = 0; b < unit; ++b) {
            const unsigned byte = at(i + b);
            const bool low = bigEndian ? b == unit - 1 : b == 0;
            if (low) c = byte;
            else if (byte != 0) wide = true;
        }
        if (wide) return false;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        return c == '<';
    }
    return false;
}

}  // namespace quorrix::importer::plans
