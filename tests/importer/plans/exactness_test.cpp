// Every plan of the test data against its twin, the plan the same Project version saved in another
// format: for each folder, each format read (.mpp, .mpx, .mpd) and both column sets (the default
// four, and all, which reads the further task fields). The four fields are compared with the twin
// read by the XML reader (or, for Project 98, with the exchange file read here on its own); the
// further fields with the twin's XML (or exchange file) read here element by element, not through
// the reader under test.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <map>
#include <set>

#include "importer/plans/plan_comparison.h"
#include "importer/plans/plan_reader.h"
#include "platform/failure.h"
#include "support/test_data.h"

namespace quorrix::importer::plans {
namespace {

using namespace testing;

const QString kPlans = QStringLiteral(QUORRIX_TESTDATA "/plans");

// ---- the twin's further fields --------------------------------------------------------------

// "PT560H43M0S" in minutes.
std::optional<double> xmlMinutes(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^-?PT(?:([0-9.]+)H)?(?:([0-9.]+)M)?(?:([0-9.]+)S)?$"));
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    const double minutes =
        m.captured(1).toDouble() * 60 + m.captured(2).toDouble() + m.captured(3).toDouble() / 60;
    return text.trimmed().startsWith(QLatin1Char('-')) ? -minutes : minutes;
}

QDateTime xmlDate(const QString& text) {
    const QDateTime t = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    return QDateTime(t.date(), t.time(), Qt::UTC);
}

QString lineFeeds(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

struct XmlAssignment {
    qint64 uid = 0, task = 0, resource = 0;
    double units = 1;
};

// Each task's elements by name (direct children), and its number-0 baseline.
struct XmlTask {
    std::map<QString, QString> value;
    std::map<QString, QString> baseline;
};

struct XmlPlan {
    std::map<int, XmlTask> byId;  // real tasks by ID
    std::map<qint64, QString> resourceNames;
    std::vector<XmlAssignment> assignments;
};

// The children of the current element as name → text; nested elements are read past, except
// <Baseline> whose children are returned through `baselines`.
std::map<QString, QString> children(QXmlStreamReader& xml,
                                    std::vector<std::map<QString, QString>>* baselines = nullptr) {
    std::map<QString, QString> out;
    while (xml.readNextStartElement()) {
        const QString name = xml.name().toString();
        if (name == QLatin1String("Baseline") && baselines) {
            baselines->push_back(children(xml));
        } else if (name == QLatin1String("ExtendedAttribute") || name == QLatin1String("PredecessorLink") ||
                   name == QLatin1String("TimephasedData") || name == QLatin1String("Baseline") ||
                   name == QLatin1String("Rates") || name == QLatin1String("AvailabilityPeriods") ||
                   name == QLatin1String("OutlineCode")) {
            xml.skipCurrentElement();
        } else {
            out[name] = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        }
    }
    return out;
}

std::optional<XmlPlan> readXml(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QXmlStreamReader xml(&file);
    XmlPlan plan;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("Task")) {
            std::vector<std::map<QString, QString>> baselines;
            XmlTask task;
            task.value = children(xml, &baselines);
            for (const auto& b : baselines) {
                if (b.count(QStringLiteral("Number")) && b.at(QStringLiteral("Number")) == QLatin1String("0"))
                    task.baseline = b;
            }
            const int id = task.value[QStringLiteral("ID")].toInt();
            if (task.value[QStringLiteral("UID")].toInt() == 0 ||
                task.value[QStringLiteral("IsNull")] == QLatin1String("1"))
                continue;
            plan.byId[id] = task;
        } else if (name == QLatin1String("Resource")) {
            auto v = children(xml);
            plan.resourceNames[v[QStringLiteral("UID")].toLongLong()] = v[QStringLiteral("Name")];
        } else if (name == QLatin1String("Assignment")) {
            auto v = children(xml);
            XmlAssignment a;
            a.uid = v[QStringLiteral("UID")].toLongLong();
            a.task = v[QStringLiteral("TaskUID")].toLongLong();
            a.resource = v[QStringLiteral("ResourceUID")].toLongLong();
            if (v.count(QStringLiteral("Units"))) a.units = v[QStringLiteral("Units")].toDouble();
            plan.assignments.push_back(a);
        }
    }
    if (xml.hasError()) return std::nullopt;
    return plan;
}

// The Resource Names text of a task from the XML's assignments and resources: names in
// ascending assignment UID, one per resource, units other than 100 % in brackets.
QString xmlResourceNames(const XmlPlan& plan, qint64 taskUid) {
    std::vector<XmlAssignment> mine;
    for (const auto& a : plan.assignments) {
        if (a.task == taskUid) mine.push_back(a);
    }
    std::sort(mine.begin(), mine.end(), [](const auto& x, const auto& y) { return x.uid < y.uid; });
    QStringList names;
    std::set<qint64> seen;
    for (const auto& a : mine) {
        if (a.resource == -65535 || !seen.insert(a.resource).second) continue;
        const auto it = plan.resourceNames.find(a.resource);
        if (it == plan.resourceNames.end() || it->second.isEmpty()) continue;
        QString name = it->second;
        const double percent = std::round(a.units * 100);
        if (percent != 100) name += QStringLiteral("[%1%]").arg(percent);
        names << name;
    }
    return names.join(QLatin1Char(','));
}

// One field compared: how many tasks matched, and the first few differences.
struct Tally {
    int equal = 0, tasks = 0;
    QStringList differences;
};

// Field name → format ("MPP8", "MPP9", ...) → tally.
using Tallies = std::map<QString, std::map<QString, Tally>>;

QString number(const std::optional<double>& v) {
    return v ? QString::number(*v, 'f', 2) : QStringLiteral("-");
}
QString flag(const std::optional<bool>& v) {
    return v ? (*v ? QStringLiteral("1") : QStringLiteral("0")) : QStringLiteral("-");
}
QString date(const QDateTime& t) { return t.isValid() ? t.toString(Qt::ISODate) : QStringLiteral("-"); }

// The XML's value in the same text form as the file's: "-" for none.
void compare(Tallies& tallies, const QString& format, const QString& where, const QString& field,
             const QString& actual, const QString& expected) {
    Tally& t = tallies[field][format];
    ++t.tasks;
    if (actual == expected) {
        ++t.equal;
    } else if (t.differences.size() < 5) {
        t.differences << QStringLiteral("%1 %2: \"%3\", XML \"%4\"").arg(where, field, actual, expected);
    }
}

void compareWithXml(Tallies& tallies, const QString& format, const QString& shown, const Plan& plan,
                    const XmlPlan& xml) {
    for (const auto& [id, task] : xml.byId) {
        const QString where = QStringLiteral("%1 ID %2").arg(shown).arg(id);
        if (id < 1 || static_cast<size_t>(id) > plan.positions.size() || !plan.positions[id - 1]) {
            ADD_FAILURE() << where.toStdString() << ": no task at this position";
            continue;
        }
        const auto& details = plan.positions[id - 1]->details;
        if (!details) {
            ADD_FAILURE() << where.toStdString() << ": no details";
            continue;
        }
        const TaskDetails& d = *details;
        const auto& v = task.value;
        const auto get = [&v](const char* name) {
            const auto it = v.find(QString::fromLatin1(name));
            return it == v.end() ? QString() : it->second;
        };
        const auto xmlNumber = [&](const char* name, double scale = 1) -> QString {
            const QString text = get(name);
            return text.isEmpty() ? QStringLiteral("-") : QString::number(text.toDouble() * scale, 'f', 2);
        };
        const auto xmlDateText = [](const QString& text) {
            return text.isEmpty() ? QStringLiteral("-") : date(xmlDate(text));
        };
        compare(tallies, format, where, QStringLiteral("ID"), number(d.id), xmlNumber("ID"));
        compare(tallies, format, where, QStringLiteral("Unique ID"), number(d.uniqueId), xmlNumber("UID"));
        compare(tallies, format, where, QStringLiteral("Outline Level"), number(d.outlineLevel),
                xmlNumber("OutlineLevel"));
        compare(tallies, format, where, QStringLiteral("Outline Number"), d.outlineNumber,
                get("OutlineNumber"));
        compare(tallies, format, where, QStringLiteral("WBS"), d.wbs, get("WBS"));
        compare(tallies, format, where, QStringLiteral("% Complete"), number(d.percentComplete),
                xmlNumber("PercentComplete"));
        compare(tallies, format, where, QStringLiteral("Milestone"), flag(d.milestone), get("Milestone"));
        compare(tallies, format, where, QStringLiteral("Summary"), flag(d.summary), get("Summary"));
        const auto baseline = [&task](const char* name) {
            const auto it = task.baseline.find(QString::fromLatin1(name));
            return it == task.baseline.end() ? QString() : it->second;
        };
        compare(tallies, format, where, QStringLiteral("Baseline Start"), date(d.baselineStart),
                xmlDateText(baseline("Start")));
        compare(tallies, format, where, QStringLiteral("Baseline Finish"), date(d.baselineFinish),
                xmlDateText(baseline("Finish")));
        const auto baselineMinutes = xmlMinutes(baseline("Duration"));
        compare(tallies, format, where, QStringLiteral("Baseline Duration"),
                number(d.baselineDurationMinutes), number(baselineMinutes));
        compare(tallies, format, where, QStringLiteral("Actual Start"), date(d.actualStart),
                xmlDateText(get("ActualStart")));
        compare(tallies, format, where, QStringLiteral("Actual Finish"), date(d.actualFinish),
                xmlDateText(get("ActualFinish")));
        // The XML holds cost in hundredths of the currency unit.
        compare(tallies, format, where, QStringLiteral("Cost"), number(d.cost), xmlNumber("Cost", 0.01));
        // The XML rounds work to whole minutes.
        const auto work = xmlMinutes(get("Work"));
        compare(tallies, format, where, QStringLiteral("Work"),
                d.workMinutes ? number(std::round(*d.workMinutes)) : QStringLiteral("-"), number(work));
        compare(tallies, format, where, QStringLiteral("Notes"), lineFeeds(d.notes), lineFeeds(get("Notes")));
        compare(tallies, format, where, QStringLiteral("Resource Names"), d.resourceNames,
                xmlResourceNames(xml, get("UID").toLongLong()));
    }
}

// ---- the Project 98 exchange file ------------------------------------------------------------

// "0h", "2.5d" in minutes (the file's day of 480 minutes); "£1,234.50" as a number; "NA" or a
// date "Fri 17/10/14" as a day.
std::optional<double> mpxDetailMinutes(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^([0-9.]+)\\s*(e?)(mo|m|h|d|w)\\??$"));
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    const double value = m.captured(1).toDouble();
    const QString unit = m.captured(3);
    const bool elapsed = !m.captured(2).isEmpty();
    if (unit == QLatin1String("m")) return value;
    if (unit == QLatin1String("h")) return value * 60;
    if (unit == QLatin1String("d")) return value * (elapsed ? 1440 : 480);
    if (unit == QLatin1String("w")) return value * (elapsed ? 10080 : 2400);
    return value * (elapsed ? 43200 : 9600);
}
QString mpxAmount(const QString& text) {
    QString digits;
    for (const QChar c : text) {
        if (c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-')) digits += c;
    }
    return QString::number(digits.toDouble(), 'f', 2);
}
QString mpxDay(const QString& text) {
    if (text == QLatin1String("NA") || text.isEmpty()) return QStringLiteral("-");
    const QDate d = QDate::fromString(text.section(QLatin1Char(' '), 1), QStringLiteral("dd/MM/yy"));
    return d.addYears(d.year() < 1950 ? 100 : 0).toString(Qt::ISODate);
}
QString dayOf(const QDateTime& t) {
    return t.isValid() ? t.date().toString(Qt::ISODate) : QStringLiteral("-");
}

void compareWithMpx(Tallies& tallies, const QString& shown, const Plan& plan,
                    const std::map<int, std::map<int, QString>>& mpx) {
    const QString format = QStringLiteral("MPP8 (.mpx)");
    for (const auto& [id, row] : mpx) {
        const QString where = QStringLiteral("%1 ID %2").arg(shown).arg(id);
        if (static_cast<size_t>(id) > plan.positions.size() || !plan.positions[id - 1] ||
            !plan.positions[id - 1]->details) {
            ADD_FAILURE() << where.toStdString() << ": no task with details at this position";
            continue;
        }
        const TaskDetails& d = *plan.positions[id - 1]->details;
        const auto v = [&row](int field) {
            const auto it = row.find(field);
            return it == row.end() ? QString() : it->second;
        };
        const auto yes = [](const QString& text) {
            return text == QLatin1String("Yes") ? QStringLiteral("1") : QStringLiteral("0");
        };
        compare(tallies, format, where, QStringLiteral("ID"), number(d.id), number(v(90).toDouble()));
        compare(tallies, format, where, QStringLiteral("Unique ID"), number(d.uniqueId),
                number(v(98).toDouble()));
        compare(tallies, format, where, QStringLiteral("Outline Level"), number(d.outlineLevel),
                number(v(3).toDouble()));
        compare(tallies, format, where, QStringLiteral("WBS"), d.wbs, v(2));
        compare(tallies, format, where, QStringLiteral("% Complete"), number(d.percentComplete),
                number(QString(v(44)).remove(QLatin1Char('%')).toDouble()));
        compare(tallies, format, where, QStringLiteral("Milestone"), flag(d.milestone), yes(v(81)));
        compare(tallies, format, where, QStringLiteral("Summary"), flag(d.summary), yes(v(120)));
        compare(tallies, format, where, QStringLiteral("Baseline Start"), dayOf(d.baselineStart),
                mpxDay(v(56)));
        compare(tallies, format, where, QStringLiteral("Baseline Finish"), dayOf(d.baselineFinish),
                mpxDay(v(57)));
        // The exchange file writes "0d" for a task never baselined.
        const auto baseline = mpxDetailMinutes(v(41));
        compare(tallies, format, where, QStringLiteral("Baseline Duration"),
                number(d.baselineDurationMinutes.value_or(0)), number(baseline));
        compare(tallies, format, where, QStringLiteral("Actual Start"), dayOf(d.actualStart), mpxDay(v(58)));
        compare(tallies, format, where, QStringLiteral("Actual Finish"), dayOf(d.actualFinish),
                mpxDay(v(59)));
        compare(tallies, format, where, QStringLiteral("Cost"), number(d.cost), mpxAmount(v(30)));
        compare(tallies, format, where, QStringLiteral("Work"), number(d.workMinutes),
                number(mpxDetailMinutes(v(20))));
    }
}

// ---- the schedule and the custom fields -------------------------------------------------------

// A task's schedule and custom fields by column name, as text: "-" for a field the reader leaves
// empty, a custom field the plan holds but the task leaves unset as that field's default.
std::vector<std::pair<QString, QString>> scheduleTexts(const TaskDetails& d, const Plan& plan, bool dayOnly) {
    const ScheduleFields& s = d.schedule;
    const auto day = [dayOnly](const std::optional<QDateTime>& t) {
        if (!t) return QStringLiteral("-");
        if (!t->isValid()) return QStringLiteral("NA");
        return dayOnly ? t->date().toString(Qt::ISODate) : t->toString(Qt::ISODate);
    };
    const auto text = [](const QString& v) { return v.isEmpty() ? QStringLiteral("-") : v; };
    const auto whole = [](const std::optional<int>& v) { return v ? QString::number(*v) : QStringLiteral("-"); };
    std::vector<std::pair<QString, QString>> out{
        {QStringLiteral("Predecessors"), text(s.predecessors)}, {QStringLiteral("Successors"), text(s.successors)},
        {QStringLiteral("Total Slack"), number(s.totalSlackMinutes)},
        {QStringLiteral("Free Slack"), number(s.freeSlackMinutes)}, {QStringLiteral("Critical"), flag(s.critical)},
        {QStringLiteral("Constraint Type"), whole(s.constraintType)},
        {QStringLiteral("Constraint Date"), day(s.constraintDate)}, {QStringLiteral("Deadline"), day(s.deadline)},
        {QStringLiteral("Priority"), number(s.priority)}, {QStringLiteral("Early Start"), day(s.earlyStart)},
        {QStringLiteral("Early Finish"), day(s.earlyFinish)}, {QStringLiteral("Late Start"), day(s.lateStart)},
        {QStringLiteral("Late Finish"), day(s.lateFinish)}, {QStringLiteral("Task Type"), whole(s.taskType)},
        {QStringLiteral("Task Mode"), flag(s.manual)}, {QStringLiteral("Active"), flag(s.active)},
        {QStringLiteral("Estimated"), flag(s.estimated)}, {QStringLiteral("Duration (Shown)"), text(s.durationShown)},
        {QStringLiteral("Duration (Days)"), number(s.durationDays)},
        {QStringLiteral("Baseline Duration (Shown)"), text(s.baselineDurationShown)},
        {QStringLiteral("Baseline Duration (Days)"), number(s.baselineDurationDays)},
    };
    for (int slot = 0; slot < kCustomFieldCount; ++slot) {
        QString value = QStringLiteral("-");
        if (plan.customHeld.test(static_cast<std::size_t>(slot))) {
            const CustomValue* v = d.customValue(slot);
            switch (customKindOf(slot)) {
            case CustomKind::Text:
            case CustomKind::OutlineCode: value = v ? v->text : QString(); break;
            case CustomKind::Flag: value = v && v->number != 0 ? QStringLiteral("Yes") : QStringLiteral("No"); break;
            case CustomKind::Date:
            case CustomKind::Start:
            case CustomKind::Finish: value = day(v ? v->date : QDateTime()); break;
            default: value = number(v ? v->number : 0.0); break;
            }
        }
        out.emplace_back(customFieldName(slot), value);
    }
    return out;
}

// Whether a field is among those listed: by its name, or by its kind for a custom field ("Text"
// for Text1 to Text30).
bool listed(const QStringList& fields, const QString& field) {
    for (const QString& f : fields)
        if (f == QLatin1String("*") || field == f || (field.startsWith(f) && field.mid(f.size()).toInt() > 0))
            return true;
    return false;
}

// The fields that follow from a task's mode and the state the plan was last scheduled in: where
// the twin was saved in another state (Project 2010 and later turn manual tasks into automatic
// ones with a start constraint when they save an older format; some XML twins were saved after
// their tasks were made automatic), they are not compared for that task.
const QStringList kStateFields{QStringLiteral("Task Mode"),       QStringLiteral("Critical"),
                               QStringLiteral("Constraint Type"), QStringLiteral("Constraint Date"),
                               QStringLiteral("Late Start"),      QStringLiteral("Late Finish"),
                               QStringLiteral("Total Slack"),     QStringLiteral("Free Slack")};

// Stands for the custom fields the plan says its format cannot hold (Plan::customHeld).
const QString kUnheld = QStringLiteral("custom fields not held");

// Fields a format cannot hold, by the format the walk names: Project 98 files keep no deadline and
// no estimate (its shown duration is compared without the "?"), Project 2000 and 2003 keep no
// total slack in their Project 98 files; Project 98's
// exchange files have no Critical column, tell only whether a task's duration is fixed, and hold
// only some of the custom fields.
const struct {
    const char* format;
    QStringList fields;
} kLacking[] = {
    {"MPP8", {QStringLiteral("Deadline"), QStringLiteral("Estimated")}},
    {"MPP8 (Project 2000+)",
     {QStringLiteral("Deadline"), QStringLiteral("Estimated"), QStringLiteral("Total Slack"),
      QStringLiteral("Outline Code")}},
    {"MPX", {QStringLiteral("Critical"), QStringLiteral("Task Type"), QStringLiteral("Estimated"), kUnheld}},
};

// Plans whose twin holds another state although the tasks' modes agree: file, task IDs.
const struct {
    const char* file;
    std::set<std::size_t> ids;
} kOtherState[] = {
    {"task-links-project2013-mpp14.mpp", {11, 13}},
};

// The schedule and custom fields of every task the twin holds, with the twin as its own reader
// reads it; a field the twin's format lacks is not compared, nor one `unserved` lists. Returns the
// number of fields compared, and compares the names the plans give their custom fields; `other`
// counts the tasks left out as saved in another state.
long compareSchedule(Tallies& tallies, const QString& format, const QString& shown, const Plan& plan,
                     const Plan& twin, bool dayOnly, QStringList unserved, long& other) {
    long compared = 0;
    for (const auto& lacking : kLacking)
        if (format.startsWith(QLatin1String(lacking.format) + QStringLiteral(" /"))) unserved += lacking.fields;
    const bool noEstimates = unserved.contains(QStringLiteral("Estimated"));
    const bool heldOnly = unserved.contains(kUnheld);
    std::set<std::size_t> otherState;
    for (const auto& known : kOtherState)
        if (shown.endsWith(QLatin1Char('/') + QLatin1String(known.file))) otherState = known.ids;
    for (std::size_t k = 0; k < twin.positions.size(); ++k) {
        if (!twin.positions[k] || !twin.positions[k]->details) continue;
        const QString where = QStringLiteral("%1 ID %2").arg(shown).arg(k + 1);
        if (k >= plan.positions.size() || !plan.positions[k] || !plan.positions[k]->details) {
            ADD_FAILURE() << where.toStdString() << ": no task with details at this position";
            continue;
        }
        const TaskDetails& mine = *plan.positions[k]->details;
        const TaskDetails& theirs = *twin.positions[k]->details;
        const bool sameState = !otherState.count(k + 1) && (!mine.schedule.manual || !theirs.schedule.manual ||
                                                             *mine.schedule.manual == *theirs.schedule.manual);
        other += sameState ? 0 : 1;
        const auto expected = scheduleTexts(theirs, twin, dayOnly);
        const auto actual = scheduleTexts(mine, plan, dayOnly);
        for (std::size_t f = 0; f < expected.size(); ++f) {
            const QString& field = expected[f].first;
            if (expected[f].second == QLatin1String("-") || listed(unserved, field)) continue;
            if (!sameState && kStateFields.contains(field)) continue;
            const std::size_t slot = f - (expected.size() - kCustomFieldCount);  // custom fields come last
            if (heldOnly && f >= expected.size() - kCustomFieldCount && !plan.customHeld.test(slot)) continue;
            QString wanted = expected[f].second;
            if (noEstimates && field.startsWith(QLatin1String("Duration (")) && wanted.endsWith(QLatin1Char('?')))
                wanted.chop(1);
            compare(tallies, format, where, field, actual[f].second, wanted);
            ++compared;
        }
    }
    if (!twin.customAliases.empty() && !listed(unserved, QStringLiteral("Aliases"))) {
        auto sorted = [](std::vector<std::pair<int, QString>> v) {
            std::sort(v.begin(), v.end());
            return v;
        };
        compare(tallies, format, shown, QStringLiteral("Aliases"), QString::number(sorted(plan.customAliases).size()),
                QString::number(sorted(twin.customAliases).size()));
        EXPECT_EQ(sorted(plan.customAliases), sorted(twin.customAliases)) << shown.toStdString();
    }
    return compared;
}

// ---- the Project 98 exchange file's four fields ---------------------------------------------

// "1d", "2.5ew", "0h", "3mo?" in minutes, with the file's day of 480 minutes and week of 2,400.
double mpxMinutes(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^([0-9.]+)\\s*(e?)(mo|m|h|d|w|%)\\??$"));
    const auto m = pattern.match(text.trimmed());
    if (!m.hasMatch()) return std::nan("");
    const double value = m.captured(1).toDouble();
    const bool elapsed = !m.captured(2).isEmpty();
    const QString unit = m.captured(3);
    if (unit == QLatin1String("m")) return value;
    if (unit == QLatin1String("h")) return value * 60;
    if (unit == QLatin1String("d")) return value * (elapsed ? 1440 : 480);
    if (unit == QLatin1String("w")) return value * (elapsed ? 10080 : 2400);
    if (unit == QLatin1String("mo")) return value * (elapsed ? 43200 : 9600);
    return std::nan("");
}

// The plan an .mpx file holds, read independently of the reader under test.
std::optional<Plan> readMpx(const QString& path) {
    const auto records = mpxTaskRecords(path);
    if (!records) return std::nullopt;
    std::map<int, std::optional<PlanTask>> byId;
    for (auto [id, value] : *records) {
        PlanTask task;
        task.name = value[1];
        task.durationMinutes = mpxMinutes(value[40]);
        const auto day = [](const QString& text) {  // "Fri 17/10/14"
            const QDate date = QDate::fromString(text.section(QLatin1Char(' '), 1), QStringLiteral("dd/MM/yy"));
            return QDateTime(date.addYears(date.year() < 1950 ? 100 : 0), QTime(0, 0), Qt::UTC);
        };
        task.start = day(value[50]);
        task.finish = day(value[51]);
        byId[id] = task;
    }
    Plan plan;
    if (!byId.empty()) plan.positions.resize(static_cast<size_t>(byId.rbegin()->first));
    for (const auto& [id, task] : byId) plan.positions[static_cast<size_t>(id) - 1] = task;
    return plan;
}

// ---- the twins ---------------------------------------------------------------------------------

// How the twin of a plan is read and compared.
enum class TwinKind {
    Xml,       // Project XML: the four fields to the minute, the further fields element by element
    Mpx,       // a Project 98 exchange file, which holds dates to the day
    Mpp,       // a Project 98 or 2000 .mpp (Project wrote no XML then): the four fields
};

struct Twin {
    QString path;
    TwinKind kind;
};

// An .mpp: the XML saved by the same Project version ("projectYYYY" in the names), the folder's
// only XML for plans without a version in their name, or the Project 98 exchange file.
std::optional<Twin> twinOfMpp(const QFileInfo& mpp) {
    const QDir folder = mpp.dir();
    static const QRegularExpression version(QStringLiteral("project(\\d+)"));
    const auto m = version.match(mpp.fileName());
    if (m.hasMatch()) {
        const QStringList xml =
            folder.entryList({QStringLiteral("*-project%1-mspdi.xml").arg(m.captured(1))}, QDir::Files);
        if (!xml.isEmpty()) return Twin{folder.filePath(xml.first()), TwinKind::Xml};
        const QStringList mpx = folder.entryList({QStringLiteral("*-project%1.mpx").arg(m.captured(1))}, QDir::Files);
        if (!mpx.isEmpty() && m.captured(1) == QLatin1String("98")) return Twin{folder.filePath(mpx.first()), TwinKind::Mpx};
        return std::nullopt;
    }
    const QStringList xml = folder.entryList({QStringLiteral("*.xml")}, QDir::Files);
    if (xml.size() == 1) return Twin{folder.filePath(xml.first()), TwinKind::Xml};
    return std::nullopt;
}

// An .mpx: the XML saved by the same Project version, or for Project 98 its .mpp.
std::optional<Twin> twinOfMpx(const QFileInfo& mpx) {
    static const QRegularExpression version(QStringLiteral("project(\\d+)\\.mpx$"));
    const auto m = version.match(mpx.fileName());
    if (!m.hasMatch()) return std::nullopt;
    const QDir folder = mpx.dir();
    const QStringList xml = folder.entryList({QStringLiteral("*-project%1-mspdi.xml").arg(m.captured(1))}, QDir::Files);
    if (!xml.isEmpty()) return Twin{folder.filePath(xml.first()), TwinKind::Xml};
    if (m.captured(1) == QLatin1String("98")) {
        const QStringList mpp = folder.entryList({QStringLiteral("*-project98-mpp8.mpp")}, QDir::Files);
        if (!mpp.isEmpty()) return Twin{folder.filePath(mpp.first()), TwinKind::Mpp};
    }
    return std::nullopt;
}

// An .mpd: its XML, or for Project 98 and 2000 (which wrote no XML) its .mpp; the blank-row
// database has the folder's XML.
std::optional<Twin> twinOfMpd(const QFileInfo& mpd) {
    const QDir folder = mpd.dir();
    static const QRegularExpression version(QStringLiteral("^(.*-project(\\d+))-mpd\\d\\.mpd$"));
    const auto m = version.match(mpd.fileName());
    QStringList candidates;
    if (m.hasMatch()) {
        const QString stem = m.captured(1);
        QString plain = stem;
        if (plain.startsWith(QLatin1Char('X'))) plain.remove(0, 1);
        candidates << stem + QStringLiteral("-mspdi.xml") << plain + QStringLiteral("-mspdi.xml");
        if (m.captured(2) == QLatin1String("98"))
            candidates << stem + QStringLiteral("-mpp8.mpp") << plain + QStringLiteral("-mpp8.mpp");
        if (m.captured(2) == QLatin1String("2000")) candidates << plain + QStringLiteral("-mpp9.mpp");
    } else {
        candidates << folder.entryList({QStringLiteral("*.xml")}, QDir::Files);
    }
    for (const QString& name : candidates) {
        if (folder.exists(name))
            return Twin{folder.filePath(name), name.endsWith(QLatin1String(".xml")) ? TwinKind::Xml : TwinKind::Mpp};
    }
    return std::nullopt;
}

// Whether an exchange file's dates carry a time: the date format of its record 12 (field 8).
bool holdsTimes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = f.readAll();
    const char delimiter = text.size() > 3 ? text[3] : ',';
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(delimiter);
        if (fields.size() > 8 && fields[0] == "12") return QList<int>{0, 2, 4, 8, 11, 19}.contains(fields[8].toInt());
    }
    return false;
}

