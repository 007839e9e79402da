// The further task fields of every .mpp plan of the test data against the Project XML that the
// same Project version saved (and the Project 98 plans against their exchange files): ID, unique
// ID, outline, progress, flags, baselines, actual dates, cost, work, notes and resource names.
// The XML side is read here on its own, element by element, not through the reader under test.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/plan_comparison.h"
#include "platform/failure.h"

namespace quorrix::importer::plans {
namespace {

using namespace testing;

const QString kPlans = QStringLiteral(QUORRIX_TESTDATA "/plans");

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

QString formatOf(const QString& fileName) {
    static const QRegularExpression pattern(QStringLiteral("(mpp\\d+)"));
    const auto m = pattern.match(fileName.toLower());
    return m.hasMatch() ? m.captured(1).toUpper() : QStringLiteral("?");
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
std::optional<double> mpxMinutes(const QString& text) {
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
        const auto baseline = mpxMinutes(v(41));
        compare(tallies, format, where, QStringLiteral("Baseline Duration"),
                number(d.baselineDurationMinutes.value_or(0)), number(baseline));
        compare(tallies, format, where, QStringLiteral("Actual Start"), dayOf(d.actualStart), mpxDay(v(58)));
        compare(tallies, format, where, QStringLiteral("Actual Finish"), dayOf(d.actualFinish),
                mpxDay(v(59)));
        compare(tallies, format, where, QStringLiteral("Cost"), number(d.cost), mpxAmount(v(30)));
        compare(tallies, format, where, QStringLiteral("Work"), number(d.workMinutes),
                number(mpxMinutes(v(20))));
    }
}

// ---- the walk ---------------------------------------------------------------------------------

// The XML saved by the same Project version, or the folder's only XML for plans without a
// version in their name; Project 98 plans have their exchange file instead.
std::optional<std::pair<QString, bool>> twinOf(const QFileInfo& mpp) {
    const QDir folder = mpp.dir();
    static const QRegularExpression version(QStringLiteral("project(\\d+)"));
    const auto m = version.match(mpp.fileName());
    if (m.hasMatch()) {
        const QStringList xml =
            folder.entryList({QStringLiteral("*-project%1-mspdi.xml").arg(m.captured(1))}, QDir::Files);
        if (!xml.isEmpty()) return std::make_pair(folder.filePath(xml.first()), false);
        const QStringList mpx =
            folder.entryList({QStringLiteral("*-project%1.mpx").arg(m.captured(1))}, QDir::Files);
        if (!mpx.isEmpty() && m.captured(1) == QLatin1String("98"))
            return std::make_pair(folder.filePath(mpx.first()), true);
        return std::nullopt;
    }
    const QStringList xml = folder.entryList({QStringLiteral("*.xml")}, QDir::Files);
    if (xml.size() == 1) return std::make_pair(folder.filePath(xml.first()), false);
    return std::nullopt;
}

TEST(MppDetailsExactness, EveryFieldEqualsTheTwinOfTheSameProjectVersion) {
    if (!QDir(kPlans).exists()) GTEST_SKIP() << "no test plans at " << kPlans.toStdString();
    QStringList files;
    QDirIterator it(kPlans, {QStringLiteral("*.mpp")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();

    Tallies tallies;
    std::map<QString, int> plans;
    ReadOptions withDetails;
    withDetails.details = true;
    for (const QString& path : files) {
        const QFileInfo info(path);
        const QString shown = info.dir().dirName() + QLatin1Char('/') + info.fileName();
        const auto twin = twinOf(info);
        if (!twin) continue;
        Plan plan;
        try {
            plan = readMppFile(path, withDetails);
        } catch (const Failure& failure) {
            ADD_FAILURE() << shown.toStdString() << ": " << failure.what();
            continue;
        }
        // Without the option, no details (the four-column import does no further work).
        const Plan lean = readMppFile(path);
        for (const auto& task : lean.positions) EXPECT_FALSE(task && task->details) << shown.toStdString();

        if (twin->second) {
            compareWithMpx(tallies, shown, plan, mpxTaskRecords(twin->first).value_or(std::map<int, std::map<int, QString>>{}));
            ++plans[QStringLiteral("MPP8 (.mpx)")];
        } else {
            const auto xml = readXml(twin->first);
            ASSERT_TRUE(xml.has_value()) << twin->first.toStdString();
            const QString format = formatOf(info.fileName());
            compareWithXml(tallies, format, shown, plan, *xml);
            ++plans[format];
        }
    }

    for (const auto& [format, count] : plans)
        std::printf("[ details ] %s: %d plans\n", qPrintable(format), count);
    for (const auto& [field, byFormat] : tallies) {
        QStringList line;
        for (const auto& [format, t] : byFormat)
            line << QStringLiteral("%1 %2/%3").arg(format).arg(t.equal).arg(t.tasks);
        std::printf("[ details ] %-18s %s\n", qPrintable(field), qPrintable(line.join(QStringLiteral(", "))));
        for (const auto& [format, t] : byFormat) {
            EXPECT_EQ(t.equal, t.tasks) << field.toStdString() << " " << format.toStdString() << ":\n"
                                        << t.differences.join(QLatin1Char('\n')).toStdString();
        }
    }
    EXPECT_GE(plans.size(), 4u);
}

}  // namespace
}  // namespace quorrix::importer::plans
