#include "importer/plans/mspdi_reader.h"

#include <QFile>
#include <cmath>
#include <cstring>
#include <pugixml.hpp>
#include <vector>

#include "importer/plans/plan_file.h"
#include "importer/value.h"
#include "platform/failure.h"

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

QString subject(const QString& name) {
    return name.isEmpty() ? QStringLiteral("The plan") : QStringLiteral("The plan \"%1\"").arg(name);
}

[[noreturn]] void damaged(const QString& name, const QString& what) {
    throw Failure(kBadFileFormat, QStringLiteral("%1 is damaged: %2.").arg(subject(name), what));
}

const char* localName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

bool isNamed(const pugi::xml_node& node, const char* wanted) {
    return node.type() == pugi::node_element && std::strcmp(localName(node.name()), wanted) == 0;
}

// The whole text of an element: the text stored with the element itself and every text or
// CDATA section among its children, in order.
std::string fullText(const pugi::xml_node& node) {
    std::string text = node.value();
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    return text;
}

// The text of a field element; fast for the usual single text.
std::string fieldText(const pugi::xml_node& node) {
    if (!node.first_child()) return node.value();
    return fullText(node);
}

const char* skipSpaces(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    return p;
}

std::string trimmed(const std::string& text) {
    const char* begin = skipSpaces(text.c_str());
    const char* end = text.c_str() + text.size();
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n')) --end;
    return std::string(begin, end);
}

bool parseTaskId(const std::string& text, long& id) {
    if (text.empty() || text.size() > 9) return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    id = value;
    return true;
}

bool isTrue(const std::string& raw) {
    const std::string text = trimmed(raw);
    return text == "1" || text == "true";
}

struct TaskFields {
    pugi::xml_node id, name, isNull, duration, start, finish;
    bool hasOtherFields = false;
};

TaskFields fieldsOf(const pugi::xml_node& task) {
    TaskFields f;
    for (pugi::xml_node child = task.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const char* n = localName(child.name());
        switch (n[0]) {
        case 'I':
            if (std::strcmp(n, "ID") == 0) { f.id = child; continue; }
            if (std::strcmp(n, "IsNull") == 0) { f.isNull = child; continue; }
            break;
        case 'U':
            if (std::strcmp(n, "UID") == 0) continue;
            break;
        case 'N':
            if (std::strcmp(n, "Name") == 0) f.name = child;
            break;
        case 'D':
            if (std::strcmp(n, "Duration") == 0) f.duration = child;
            break;
        case 'S':
            if (std::strcmp(n, "Start") == 0) f.start = child;
            break;
        case 'F':
            if (std::strcmp(n, "Finish") == 0) f.finish = child;
            break;
        default:
            break;
        }
        f.hasOtherFields = true;
    }
    return f;
}

QDateTime readDate(const pugi::xml_node& node, const char* field, long id, const QString& planName) {
    if (!node) return {};
    const std::string text = fieldText(node);
    if (trimmed(text).empty()) return {};
    QDateTime value = parseWallClock(text.c_str());
    if (!value.isValid())
        damaged(planName, QStringLiteral("the %1 of task %2 (\"%3\") is not a date")
                              .arg(QLatin1String(field))
                              .arg(id)
                              .arg(shownValue(QString::fromUtf8(text))));
    return value;
}

