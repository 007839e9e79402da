// P6 XML: parsed with pugixml; every element is matched by its local name, whatever the schema
// version's namespace (or none). Values are child elements; a nil or empty one is no value.
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <pugixml.hpp>
#include <optional>
#include <string>

#include "importer/plans/p6/p6_model.h"
#include "importer/plans/p6/p6_reader.h"
#include "importer/plans/plan_file.h"

namespace quorrix::importer::plans {

namespace p6 {
namespace {

constexpr unsigned kParseFlags = pugi::parse_default | pugi::parse_embed_pcdata;
constexpr std::size_t kMaxNameLength = 40;

const char* localName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

bool named(const pugi::xml_node& node, const char* wanted) {
    return node.type() == pugi::node_element && std::strcmp(localName(node.name()), wanted) == 0;
}

// The element names one kind of element is read for, found by length and then compared.
class FieldSet {
public:
    FieldSet(std::initializer_list<const char*> names) {
        int i = 0;
        for (const char* n : names) {
            const std::size_t length = std::strlen(n);
            byLength_[length].push_back({n, i++});
        }
        size_ = static_cast<std::size_t>(i);
    }
    // The index of the element name `qualified` (with or without a prefix) in the list, or -1.
    int find(const char* qualified) const {
        const char* name = qualified;
        const char* p = qualified;
        for (; *p; ++p)
            if (*p == ':') name = p + 1;
        const auto length = static_cast<std::size_t>(p - name);
        if (length >= byLength_.size()) return -1;
        for (const auto& [n, i] : byLength_[length])
            if (std::memcmp(n, name, length) == 0) return i;
        return -1;
    }
    std::size_t size() const { return size_; }

private:
    std::array<std::vector<std::pair<const char*, int>>, kMaxNameLength + 1> byLength_;
    std::size_t size_ = 0;
};

// The first child element of each name of the set.
template <std::size_t N>
std::array<pugi::xml_node, N> fieldsOf(const pugi::xml_node& element, const FieldSet& set) {
    std::array<pugi::xml_node, N> found;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const int i = set.find(child.name());
        if (i >= 0 && !found[static_cast<std::size_t>(i)]) found[static_cast<std::size_t>(i)] = child;
    }
    return found;
}

// The text of an element: stored with it (pugixml's embedded text) or in its text and CDATA children.
std::string_view textOf(const pugi::xml_node& node, std::string& spare) {
    if (!node) return {};
    if (!node.first_child()) return node.value();
    spare = node.value();
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) spare += child.value();
    return spare;
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.front() == '\n' || t.front() == '\r')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\n' || t.back() == '\r')) t.remove_suffix(1);
    return t;
}

class P6XmlReader {
public:
    P6XmlReader(const Reporter& reporter, const ReadOptions& options) : reporter_(reporter), details_(options.details) {}

    P6File read(const pugi::xml_node& root) {
        for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) continue;
            const char* name = localName(child.name());
            if (std::strcmp(name, "Calendar") == 0) calendar(child);
            else if (std::strcmp(name, "Project") == 0) project(child);
            else if (details_ && std::strcmp(name, "Resource") == 0) resource(child);
            else if (details_ && std::strcmp(name, "BaselineProject") == 0) baselineProject(child);
        }
        file_.holdsBaselines = true;
        return std::move(file_);
    }

