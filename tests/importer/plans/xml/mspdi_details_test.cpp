#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <map>

#include "importer/plans/common/resource_names.h"
#include "importer/plans/plan_reader.h"
#include "importer/plans/xml/mspdi_reader.h"

using namespace quorrix::importer::plans;

namespace {

Plan readText(const QByteArray& xml, bool details = true) {
    ReadOptions options;
    options.details = details;
    return readMspdi(xml, options);
}

QDateTime at(int y, int m, int d, int h, int min) { return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC); }

const QByteArray kPlan =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Project xmlns=\"http://schemas.microsoft.com/project\"><Name>details</Name><Tasks>"
    "<Task><UID>0</UID><ID>0</ID><Name>project</Name><Summary>1</Summary></Task>"
    // Every field, a numbered baseline before the baseline itself, a note with a CR LF.
    "<Task><UID>11</UID><GUID>x</GUID><ID>1</ID><Name>Full</Name><WBS>A.1</WBS><OutlineNumber>1.1</OutlineNumber>"
    "<OutlineLevel>2</OutlineLevel><Start>2024-03-04T08:00:00</Start><Finish>2024-03-05T17:00:00</Finish>"
    "<Duration>PT16H0M0S</Duration><Work>PT12H30M0S</Work><Milestone>0</Milestone><Summary>0</Summary>"
    "<ActualStart>2024-03-04T09:00:00</ActualStart><ActualFinish>2024-03-05T16:00:00</ActualFinish>"
    "<PercentComplete>50</PercentComplete><Cost>123450</Cost><Notes>Line one&#13;&#10;Line two</Notes>"
    "<Baseline><Number>1</Number><Start>2020-01-01T08:00:00</Start><Duration>PT1H0M0S</Duration></Baseline>"
    "<Baseline><Number>0</Number><Start>2024-03-01T08:00:00</Start><Finish>2024-03-02T12:00:00</Finish>"
    "<Duration>PT12H0M0S</Duration><Cost>5</Cost></Baseline>"
    "<ExtendedAttribute><FieldID>1</FieldID><Value>v</Value></ExtendedAttribute></Task>"
    // Flags the other way, written as words; only numbered baselines; nothing else.
    "<Task><UID>12</UID><ID>2</ID><Name>Flags</Name><Milestone>true</Milestone><Summary>true</Summary>"
    "<Baseline><Number>2</Number><Start>2024-03-01T08:00:00</Start></Baseline></Task>"
    // Values that cannot be read, and empty ones, are no values.
    "<Task><UID>13</UID><ID>3</ID><Name>Odd</Name><PercentComplete>lots</PercentComplete><Cost></Cost>"
    "<Work>x</Work><Milestone>maybe</Milestone><OutlineLevel>1e999</OutlineLevel><ActualStart>soon</ActualStart>"
    "<Baseline><Start>2024-03-01T08:00:00</Start></Baseline><WBS/></Task>"
    // No unique ID: no resources.
    "<Task><ID>4</ID><Name>Loose</Name></Task>"
    "</Tasks><Resources>"
    "<Resource><UID>0</UID><ID>0</ID></Resource>"
    "<Resource><UID>1</UID><Name>Anna</Name></Resource>"
    "<Resource><UID>2</UID><ID>2</ID><Name>Bob</Name></Resource>"
    "<Resource><UID>3</UID><Name>Cleo &amp; Co</Name></Resource>"
    "</Resources><Assignments>"
    "<Assignment><UID>5</UID><TaskUID>11</TaskUID><ResourceUID>2</ResourceUID><Units>0.5</Units></Assignment>"
    "<Assignment><UID>3</UID><TaskUID>11</TaskUID><ResourceUID>1</ResourceUID><Units>1</Units></Assignment>"
    "<Assignment><UID>4</UID><TaskUID>11</TaskUID><ResourceUID>99</ResourceUID><Units>1</Units></Assignment>"
    "<Assignment><UID>6</UID><TaskUID>11</TaskUID><ResourceUID>-65535</ResourceUID><Units>1</Units></Assignment>"
    "<Assignment><UID>7</UID><TaskUID>11</TaskUID><ResourceUID>1</ResourceUID><Units>0.25</Units></Assignment>"
    "<Assignment><UID>8</UID><TaskUID>11</TaskUID><ResourceUID>3</ResourceUID><Units>1.25</Units></Assignment>"
    "<Assignment><UID>9</UID><TaskUID>12</TaskUID><ResourceUID>-65535</ResourceUID><Units>1</Units></Assignment>"
    "<Assignment><UID>10</UID><TaskUID>13</TaskUID><ResourceUID>2</ResourceUID></Assignment>"
    "<Assignment><UID>11</UID><TaskUID>77</TaskUID><ResourceUID>1</ResourceUID><Units>1</Units></Assignment>"
    "</Assignments></Project>";

}  // namespace