// ---- the formats ---------------------------------------------------------------------------------

struct Format {
    const char* extension;
    std::optional<Twin> (*twinOf)(const QFileInfo&);
    bool needsTwin;             // a plan without a twin is a fault of the test data
    bool comparesDetails;       // the further fields are compared with the twin
    QStringList uncompared;     // further fields the twin does not tell
    // Schedule and custom fields the format's reader does not serve yet: by name, by the kind of
    // custom field ("Text" for Text1 to Text30), "Aliases" for the custom fields' names, "*" for all.
    QStringList unserved;
};

const Format kFormats[] = {
    {"mpp", twinOfMpp, false, true, {}, {}},
    {"mpx", twinOfMpx, false, false, {}, {}},
    {"mpd", twinOfMpd, true, true, {}, {QStringLiteral("Aliases")}},
};

QString detailFormat(const QFileInfo& plan, const Twin& twin) {
    if (twin.kind == TwinKind::Mpx) return QStringLiteral("MPP8 (.mpx)");
    static const QRegularExpression pattern(QStringLiteral("(mpp\\d+|mpd\\d+)"));
    const auto m = pattern.match(plan.fileName().toLower());
    return m.hasMatch() ? m.captured(1).toUpper() : QStringLiteral("?");
}

QStringList plansIn(const QString& folder, const char* extension) {
    QStringList files = QDir(folder).entryList({QStringLiteral("*.") + QLatin1String(extension)}, QDir::Files);
    for (QString& f : files) f = folder + QLatin1Char('/') + f;
    files.sort();
    return files;
}