private:
    // ---- values ----

    [[noreturn]] void badValue(const pugi::xml_node& node, std::string_view value, const char* what) const {
        QString owner;
        if (context_.what) {
            owner = QStringLiteral(" of %1").arg(QLatin1String(context_.what));
            if (context_.code && !context_.code->isEmpty()) owner += QStringLiteral(" ") + shownValue(*context_.code);
            else if (context_.id != kNoKey) owner += QStringLiteral(" %1").arg(context_.id);
        }
        reporter_.damaged(QStringLiteral("the %1 \"%2\"%3 is not %4")
                              .arg(QString::fromUtf8(localName(node.name())), shownText(value), owner, QLatin1String(what)));
    }

    QString text(const pugi::xml_node& node) const {
        const std::string_view t = textOf(node, spare_);
        return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    }

    Key key(const pugi::xml_node& node) const {
        const std::string_view v = trimmed(textOf(node, spare_));
        if (v.empty()) return kNoKey;
        Key k = 0;
        const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), k);
        if (error != std::errc() || end != v.data() + v.size() || k == kNoKey) badValue(node, v, "a number");
        return k;
    }

    double number(const pugi::xml_node& node) const {
        std::string_view v = trimmed(textOf(node, spare_));
        if (v.empty()) return kNone;
        const std::string_view all = v;
        if (v.front() == '+') v.remove_prefix(1);
        double d = 0;
        const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), d);
        if (error != std::errc() || end != v.data() + v.size() || !std::isfinite(d)) badValue(node, all, "a number");
        return d;
    }

    Minutes date(const pugi::xml_node& node) const {
        const std::string_view v = trimmed(textOf(node, spare_));
        if (v.empty()) return kNoDate;
        Minutes m = 0;
        if (!parseDateTime(v, m)) badValue(node, v, "a date");
        return m;
    }

    bool flag(const pugi::xml_node& node) const {
        const std::string_view v = trimmed(textOf(node, spare_));
        return v == "1" || v == "true";
    }

    // "08:00:00" as minutes after midnight; -1 when it is none.
    int timeOfDay(const pugi::xml_node& node) const {
        const std::string_view v = trimmed(textOf(node, spare_));
        if (v.empty()) return -1;
        const int m = parseTimeOfDay(v);
        if (m < 0) badValue(node, v, "a time of day");
        return m;
    }

    // ---- calendars ----

    // The WorkTime children of `parent`; P6 writes the last working minute as the finish.
    Periods workTimes(const pugi::xml_node& parent) const {
        Periods periods;
        static const FieldSet set{"Start", "Finish"};
        for (pugi::xml_node t = parent.first_child(); t; t = t.next_sibling()) {
            if (!named(t, "WorkTime")) continue;
            const auto f = fieldsOf<2>(t, set);
            const int start = timeOfDay(f[0]), finish = timeOfDay(f[1]);
            if (start >= 0 && finish >= 0) periods.push_back({start, std::min(finish + 1, static_cast<int>(kMinutesPerDay))});
        }
        return periods;
    }

    void calendar(const pugi::xml_node& element) {
        static const FieldSet set{"ObjectId", "IsDefault", "BaseCalendarObjectId", "StandardWorkWeek", "HolidayOrExceptions"};
        const auto f = fieldsOf<5>(element, set);
        Calendar& c = file_.calendars.emplace_back();
        c.id = key(f[0]);
        context_ = {"the calendar", c.id};
        c.isDefault = flag(f[1]);
        c.base = key(f[2]);
        static const char* const kDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
        for (pugi::xml_node hours = f[3].first_child(); hours; hours = hours.next_sibling()) {
            if (!named(hours, "StandardWorkHours")) continue;
            std::string_view day;
            for (pugi::xml_node d = hours.first_child(); d; d = d.next_sibling())
                if (named(d, "DayOfWeek")) day = trimmed(textOf(d, spare_));
            int weekday = -1;
            for (int k = 0; k < 7; ++k)
                if (day == kDays[k] || (day.size() == 1 && day[0] == '1' + k)) weekday = k;
            if (weekday < 0) continue;
            c.times.week[static_cast<std::size_t>(weekday)] = workTimes(hours);
            c.times.weekGiven[weekday] = true;
        }
        // A weekday the file leaves out is worked 08:00-16:00 from Monday to Friday.
        for (std::size_t d = 1; d <= 5; ++d)
            if (!c.times.weekGiven[d]) c.times.week[d] = {{8 * 60, 16 * 60}};
        for (pugi::xml_node e = f[4].first_child(); e; e = e.next_sibling()) {
            if (!named(e, "HolidayOrException")) continue;
            pugi::xml_node dateNode;
            for (pugi::xml_node d = e.first_child(); d && !dateNode; d = d.next_sibling())
                if (named(d, "Date")) dateNode = d;
            const Minutes day = date(dateNode);
            if (day == kNoDate) continue;
            Periods periods = workTimes(e);
            if (periods.size() == 1 && periods[0].start == 0 && periods[0].end == kMinutesPerDay) periods.clear();
            c.times.exceptions.push_back({dayOf(day), std::move(periods)});
        }
        context_ = {};
    }

    // ---- projects ----

    void project(const pugi::xml_node& element) {
        static const FieldSet set{"ObjectId", "Id", "Name", "WBSObjectId", "DataDate", "ActivityDefaultCalendarObjectId",
                                  "WBSCodeSeparator", "CurrentBaselineProjectObjectId"};
        const auto f = fieldsOf<8>(element, set);
        Project& p = file_.projects.emplace_back();
        p.id = key(f[0]);
        if (p.id == kNoKey) p.id = -static_cast<Key>(file_.projects.size());  // projects without an ID stay apart
        context_ = {"the project", p.id};
        p.shortName = text(f[1]);
        p.name = text(f[2]);
        p.node = key(f[3]);
        p.dataDate = date(f[4]);
        p.calendar = key(f[5]);
        p.separator = text(f[6]);
        p.baseline = key(f[7]);
        if (p.baseline == p.id) p.baseline = kNoKey;
        const pugi::xml_attribute external = element.attribute("external");
        p.exported = !(external && std::strcmp(external.value(), "true") == 0);
        const Key project = p.id, node = p.node;
        context_ = {};
        const std::size_t notesBefore = file_.wbsNotes.size();

        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) continue;
            const char* name = localName(child.name());
            if (std::strcmp(name, "Activity") == 0) activity(child, project);
            else if (std::strcmp(name, "WBS") == 0) wbs(child, project);
            else if (std::strcmp(name, "Calendar") == 0) calendar(child);
            else if (!details_) continue;
            else if (std::strcmp(name, "ResourceAssignment") == 0) charge(child, true);
            else if (std::strcmp(name, "ActivityExpense") == 0) charge(child, false);
            else if (std::strcmp(name, "ActivityNote") == 0) note(child, true);
            else if (std::strcmp(name, "ProjectNote") == 0) note(child, false);
        }
        // A note of no WBS node is the project's own.
        for (std::size_t i = notesBefore; i < file_.wbsNotes.size(); ++i)
            if (file_.wbsNotes[i].owner == kNoKey) file_.wbsNotes[i].owner = node;
    }

    void wbs(const pugi::xml_node& element, Key project) {
        static const FieldSet set{"ObjectId", "ParentObjectId", "SequenceNumber", "Code", "Name"};
        const auto f = fieldsOf<5>(element, set);
        if (file_.nodes.size() + file_.activities.size() >= kMaxRows)
            reporter_.damaged(QStringLiteral("it holds more rows than a sheet can take (%1)").arg(kMaxRows));
        WbsNode& n = file_.nodes.emplace_back();
        n.id = key(f[0]);
        context_ = {"the WBS node", n.id};
        n.project = project;
        n.parent = key(f[1]);
        const double sequence = number(f[2]);
        n.sequence = given(sequence) ? static_cast<std::int64_t>(std::clamp(sequence, -1e15, 1e15)) : 0;
        n.code = text(f[3]);
        n.name = text(f[4]);
        context_ = {};
    }

    enum ActivityField {
        kObjectId, kWbs, kCalendar, kId, kName, kType, kStatus, kPercentType, kPercent, kStart, kFinish, kActualStart,
        kActualFinish, kRemainingStart, kRemainingFinish, kPlannedStart, kPlannedFinish, kEarlyStart, kEarlyFinish,
        kPlannedDuration, kActualDuration, kRemainingDuration, kAtCompletion, kActualLabor, kRemainingLabor,
        kActualNonLabor, kRemainingNonLabor, kSuspend, kResume, kPhysical, kActivityFields
    };

    void activity(const pugi::xml_node& element, Key project) {
        static const FieldSet set{
            "ObjectId", "WBSObjectId", "CalendarObjectId", "Id", "Name", "Type", "Status", "PercentCompleteType",
            "PercentComplete", "StartDate", "FinishDate", "ActualStartDate", "ActualFinishDate",
            "RemainingEarlyStartDate", "RemainingEarlyFinishDate", "PlannedStartDate", "PlannedFinishDate",
            "EarlyStartDate", "EarlyFinishDate", "PlannedDuration", "ActualDuration", "RemainingDuration",
            "AtCompletionDuration", "ActualLaborUnits", "RemainingLaborUnits", "ActualNonLaborUnits",
            "RemainingNonLaborUnits", "SuspendDate", "ResumeDate", "PhysicalPercentComplete"};
        const auto f = fieldsOf<kActivityFields>(element, set);
        if (file_.nodes.size() + file_.activities.size() >= kMaxRows)
            reporter_.damaged(QStringLiteral("it holds more rows than a sheet can take (%1)").arg(kMaxRows));
        Activity& a = file_.activities.emplace_back();
        a.id = key(f[kObjectId]);
        a.code = text(f[kId]);
        context_ = {"the activity", a.id, &a.code};
        a.project = project;
        a.wbs = key(f[kWbs]);
        a.calendar = key(f[kCalendar]);
        a.name = text(f[kName]);
        const std::string_view type = trimmed(textOf(f[kType], spare_));
        a.milestone = type == "Start Milestone" ? Milestone::Start : type == "Finish Milestone" ? Milestone::Finish : Milestone::No;
        const std::string_view status = trimmed(textOf(f[kStatus], spare_));
        a.progress = status == "Completed" ? Progress::Completed
                     : status == "In Progress" ? Progress::InProgress
                                               : Progress::NotStarted;
        const std::string_view percentType = trimmed(textOf(f[kPercentType], spare_));
        a.percentType = percentType == "Physical" ? PercentType::Physical
                        : percentType == "Units"  ? PercentType::Units
                                                  : PercentType::Duration;
        a.percentComplete = number(f[kPercent]);
        const double physical = number(f[kPhysical]);
        a.physicalPercent = given(physical) ? physical * 100 : kNone;
        a.start = date(f[kStart]);
        a.finish = date(f[kFinish]);
        a.actualStart = date(f[kActualStart]);
        a.actualFinish = date(f[kActualFinish]);
        a.remainingStart = date(f[kRemainingStart]);
        a.remainingFinish = date(f[kRemainingFinish]);
        a.plannedStart = date(f[kPlannedStart]);
        a.plannedFinish = date(f[kPlannedFinish]);
        a.earlyStart = date(f[kEarlyStart]);
        a.earlyFinish = date(f[kEarlyFinish]);
        a.suspend = date(f[kSuspend]);
        a.resume = date(f[kResume]);
        a.plannedDuration = number(f[kPlannedDuration]);
        a.actualDuration = number(f[kActualDuration]);
        a.remainingDuration = number(f[kRemainingDuration]);
        a.atCompletionDuration = number(f[kAtCompletion]);
        a.actualLabor = number(f[kActualLabor]);
        a.remainingLabor = number(f[kRemainingLabor]);
        a.actualNonLabor = number(f[kActualNonLabor]);
        a.remainingNonLabor = number(f[kRemainingNonLabor]);
        context_ = {};
    }

    void charge(const pugi::xml_node& element, bool assignment) {
        static const FieldSet set{"ActivityObjectId", "ResourceObjectId", "ActualCost", "RemainingCost"};
        const auto f = fieldsOf<4>(element, set);
        context_ = {assignment ? "a resource assignment" : "an expense"};
        const double actual = number(f[2]), remaining = number(f[3]);
        file_.charges.push_back({key(f[0]), assignment ? key(f[1]) : kNoKey,
                                 (given(actual) ? actual : 0) + (given(remaining) ? remaining : 0)});
        context_ = {};
    }

    // A note of an activity, or of a WBS node or the project (ProjectNote).
    void note(const pugi::xml_node& element, bool ofActivity) {
        static const FieldSet activitySet{"ActivityObjectId", "ObjectId", "Note"};
        static const FieldSet wbsSet{"WBSObjectId", "ObjectId", "Note"};
        const auto f = fieldsOf<3>(element, ofActivity ? activitySet : wbsSet);
        context_ = {"a note"};
        (ofActivity ? file_.activityNotes : file_.wbsNotes).push_back({key(f[0]), key(f[1]), text(f[2])});
        context_ = {};
    }

    void resource(const pugi::xml_node& element) {
        static const FieldSet set{"ObjectId", "Name"};
        const auto f = fieldsOf<2>(element, set);
        context_ = {"a resource"};
        const Key id = key(f[0]);
        if (id != kNoKey) file_.resources.emplace(id, text(f[1]));
        context_ = {};
    }

    void baselineProject(const pugi::xml_node& element) {
        static const FieldSet set{"ObjectId", "Id", "Type", "PlannedStartDate", "PlannedFinishDate", "PlannedDuration"};
        Key id = kNoKey;
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
            if (named(child, "ObjectId")) id = key(child);
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
            if (!named(child, "Activity")) continue;
            const auto f = fieldsOf<6>(child, set);
            BaselineActivity& b = file_.baselineActivities.emplace_back();
            b.project = id;
            b.code = text(f[1]);
            context_ = {"the baseline activity", kNoKey, &b.code};
            const std::string_view type = trimmed(textOf(f[2], spare_));
            b.milestone = type == "Start Milestone" ? Milestone::Start : type == "Finish Milestone" ? Milestone::Finish : Milestone::No;
            b.plannedStart = date(f[3]);
            b.plannedFinish = date(f[4]);
            b.plannedDuration = number(f[5]);
            context_ = {};
        }
    }

    const Reporter& reporter_;
    bool details_;
    // What the value being read belongs to, for messages: "the activity" and its ID or code.
    struct Context {
        const char* what = nullptr;
        Key id = kNoKey;
        const QString* code = nullptr;
    } context_;
    mutable std::string spare_;
    P6File file_;
};