TEST(MspdiDetails, EveryFieldAsWrittenTheOutlineCompletedAndNothingElseWhereNoneIs) {
    const Plan plan = readText(kPlan);
    ASSERT_EQ(plan.positions.size(), 4u);
    for (const auto& task : plan.positions) ASSERT_TRUE(task && task->details);

    const TaskDetails& full = *plan.positions[0]->details;
    EXPECT_EQ(full.id, 1.0);
    EXPECT_EQ(full.uniqueId, 11.0);
    EXPECT_EQ(full.outlineLevel, 2.0);
    EXPECT_EQ(full.outlineNumber, QStringLiteral("1.1"));
    EXPECT_EQ(full.wbs, QStringLiteral("A.1"));
    EXPECT_EQ(full.percentComplete, 50.0);
    EXPECT_EQ(full.milestone, false);
    EXPECT_EQ(full.summary, false);
    EXPECT_EQ(full.baselineStart, at(2024, 3, 1, 8, 0));
    EXPECT_EQ(full.baselineFinish, at(2024, 3, 2, 12, 0));
    EXPECT_EQ(full.baselineDurationMinutes, 720.0);
    EXPECT_EQ(full.actualStart, at(2024, 3, 4, 9, 0));
    EXPECT_EQ(full.actualFinish, at(2024, 3, 5, 16, 0));
    EXPECT_EQ(full.actualStart.timeSpec(), Qt::UTC);
    EXPECT_EQ(full.cost, 1234.5);  // written in hundredths
    EXPECT_EQ(full.workMinutes, 750.0);
    EXPECT_EQ(full.notes, QStringLiteral("Line one\nLine two"));
    // In the order of the assignments' unique IDs; unknown resources and Project's placeholder
    // give no name; the second assignment of Anna does not name her again.
    EXPECT_EQ(full.resourceNames, QStringLiteral("Anna,Bob[50%],Cleo & Co[125%]"));
    // The four fields are unchanged by the further ones.
    EXPECT_EQ(plan.positions[0]->name, QStringLiteral("Full"));
    EXPECT_EQ(plan.positions[0]->durationMinutes, 960.0);
    EXPECT_EQ(plan.positions[0]->start, at(2024, 3, 4, 8, 0));

    const TaskDetails& flags = *plan.positions[1]->details;
    EXPECT_EQ(flags.milestone, true);
    EXPECT_EQ(flags.summary, true);
    EXPECT_FALSE(flags.baselineStart.isValid());  // only a numbered baseline
    EXPECT_FALSE(flags.baselineDurationMinutes);
    EXPECT_FALSE(flags.outlineLevel);
    EXPECT_FALSE(flags.percentComplete);
    EXPECT_FALSE(flags.cost);
    EXPECT_FALSE(flags.workMinutes);
    EXPECT_FALSE(flags.actualStart.isValid());
    EXPECT_FALSE(flags.actualFinish.isValid());
    // What the file leaves out of the outline is derived: no level counts as level 1.
    EXPECT_EQ(flags.outlineNumber, QStringLiteral("2"));
    EXPECT_EQ(flags.wbs, QStringLiteral("2"));
    EXPECT_TRUE(flags.notes.isEmpty());
    EXPECT_TRUE(flags.resourceNames.isEmpty());  // the placeholder alone

    const TaskDetails& odd = *plan.positions[2]->details;
    EXPECT_EQ(odd.uniqueId, 13.0);
    EXPECT_FALSE(odd.percentComplete);
    EXPECT_FALSE(odd.cost);
    EXPECT_FALSE(odd.workMinutes);
    EXPECT_FALSE(odd.milestone);
    EXPECT_FALSE(odd.outlineLevel);
    EXPECT_FALSE(odd.actualStart.isValid());
    EXPECT_FALSE(odd.baselineStart.isValid());  // a baseline without a number is not the baseline
    EXPECT_EQ(odd.wbs, QStringLiteral("3"));  // an empty WBS code is none
    EXPECT_EQ(odd.summary, false);
    EXPECT_EQ(odd.resourceNames, QStringLiteral("Bob"));  // no units written: 100 %

    const TaskDetails& loose = *plan.positions[3]->details;
    EXPECT_EQ(loose.id, 4.0);
    EXPECT_FALSE(loose.uniqueId);
    EXPECT_TRUE(loose.resourceNames.isEmpty());

    // Not asked for: none, and the four fields the same.
    const Plan four = readText(kPlan, false);
    ASSERT_EQ(four.positions.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(four.positions[i]);
        EXPECT_FALSE(four.positions[i]->details);
        EXPECT_EQ(four.positions[i]->name, plan.positions[i]->name);
        EXPECT_EQ(four.positions[i]->finish, plan.positions[i]->finish);
    }
}