// ---- the walk --------------------------------------------------------------------------------------

struct Case {
    QString folder;  // empty: the test plans are missing
    const Format* format = nullptr;
    bool allColumns = false;
};

std::vector<Case> cases() {
    std::vector<Case> out;
    const QStringList folders = QDir(kPlans).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& folder : folders) {
        for (const Format& format : kFormats) {
            if (plansIn(kPlans + QLatin1Char('/') + folder, format.extension).isEmpty()) continue;
            for (const bool all : {false, true}) out.push_back({folder, &format, all});
        }
    }
    if (out.empty()) out.push_back({});
    return out;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    if (info.param.folder.isEmpty()) return "no_test_plans";
    QString name = info.param.folder + QLatin1Char('_') + QLatin1String(info.param.format->extension) +
                   (info.param.allColumns ? QStringLiteral("_all") : QStringLiteral("_four"));
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    return name.toStdString();
}

class PlanExactness : public ::testing::TestWithParam<Case> {};

TEST_P(PlanExactness, EveryPlanEqualsItsTwin) {
    const Case& c = GetParam();
    QUORRIX_NEED_TEST_DATA(kPlans + QLatin1Char('/') + c.folder);
    ASSERT_TRUE(c.format);
    ReadOptions options;
    options.details = c.allColumns;
    options.schedule = c.allColumns;
    if (c.allColumns) options.custom.set();
    Tallies tallies;
    long files = 0, fields = 0, otherState = 0;
    for (const QString& path : plansIn(kPlans + QLatin1Char('/') + c.folder, c.format->extension)) {
        const QFileInfo info(path);
        const std::string shown = (c.folder + QLatin1Char('/') + info.fileName()).toStdString();
        Plan actual;
        try {
            actual = readPlanFile(path, options);  // recognised by content
        } catch (const Failure& failure) {
            ADD_FAILURE() << shown << ": " << failure.what();
            continue;
        }
        EXPECT_FALSE(actual.positions.empty()) << shown;
        // The four columns alone read no further fields.
        if (!c.allColumns) {
            for (const auto& task : actual.positions) EXPECT_FALSE(task && task->details) << shown;
        }

        const auto twin = c.format->twinOf(info);
        if (!twin) {
            EXPECT_FALSE(c.format->needsTwin) << shown << " has no twin";
            continue;
        }
        Plan expected;
        bool dayOnly = false;
        double tolerance = 0.01;
        if (twin->kind == TwinKind::Mpx) {
            const auto mpx = readMpx(twin->path);
            ASSERT_TRUE(mpx.has_value()) << twin->path.toStdString();
            expected = *mpx;
            dayOnly = true;
            tolerance = 5.0;  // the exchange file rounds durations to two decimals of their display unit
        } else {
            expected = readPlanFile(twin->path);
            dayOnly = info.suffix() == QLatin1String("mpx") && !holdsTimes(path);
        }
        const QStringList diff = differences(actual, expected, dayOnly, tolerance);
        EXPECT_TRUE(diff.isEmpty()) << shown << " differs from " << QFileInfo(twin->path).fileName().toStdString()
                                    << ":\n  " << diff.mid(0, 5).join(QStringLiteral("\n  ")).toStdString();

        if (!c.allColumns) continue;
        const QString where = c.folder + QLatin1Char('/') + info.fileName();
        const Plan twinPlan = readPlanFile(twin->path, options);
        QString scheduleFormat = detailFormat(info, *twin);
        if (scheduleFormat == QLatin1String("?") || twin->kind == TwinKind::Mpx) scheduleFormat = info.suffix().toUpper();
        if (scheduleFormat == QLatin1String("MPP8") && !info.fileName().contains(QLatin1String("project98")))
            scheduleFormat += QStringLiteral(" (Project 2000+)");
        scheduleFormat += QStringLiteral(" / ") + QFileInfo(twin->path).suffix().toUpper();
        fields +=
            compareSchedule(tallies, scheduleFormat, where, actual, twinPlan, dayOnly, c.format->unserved, otherState);
        ++files;
        if (!c.format->comparesDetails || twin->kind == TwinKind::Mpp) continue;
        if (twin->kind == TwinKind::Mpx) {
            const auto records = mpxTaskRecords(twin->path);
            ASSERT_TRUE(records.has_value()) << twin->path.toStdString();
            compareWithMpx(tallies, where, actual, *records);
        } else {
            const auto xml = readXml(twin->path);
            ASSERT_TRUE(xml.has_value()) << twin->path.toStdString();
            compareWithXml(tallies, detailFormat(info, *twin), where, actual, *xml);
        }
    }
    if (c.allColumns)
        std::cout << "[ schedule ] " << c.folder.toStdString() << " ." << c.format->extension << ": " << files
                  << " files, " << fields << " schedule and custom fields compared, " << otherState
                  << " tasks saved in another state\n";
    for (const auto& [field, byFormat] : tallies) {
        if (c.format->uncompared.contains(field)) continue;
        for (const auto& [format, t] : byFormat) {
            EXPECT_EQ(t.equal, t.tasks) << field.toStdString() << " " << format.toStdString() << ":\n"
                                        << t.differences.join(QLatin1Char('\n')).toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TestPlans, PlanExactness, ::testing::ValuesIn(cases()), caseName);

// The walk above stands on test plans of every kind: twins for each format, the Project versions
// that wrote no XML, every .mpp format, and databases with blank rows.
TEST(PlanExactnessCoverage, TheTestPlansHoldTwinsOfEveryKind) {
    QUORRIX_NEED_TEST_DATA(kPlans);
    std::map<QString, int> twins;
    std::set<QString> detailFormats;
    bool project98 = false, project2000 = false;
    long blanks = 0;
    std::size_t databaseTasks = 0;  // the tasks whose further fields a database is compared by
    QDirIterator it(kPlans, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        for (const Format& format : kFormats) {
            if (info.suffix() != QLatin1String(format.extension)) continue;
            const auto twin = format.twinOf(info);
            if (!twin) continue;
            ++twins[info.suffix()];
            if (format.comparesDetails && twin->kind != TwinKind::Mpp && info.suffix() == QLatin1String("mpp"))
                detailFormats.insert(detailFormat(info, *twin));
            if (info.suffix() == QLatin1String("mpd")) {
                project98 |= info.fileName().contains(QLatin1String("project98"));
                project2000 |= info.fileName().contains(QLatin1String("project2000"));
                const Plan plan = readPlanFile(info.filePath());
                blanks += std::count(plan.positions.begin(), plan.positions.end(), std::nullopt);
                if (twin->kind == TwinKind::Xml) databaseTasks += readXml(twin->path).value_or(XmlPlan{}).byId.size();
            }
        }
    }
    EXPECT_GT(twins[QStringLiteral("mpp")], 0);
    EXPECT_GE(twins[QStringLiteral("mpx")], 3);
    EXPECT_GE(twins[QStringLiteral("mpd")], 13);
    EXPECT_TRUE(project98);
    EXPECT_TRUE(project2000);
    EXPECT_GT(blanks, 0);
    EXPECT_GT(databaseTasks, 100u);
    EXPECT_GE(detailFormats.size(), 4u);
}

TEST(MppExactness, NullTaskPlansKeepTheirBlankRows) {
    const QString folder = kPlans + QStringLiteral("/null-tasks");
    QUORRIX_NEED_TEST_DATA(folder);
    const Plan expected = readPlanFile(folder + QStringLiteral("/mspdinulltasks.xml"));
    const auto blanks = std::count(expected.positions.begin(), expected.positions.end(), std::nullopt);
    ASSERT_GT(blanks, 0);
    for (const char* name : {"mpp9nulltasks.mpp", "mpp12nulltasks.mpp", "mpp14nulltasks.mpp"}) {
        const Plan actual = readPlanFile(folder + QLatin1Char('/') + QLatin1String(name));
        EXPECT_EQ(differences(actual, expected).join(QLatin1Char('\n')).toStdString(), "") << name;
    }
}

}  // namespace
}  // namespace quorrix::importer::plans