// The root element's name of XML in `head`, prefix dropped; empty when there is none in it.
QString rootElementName(const QByteArray& head) {
    const auto at = [&head](qsizetype i) { return i < head.size() ? static_cast<unsigned char>(head[i]) : 0x100u; };
    std::optional<QStringConverter::Encoding> encoding = QStringConverter::Utf8;
    qsizetype skip = 0;
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) skip = 3;
    else if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) encoding = QStringConverter::Utf32BE, skip = 4;
    else if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) encoding = QStringConverter::Utf32LE, skip = 4;
    else if (at(0) == 0xFE && at(1) == 0xFF) encoding = QStringConverter::Utf16BE, skip = 2;
    else if (at(0) == 0xFF && at(1) == 0xFE) encoding = QStringConverter::Utf16LE, skip = 2;
    else if (at(0) == 0 && at(1) == '<') encoding = QStringConverter::Utf16BE;
    else if (at(0) == '<' && at(1) == 0) encoding = QStringConverter::Utf16LE;
    QStringDecoder decoder(*encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(head).sliced(std::min(skip, head.size())));
    qsizetype i = 0;
    const auto skipSpace = [&] {
        while (i < text.size() && text[i].isSpace()) ++i;
    };
    for (;;) {
        skipSpace();
        if (i >= text.size() || text[i] != QLatin1Char('<')) return {};
        const QStringView rest = QStringView(text).mid(i);
        qsizetype end = -1;
        if (rest.startsWith(QLatin1String("<?"))) {
            end = text.indexOf(QLatin1String("?>"), i + 2);
            if (end >= 0) end += 2;
        } else if (rest.startsWith(QLatin1String("<!--"))) {
            end = text.indexOf(QLatin1String("-->"), i + 4);
            if (end >= 0) end += 3;
        } else if (rest.startsWith(QLatin1String("<!"))) {
            // A document type declaration, perhaps with an internal subset in brackets.
            int depth = 0;
            for (qsizetype k = i + 2; k < text.size(); ++k) {
                if (text[k] == QLatin1Char('[')) ++depth;
                else if (text[k] == QLatin1Char(']')) --depth;
                else if (text[k] == QLatin1Char('>') && depth <= 0) {
                    end = k + 1;
                    break;
                }
            }
        } else {
            qsizetype k = i + 1;
            while (k < text.size() && !text[k].isSpace() && text[k] != QLatin1Char('>') && text[k] != QLatin1Char('/')) ++k;
            QString name = text.mid(i + 1, k - i - 1);
            if (k >= text.size()) return {};  // the name may go on beyond the head
            const qsizetype colon = name.indexOf(QLatin1Char(':'));
            return colon >= 0 ? name.mid(colon + 1) : name;
        }
        if (end < 0) return {};
        i = end;
    }
}

}  // namespace
}  // namespace p6