Plan readDocument(const pugi::xml_document& document, const QString& planName) {
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_doctype)
            throw Failure(kBadFileFormat,
                          QStringLiteral("%1 holds a document type definition, which plans never do; it was not read.")
                              .arg(subject(planName)));

    const pugi::xml_node root = document.document_element();
    if (!root || !isNamed(root, "Project"))
        throw Failure(kBadFileFormat, planName.isEmpty()
                                          ? QStringLiteral("The file is not a project plan.")
                                          : QStringLiteral("The file \"%1\" is not a project plan.").arg(planName));
    {
        const char* colon = std::strchr(root.name(), ':');
        const std::string nsAttribute =
            colon ? "xmlns:" + std::string(root.name(), colon) : std::string("xmlns");
        const pugi::xml_attribute ns = root.attribute(nsAttribute.c_str());
        if (ns && std::strcmp(ns.value(), kProjectNamespace) != 0)
            throw Failure(kBadFileFormat, planName.isEmpty()
                                              ? QStringLiteral("The file is not a project plan.")
                                              : QStringLiteral("The file \"%1\" is not a project plan.").arg(planName));
    }

    Plan plan;
    std::vector<bool> seen;
    long previousId = -1;
    for (pugi::xml_node tasks = root.first_child(); tasks; tasks = tasks.next_sibling()) {
        if (!isNamed(tasks, "Tasks")) continue;
        for (pugi::xml_node task = tasks.first_child(); task; task = task.next_sibling()) {
            if (!isNamed(task, "Task")) continue;
            const TaskFields f = fieldsOf(task);

            long id = previousId + 1;
            if (f.id) {
                const std::string text = trimmed(fieldText(f.id));
                if (!parseTaskId(text, id)) {
                    const QString shown = shownValue(QString::fromUtf8(text));
                    const bool negative = !text.empty() && text[0] == '-';
                    const bool digits = text.size() > (negative ? 1u : 0u) &&
                                        text.find_first_not_of("0123456789", negative ? 1 : 0) == std::string::npos;
                    if (digits && negative) damaged(planName, QStringLiteral("a task has the negative ID %1").arg(shown));
                    if (digits) damaged(planName, QStringLiteral("the task ID %1 is out of range").arg(shown));
                    damaged(planName, QStringLiteral("the task ID \"%1\" is not a number").arg(shown));
                }
            }
            previousId = id;
            if (id == 0) continue;  // the project summary task
            if (id > kMaxTaskId) damaged(planName, QStringLiteral("the task ID %1 is out of range").arg(id));

            const auto index = static_cast<std::size_t>(id - 1);
            if (index >= plan.positions.size()) {
                plan.positions.resize(index + 1);
                seen.resize(index + 1, false);
            }
            if (seen[index]) damaged(planName, QStringLiteral("the task ID %1 appears twice").arg(id));
            seen[index] = true;

            // A blank row: marked as such, or written with nothing but its identifiers.
            if ((f.isNull && isTrue(fieldText(f.isNull))) || !f.hasOtherFields) continue;

            PlanTask& out = plan.positions[index].emplace();
            if (f.name) {
                if (!f.name.first_child()) {
                    const char* text = f.name.value();
                    out.name = QString::fromUtf8(text, static_cast<qsizetype>(std::strlen(text)));
                } else {
                    const std::string text = fullText(f.name);
                    out.name = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
                }
            }
            if (f.duration) {
                const std::string text = fieldText(f.duration);
                if (!trimmed(text).empty() && !parseDurationMinutes(text.c_str(), out.durationMinutes))
                    damaged(planName, QStringLiteral("the duration of task %1 (\"%2\") cannot be read")
                                          .arg(id)
                                          .arg(shownValue(QString::fromUtf8(text))));
            }
            out.start = readDate(f.start, "start", id, planName);
            out.finish = readDate(f.finish, "finish", id, planName);
        }
    }
    return plan;
}

Plan parseOwnedBuffer(void* buffer, std::size_t size, const QString& planName) {
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_buffer_inplace_own(buffer, size, kParseFlags);
    if (!result) {
        if (result.status == pugi::status_out_of_memory)
            throw Failure(failure_number::kOverflow, QStringLiteral("%1 is too large to be read in memory.").arg(subject(planName)));
        if (result.status == pugi::status_no_document_element)
            throw Failure(kBadFileFormat, planName.isEmpty()
                                              ? QStringLiteral("The file is not a project plan.")
                                              : QStringLiteral("The file \"%1\" is not a project plan.").arg(planName));
        damaged(planName, QStringLiteral("the XML is not well-formed (%1 at byte %2)")
                              .arg(QString::fromLatin1(result.description()).toLower())
                              .arg(static_cast<qlonglong>(result.offset)));
    }
    return readDocument(document, planName);
}

void* allocateBuffer(std::size_t size, const QString& planName) {
    void* buffer = pugi::get_memory_allocation_function()(size ? size : 1);
    if (!buffer)
        throw Failure(failure_number::kOverflow, QStringLiteral("%1 is too large to be read in memory.").arg(subject(planName)));
    return buffer;
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

Plan readMspdiMemory(const char* data, std::size_t size, const ReadOptions& /*options*/) {
    if (size == 0) throw Failure(kBadFileFormat, QStringLiteral("The plan is empty."));
    void* buffer = allocateBuffer(size, QString());
    std::memcpy(buffer, data, size);
    return parseOwnedBuffer(buffer, size, QString());
}

Plan readMspdiFile(const QString& path, const ReadOptions& /*options*/) {
    const qint64 size = checkPlanFile(path);
    const QString name = shownFileName(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(failure_number::kPermissionDenied,
                      QStringLiteral("The file \"%1\" cannot be opened: %2.").arg(name, file.errorString()));
    if (size == 0) throw Failure(kBadFileFormat, QStringLiteral("The file \"%1\" is empty.").arg(name));
    void* buffer = allocateBuffer(static_cast<std::size_t>(size), name);
    qint64 got = 0;
    while (got < size) {
        const qint64 n = file.read(static_cast<char*>(buffer) + got, size - got);
        if (n < 0) {
            pugi::get_memory_deallocation_function()(buffer);
            throw Failure(failure_number::kPermissionDenied,
                          QStringLiteral("The file \"%1\" could not be read: %2.").arg(name, file.errorString()));
        }
        if (n == 0) break;  // shortened while being read
        got += n;
    }
    if (got == 0) {
        pugi::get_memory_deallocation_function()(buffer);
        throw Failure(kBadFileFormat, QStringLiteral("The file \"%1\" is empty.").arg(name));
    }
    return parseOwnedBuffer(buffer, static_cast<std::size_t>(got), name);
}

}  // namespace quorrix::importer::plans