TEST(MspdiDetails, PrefixedNamesAndTheFirstOfAFieldWrittenTwice) {
    const QByteArray prefixed =
        "<p:Project xmlns:p=\"http://schemas.microsoft.com/project\"><p:Tasks><p:Task><p:UID>5</p:UID><p:ID>1</p:ID>"
        "<p:Name>N</p:Name><p:Name>second</p:Name><p:WBS>1</p:WBS><p:Baseline><p:Number>0</p:Number>"
        "<p:Finish>2024-01-02T17:00:00</p:Finish></p:Baseline></p:Task></p:Tasks><p:Resources><p:Resource>"
        "<p:UID>1</p:UID><p:Name>R</p:Name></p:Resource></p:Resources><p:Assignments><p:Assignment><p:UID>1</p:UID>"
        "<p:TaskUID>5</p:TaskUID><p:ResourceUID>1</p:ResourceUID><p:Units>0.333333</p:Units></p:Assignment>"
        "</p:Assignments></p:Project>";
    const Plan plan = readText(prefixed);
    ASSERT_EQ(plan.positions.size(), 1u);
    EXPECT_EQ(plan.positions[0]->name, QStringLiteral("N"));
    const TaskDetails& d = *plan.positions[0]->details;
    EXPECT_EQ(d.uniqueId, 5.0);
    EXPECT_EQ(d.wbs, QStringLiteral("1"));
    EXPECT_EQ(d.baselineFinish, at(2024, 1, 2, 17, 0));
    EXPECT_EQ(d.resourceNames, QStringLiteral("R[33.33%]"));
}

TEST(MspdiDetails, ResourceNamesAsTheProjectApplicationListsThem) {
    QString names;
    appendResourceName(names, QStringLiteral("Anna"), 1);
    EXPECT_EQ(names, QStringLiteral("Anna"));
    appendResourceName(names, QStringLiteral("Bob"), 0.5);
    appendResourceName(names, QStringLiteral("Cleo"), 2);
    appendResourceName(names, QStringLiteral("Dan"), 0);
    appendResourceName(names, QStringLiteral("Eve"), 0.12345);
    appendResourceName(names, QStringLiteral("Fay"), 1.0000001);
    EXPECT_EQ(names, QStringLiteral("Anna,Bob[50%],Cleo[200%],Dan[0%],Eve[12.35%],Fay"));
}

namespace {

// The fields of the real plans, read with Qt's stream reader.
struct Expected {
    double uid = -1, level = -1, percent = -1, workMinutes = -1, cost = -1;
    QString outlineNumber, wbs, milestone, summary, resources;
    bool blank = false;
};

double isoMinutes(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^PT(\\d+)H(\\d+)M(\\d+)S$"));
    const auto m = form.match(text);
    EXPECT_TRUE(m.hasMatch()) << text.toStdString();
    return m.captured(1).toDouble() * 60 + m.captured(2).toDouble() + m.captured(3).toDouble() / 60;
}

// Every child element's text of each element named `item` inside `list`, one map per item.
std::vector<std::map<QString, QString>> itemsOf(const QString& path, const QString& list, const QString& item) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::vector<std::map<QString, QString>> out;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != list) continue;
        while (xml.readNextStartElement()) {
            if (xml.name() != item) {
                xml.skipCurrentElement();
                continue;
            }
            std::map<QString, QString> fields;
            while (xml.readNextStartElement()) {
                const QString field = xml.name().toString();
                if (field == QLatin1String("Baseline") || field == QLatin1String("ExtendedAttribute") ||
                    field == QLatin1String("PredecessorLink") || field == QLatin1String("TimephasedData")) {
                    xml.skipCurrentElement();
                    continue;
                }
                const QString text = xml.readElementText(QXmlStreamReader::SkipChildElements);
                if (!fields.count(field)) fields[field] = text;
            }
            out.push_back(std::move(fields));
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return out;
}

}  // namespace