bool isP6XmlFile(const QByteArray& head) {
    const QString root = p6::rootElementName(head);
    return root == QLatin1String("APIBusinessObjects") || root == QLatin1String("BusinessObjects");
}

Plan readP6Xml(QByteArray bytes, const QString& fileName, const ReadOptions& options) {
    using namespace p6;
    const Reporter reporter(fileName);
    if (bytes.isEmpty()) reporter.notAPlan();
    const std::size_t budget = static_cast<std::size_t>(bytes.size()) * 4 + (std::size_t(1) << 24);
    P6File file;
    {
        pugi::xml_document document;
        const pugi::xml_parse_result result =
            document.load_buffer_inplace(bytes.data(), static_cast<std::size_t>(bytes.size()), kParseFlags);
        if (!result) {
            if (result.status == pugi::status_out_of_memory) reporter.tooLarge();
            if (result.status == pugi::status_no_document_element) reporter.notAPlan();
            reporter.damaged(QStringLiteral("the XML is not well-formed (%1 at byte %2)")
                                 .arg(QString::fromLatin1(result.description()).toLower())
                                 .arg(static_cast<qlonglong>(result.offset)));
        }
        const pugi::xml_node root = document.document_element();
        if (!named(root, "APIBusinessObjects") && !named(root, "BusinessObjects")) reporter.notAPlan();
        file = P6XmlReader(reporter, options).read(root);
    }
    bytes = QByteArray();
    return buildPlan(std::move(file), reporter, options, budget);
}

}  // namespace quorrix::importer::plans
