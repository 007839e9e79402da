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

#include "importer/plans/common/finish_plan.h"
#include "importer/plans/common/plan_file.h"
#include "importer/plans/common/resource_names.h"
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
};

[[gnu::always_inline]] inline Field fieldOf(const char* n) {
    switch (n[0]) {
    case '\0': return Field::None;
    case 'A':
        if (n[1] == 'c' && n[2] == 't' && n[3] == 'u' && n[4] == 'a' && n[5] == 'l') {
            if (nameIs(n, "ActualStart")) return Field::ActualStart;
            if (nameIs(n, "ActualFinish")) return Field::ActualFinish;
        }
        break;
    case 'B':
        if (nameIs(n, "Baseline")) return Field::Baseline;
        break;
    case 'C':
        if (nameIs(n, "Cost")) return Field::Cost;
        break;
    case 'D':
        if (nameIs(n, "Duration")) return Field::Duration;
        break;
    case 'F':
        if (nameIs(n, "Finish")) return Field::Finish;
        break;
    case 'I':
        if (n[1] == 'D' && n[2] == '\0') return Field::Id;
        if (nameIs(n, "IsNull")) return Field::IsNull;
        break;
    case 'M':
        if (nameIs(n, "Milestone")) return Field::Milestone;
        break;
    case 'N':
        if (n[1] == 'a' && nameIs(n, "Name")) return Field::Name;
        if (n[1] == 'o' && nameIs(n, "Notes")) return Field::Notes;
        if (n[1] == 'u' && nameIs(n, "Number")) return Field::Number;
        break;
    case 'O':
        if (nameIs(n, "OutlineLevel")) return Field::OutlineLevel;
        if (nameIs(n, "OutlineNumber")) return Field::OutlineNumber;
        break;
    case 'P':
        if (nameIs(n, "PercentComplete")) return Field::PercentComplete;
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
    for (pugi::xml_node child = task.first_child(); child; child = child.next_sibling()) {
        const Field field = fieldOf(child, prefixed);
        // Identifiers alone make a blank row.
        if (field != Field::None && field != Field::Id && field != Field::IsNull && field != Field::Uid)
            f.hasOtherFields = true;
        switch (field) {
        case Field::None: continue;
        case Field::Id: take(f.id, child); break;
        case Field::IsNull: take(f.isNull, child); break;
        case Field::Uid: note(f.uid, child); break;
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
            if (details && !f.baseline && isBaselineZero(child, prefixed)) f.baseline = child;
            break;
        default: break;
        }
        if (missing == 0 && !details) break;
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

// Without assignments, only the details that may be asked for alone are read.
std::shared_ptr<TaskDetails> detailsOf(const TaskFields& f, long id, bool prefixed, Assignments* assignments,
                                       const QString& project) {
    auto d = std::make_shared<TaskDetails>();
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

    std::vector<pugi::xml_node> taskLists;
    pugi::xml_node resources, assignmentList, title;
    const bool every = options.details && options.only == 0;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (isNamed(child, "Tasks")) taskLists.push_back(child);
        else if (every && !title && isNamed(child, "Title")) title = child;
        else if (every && !resources && isNamed(child, "Resources")) resources = child;
        else if (every && !assignmentList && isNamed(child, "Assignments")) assignmentList = child;
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

    Plan plan;
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
            if (options.details)
                out.details = detailsOf(f, id, prefixed, assignments ? &*assignments : nullptr, project);
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