TEST(MspdiDetails, RealPlansAsTheirOwnFieldsSay) {
    const QString root = QStringLiteral(QUORRIX_TESTDATA "/plans");
    if (!QFileInfo::exists(root)) GTEST_SKIP() << "no test data";
    QStringList plans;
    QDirIterator it(root, {QStringLiteral("*-mspdi.xml"), QStringLiteral("mspdinulltasks.xml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) plans << it.next();
    plans.sort();
    ASSERT_GE(plans.size(), 31);
    int summaries = 0;
    for (const QString& path : plans) {
        SCOPED_TRACE(path.toStdString());
        QHash<QString, QString> resourceNames;
        for (const auto& r : itemsOf(path, QStringLiteral("Resources"), QStringLiteral("Resource")))
            if (r.count(QStringLiteral("Name")))
                resourceNames[r.at(QStringLiteral("UID"))] = r.at(QStringLiteral("Name"));
        QHash<QString, QStringList> assigned;  // in the file's order, which is the unique IDs' order
        for (const auto& a : itemsOf(path, QStringLiteral("Assignments"), QStringLiteral("Assignment"))) {
            const QString resource = a.at(QStringLiteral("ResourceUID"));
            if (resourceNames.contains(resource)) {
                EXPECT_EQ(a.at(QStringLiteral("Units")).toDouble(), 1.0);
                assigned[a.at(QStringLiteral("TaskUID"))] << resourceNames[resource];
            }
        }
        ReadOptions options;
        options.details = true;
        const Plan plan = readPlanFile(path, options);
        std::size_t compared = 0;
        for (const auto& t : itemsOf(path, QStringLiteral("Tasks"), QStringLiteral("Task"))) {
            const long id = t.count(QStringLiteral("ID")) ? t.at(QStringLiteral("ID")).toLong() : -1;
            if (id <= 0 || (t.count(QStringLiteral("IsNull")) && t.at(QStringLiteral("IsNull")) == QLatin1String("1")))
                continue;
            SCOPED_TRACE(id);
            ASSERT_LE(static_cast<std::size_t>(id), plan.positions.size());
            const auto& task = plan.positions[static_cast<std::size_t>(id - 1)];
            ASSERT_TRUE(task && task->details);
            const TaskDetails& d = *task->details;
            const auto field = [&t](const char* name) {
                const auto found = t.find(QLatin1String(name));
                return found == t.end() ? QString() : found->second;
            };
            EXPECT_EQ(d.id, double(id));
            EXPECT_EQ(d.uniqueId, field("UID").toDouble());
            EXPECT_EQ(d.outlineLevel, field("OutlineLevel").toDouble());
            EXPECT_EQ(d.outlineNumber, field("OutlineNumber"));
            EXPECT_EQ(d.wbs, field("WBS"));
            EXPECT_EQ(d.percentComplete, field("PercentComplete").toDouble());
            EXPECT_EQ(d.summary, field("Summary") == QLatin1String("1"));
            EXPECT_EQ(d.milestone, field("Milestone") == QLatin1String("1"));
            EXPECT_EQ(d.workMinutes, isoMinutes(field("Work")));
            EXPECT_EQ(d.cost, field("Cost").toDouble() / 100);
            EXPECT_EQ(d.notes, field("Notes"));
            EXPECT_EQ(d.actualStart.isValid(), !field("ActualStart").isEmpty());
            EXPECT_EQ(d.resourceNames, assigned.value(field("UID")).join(QLatin1Char(',')));
            summaries += d.summary == true ? 1 : 0;
            ++compared;
        }
        EXPECT_GT(compared, 0u);
    }
    EXPECT_GT(summaries, 0);
}
