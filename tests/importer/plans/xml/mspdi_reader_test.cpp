#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <sys/stat.h>

#include "importer/plans/plan_reader.h"
#include "importer/plans/xml/mspdi_reader.h"
#include "platform/failure.h"
#include "support/test_data.h"

using quorrix::Failure;
using namespace quorrix::importer::plans;

namespace {

// ---- the files' own values, read independently of the reader under test --------------------

struct ExpectedTask {
    bool blank = true;
    QString name;
    double minutes = 0;
    QDateTime start, finish;
};

double isoHoursMinutesSeconds(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^PT(\\d+)H(\\d+)M(\\d+)S$"));
    const auto m = form.match(text);
    EXPECT_TRUE(m.hasMatch()) << text.toStdString();
    return m.captured(1).toDouble() * 60 + m.captured(2).toDouble() + m.captured(3).toDouble() / 60;
}

QDateTime isoDate(const QString& text) {
    QDateTime d = QDateTime::fromString(text, Qt::ISODate);
    d.setTimeSpec(Qt::UTC);
    return d;
}

std::vector<ExpectedTask> expectedTasks(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::vector<ExpectedTask> out;
    bool inTasks = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("Tasks")) inTasks = true;
        if (xml.isEndElement() && xml.name() == QLatin1String("Tasks")) inTasks = false;
        if (!inTasks || !xml.isStartElement() || xml.name() != QLatin1String("Task")) continue;
        long id = -1;
        ExpectedTask task;
        bool isNull = false;
        while (!(xml.isEndElement() && xml.name() == QLatin1String("Task")) && !xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement()) continue;
            const QString field = xml.name().toString();
            if (field == QLatin1String("ID")) id = xml.readElementText().toLong();
            else if (field == QLatin1String("Name")) task.name = xml.readElementText();
            else if (field == QLatin1String("IsNull")) isNull = xml.readElementText() == QLatin1String("1");
            else if (field == QLatin1String("Duration")) task.minutes = isoHoursMinutesSeconds(xml.readElementText());
            else if (field == QLatin1String("Start")) task.start = isoDate(xml.readElementText());
            else if (field == QLatin1String("Finish")) task.finish = isoDate(xml.readElementText());
            else xml.skipCurrentElement();
        }
        task.blank = isNull;
        if (id <= 0) continue;
        if (out.size() < static_cast<std::size_t>(id)) out.resize(static_cast<std::size_t>(id));
        out[static_cast<std::size_t>(id - 1)] = task;
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return out;
}

QStringList realPlans() {
    const QString root = QStringLiteral(QUORRIX_TESTDATA "/plans");
    QStringList plans;
    QDirIterator it(root, {QStringLiteral("*-mspdi.xml"), QStringLiteral("mspdinulltasks.xml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) plans << it.next();
    plans.sort();
    return plans;
}

QByteArray digestOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// ---- small plans written by the tests -----------------------------------------------------

QByteArray planXml(const QByteArray& tasks) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<Project xmlns=\"http://schemas.microsoft.com/project\"><Name>t</Name><Tasks>" +
           tasks + "</Tasks></Project>";
}

QByteArray task(int id, const QByteArray& name, const QByteArray& duration = "PT8H0M0S",
                const QByteArray& start = "2024-03-05T08:00:00", const QByteArray& finish = "2024-03-05T17:00:00") {
    return "<Task><UID>" + QByteArray::number(id + 100) + "</UID><ID>" + QByteArray::number(id) + "</ID><Name>" + name +
           "</Name><Type>0</Type><IsNull>0</IsNull><Duration>" + duration + "</Duration><Start>" + start +
           "</Start><Finish>" + finish + "</Finish></Task>";
}

Plan readText(const QByteArray& xml) { return readMspdi(xml); }

QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& f) {
        return f.description();
    }
    return QStringLiteral("<no failure>");
}

class PlanFiles : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

void expectOneLine(const QString& text) {
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) << text.toStdString();
    EXPECT_NE(text, QStringLiteral("<no failure>"));
}

}  // namespace

namespace {

void needMissingTestData() { QUORRIX_NEED_TEST_DATA(QStringLiteral("/no/such/test/data")); }

}  // namespace

TEST(TestData, MissingPlansFailOnTheBuildMachinesAndSkipElsewhere) {
    const QByteArray saved = qgetenv("CI");
    const bool wasSet = qEnvironmentVariableIsSet("CI");
    qputenv("CI", "true");
    EXPECT_TRUE(quorrix::testing::testDataRequired());
    EXPECT_FATAL_FAILURE(needMissingTestData(), "test data missing: /no/such/test/data");
    qunsetenv("CI");
    EXPECT_FALSE(quorrix::testing::testDataRequired());
    if (wasSet) qputenv("CI", saved);
}

TEST(MspdiRealPlans, EveryPlanReadsAsItsOwnFieldsSay) {
    QUORRIX_NEED_TEST_DATA(QStringLiteral(QUORRIX_TESTDATA "/plans"));
    const QStringList plans = realPlans();
    ASSERT_GE(plans.size(), 31);
    for (const QString& path : plans) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray before = digestOf(path);
        const std::vector<ExpectedTask> expected = expectedTasks(path);
        const Plan plan = readPlanFile(path);
        ASSERT_EQ(plan.positions.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i + 1);
            const auto& got = plan.positions[i];
            ASSERT_EQ(got.has_value(), !expected[i].blank);
            if (!got) continue;
            EXPECT_EQ(got->name, expected[i].name);
            EXPECT_DOUBLE_EQ(got->durationMinutes, expected[i].minutes);
            EXPECT_EQ(got->start, expected[i].start);
            EXPECT_EQ(got->finish, expected[i].finish);
            EXPECT_EQ(got->start.timeSpec(), Qt::UTC);
        }
        EXPECT_EQ(digestOf(path), before) << "the plan file was changed";
    }
}

TEST(MspdiRealPlans, NullTasksAreBlankPositions) {
    const QString path = QStringLiteral(QUORRIX_TESTDATA "/plans/null-tasks/mspdinulltasks.xml");
    QUORRIX_NEED_TEST_DATA(path);
    const Plan plan = readPlanFile(path);
    ASSERT_EQ(plan.positions.size(), 8u);
    const bool present[] = {true, false, true, true, false, true, false, true};
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(plan.positions[i].has_value(), present[i]) << i;
    EXPECT_EQ(plan.positions[0]->name, QStringLiteral("Task 1"));
    EXPECT_EQ(plan.positions[7]->name, QStringLiteral("Task 5"));
    EXPECT_DOUBLE_EQ(plan.positions[0]->durationMinutes, 75 * 60);
    EXPECT_EQ(plan.positions[0]->start, QDateTime(QDate(2008, 11, 3), QTime(9, 0), Qt::UTC));
    EXPECT_EQ(plan.positions[0]->finish, QDateTime(QDate(2008, 11, 14), QTime(12, 0), Qt::UTC));
}

TEST(MspdiFields, DurationsInMinutes) {
    struct Case { const char* text; double minutes; };
    const Case good[] = {{"PT8H0M0S", 480},      {"PT7H30M0S", 450},   {"PT0H0M0S", 0},        {"PT480M", 480},
                         {"PT0.5H", 30},         {"PT1,5H", 90},       {"PT1H30M30S", 90.5},   {"-PT1H0M0S", -60},
                         {"P1DT2H", 1560},       {"P1W", 10080},       {" PT24H0M0S \n", 1440}, {"PT0H0M90S", 1.5},
                         {"PT2000000H0M0S", 120000000}};
    for (const Case& c : good) {
        double minutes = -1;
        EXPECT_TRUE(parseDurationMinutes(c.text, minutes)) << c.text;
        EXPECT_DOUBLE_EQ(minutes, c.minutes) << c.text;
    }
    const char* bad[] = {"", "8h", "PT", "P", "PT8X", "PT8H8H", "P1M", "P1Y", "PT1M1H", "PT8H 0M", "T8H",
                         "PTH", "PT.H", "PT8H0M0S junk", "P1DT", "PT1H-", "1"};
    for (const char* text : bad) {
        double minutes = 0;
        EXPECT_FALSE(parseDurationMinutes(text, minutes)) << text;
    }
}

TEST(MspdiFields, WallClockDates) {
    EXPECT_EQ(parseWallClock("2024-03-05T08:00:00"), QDateTime(QDate(2024, 3, 5), QTime(8, 0), Qt::UTC));
    EXPECT_EQ(parseWallClock("2024-03-05T08:07:09.250"), QDateTime(QDate(2024, 3, 5), QTime(8, 7, 9, 250), Qt::UTC));
    EXPECT_EQ(parseWallClock("2024-03-05T08:07"), QDateTime(QDate(2024, 3, 5), QTime(8, 7), Qt::UTC));
    EXPECT_EQ(parseWallClock("2024-03-05"), QDateTime(QDate(2024, 3, 5), QTime(0, 0), Qt::UTC));
    // A zone designator does not move the reading: the plan's times are wall-clock times.
    EXPECT_EQ(parseWallClock("2024-03-31T02:30:00+02:00"), QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::UTC));
    EXPECT_EQ(parseWallClock("2024-03-31T02:30:00Z"), QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::UTC));
    EXPECT_EQ(parseWallClock("2024-03-05T08:00:00").timeSpec(), Qt::UTC);
    for (const char* bad : {"", "2024-02-30T08:00:00", "2024-13-01T08:00:00", "2024-03-05T25:00:00", "24-03-05",
                            "2024/03/05", "2024-03-05T08", "2024-03-05T08:00:00junk", "NA", "2024-03-05T08:00:61"})
        EXPECT_FALSE(parseWallClock(bad).isValid()) << bad;
}

TEST(MspdiContent, PositionsFollowTheTaskIds) {
    // ID 0 is left out; IDs missing between are blank positions; order in the file does not matter.
    const Plan plan = readText(planXml(task(0, "Summary") + task(4, "Four") + task(1, "One") +
                                       "<Task><UID>7</UID><ID>2</ID><IsNull>1</IsNull></Task>"));
    ASSERT_EQ(plan.positions.size(), 4u);
    EXPECT_EQ(plan.positions[0]->name, QStringLiteral("One"));
    EXPECT_FALSE(plan.positions[1].has_value());
    EXPECT_FALSE(plan.positions[2].has_value());
    EXPECT_EQ(plan.positions[3]->name, QStringLiteral("Four"));
}

TEST(MspdiContent, BlankRowsAsProjectWritesThem) {
    const Plan plan = readText(planXml("<Task><UID>1</UID><ID>1</ID></Task>"                        // identifiers only
                                       "<Task><UID>2</UID><ID>2</ID><IsNull>true</IsNull><Name>x</Name></Task>"
                                       "<Task><UID>3</UID><ID>3</ID><Duration>PT1H0M0S</Duration></Task>"));  // no name
    ASSERT_EQ(plan.positions.size(), 3u);
    EXPECT_FALSE(plan.positions[0].has_value());
    EXPECT_FALSE(plan.positions[1].has_value());
    ASSERT_TRUE(plan.positions[2].has_value());
    EXPECT_EQ(plan.positions[2]->name, QString());
    EXPECT_DOUBLE_EQ(plan.positions[2]->durationMinutes, 60);
    EXPECT_FALSE(plan.positions[2]->start.isValid());
}

TEST(MspdiContent, NamesExactlyAsWritten) {
    const Plan plan = readText(planXml(task(1, "  ") + task(2, "A &amp; B &lt;C&gt; &#x263A;") +
                                       task(3, "<![CDATA[x < y]]>") + task(4, "Pl\xC3\xA4n &unknown;") +
                                       task(5, " lead and trail ")));
    EXPECT_EQ(plan.positions[0]->name, QStringLiteral("  "));
    EXPECT_EQ(plan.positions[1]->name, QString::fromUtf8("A & B <C> \xE2\x98\xBA"));
    EXPECT_EQ(plan.positions[2]->name, QStringLiteral("x < y"));
    EXPECT_EQ(plan.positions[3]->name, QString::fromUtf8("Pl\xC3\xA4n &unknown;"));  // never expanded
    EXPECT_EQ(plan.positions[4]->name, QStringLiteral(" lead and trail "));
}

TEST(MspdiContent, OtherEncodingsAndPrefixes) {
    const QString utf16Text = QString::fromUtf8(
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?><Project xmlns=\"http://schemas.microsoft.com/project\"><Tasks>" +
        task(1, "Gr\xC3\xBC\xC3\x9F") + "</Tasks></Project>");
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(utf16Text.utf16()), utf16Text.size() * 2);
    EXPECT_EQ(readText(utf16).positions.at(0)->name, QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"));

    const QByteArray prefixed = "<p:Project xmlns:p=\"http://schemas.microsoft.com/project\"><p:Tasks><p:Task>"
                                "<p:ID>1</p:ID><p:Name>N</p:Name></p:Task></p:Tasks></p:Project>";
    EXPECT_EQ(readText(prefixed).positions.at(0)->name, QStringLiteral("N"));

    const QByteArray noTasks = "<Project xmlns=\"http://schemas.microsoft.com/project\"><Name>empty</Name></Project>";
    EXPECT_TRUE(readText(noTasks).positions.empty());
}

TEST(MspdiContent, BadContentFailsWithOneLine) {
    struct Case { QByteArray xml; const char* expected; };
    const Case cases[] = {
        {"<html><body>hello</body></html>", "The file is not a project plan."},
        {"<Project xmlns=\"urn:something-else\"><Tasks/></Project>", "The file is not a project plan."},
        {"   ", "The file is not a project plan."},
        {planXml(task(1, "a")).left(150), "The plan is damaged: the XML is not well-formed"},
        {"<Project><Tasks><Task></Tasks></Project>", "The plan is damaged: the XML is not well-formed"},
        {planXml(task(1, "a", "eight hours")), "The plan is damaged: the duration of task 1 (\"eight hours\") cannot be read."},
        {planXml(task(2, "a", "PT8H0M0S", "2024-02-30T08:00:00")), "The plan is damaged: the start of task 2 (\"2024-02-30T08:00:00\") is not a date."},
        {planXml(task(3, "a", "PT8H0M0S", "2024-02-03T08:00:00", "tomorrow")), "The plan is damaged: the finish of task 3 (\"tomorrow\") is not a date."},
        {planXml(task(1, "a") + task(1, "b")), "The plan is damaged: the task ID 1 appears twice."},
        {planXml("<Task><ID>-4</ID><Name>a</Name></Task>"), "The plan is damaged: a task has the negative ID -4."},
        {planXml("<Task><ID>x1</ID><Name>a</Name></Task>"), "The plan is damaged: the task ID \"x1\" is not a number."},
        {planXml("<Task><ID>99999999999</ID><Name>a</Name></Task>"), "The plan is damaged: the task ID 99999999999 is out of range."},
        {planXml("<Task><ID>2000000</ID><Name>a</Name></Task>"), "The plan is damaged: the task ID 2000000 is out of range."},
        {planXml(task(1, "a", "PT8H\n0M")), "The plan is damaged: the duration of task 1 (\"PT8H?0M\") cannot be read."},
    };
    for (const Case& c : cases) {
        const QString text = failureOf([&] { readText(c.xml); });
        expectOneLine(text);
        EXPECT_TRUE(text.startsWith(QLatin1String(c.expected))) << text.toStdString() << " / " << c.expected;
    }
}

TEST(MspdiContent, DocumentTypeDefinitionsAreRefusedAndNeverExpanded) {
    const QByteArray laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE Project [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY ext SYSTEM \"file:///etc/passwd\">]>"
        "<Project xmlns=\"http://schemas.microsoft.com/project\"><Tasks><Task><ID>1</ID><Name>&c;&ext;</Name>"
        "</Task></Tasks></Project>";
    const QString text = failureOf([&] { readText(laughs); });
    expectOneLine(text);
    EXPECT_EQ(text, QStringLiteral("The plan holds a document type definition, which plans never do; it was not read."));
}

TEST_F(PlanFiles, PathsThatAreNotPlans) {
    ASSERT_TRUE(dir.isValid());
    const QString empty = write(QStringLiteral("empty.xml"), {});
    const QString junk = write(QStringLiteral("junk.mpp"), QByteArray("Microsoft Project for Windows,4.0\r\n"));
    const QString ole = write(QStringLiteral("plan.mpp"), QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(504, '\0'));
    const QString locked = write(QStringLiteral("locked.xml"), planXml(task(1, "a")));
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    const QString fifo = dir.filePath(QStringLiteral("pipe.xml"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile::link(dir.filePath(QStringLiteral("gone.xml")), dir.filePath(QStringLiteral("dangling.xml")));

    // A reader's failure names the file, whatever the format.
    QByteArray jet = QByteArray("\0\1\0\0Standard Jet DB\0", 20).leftJustified(0x14, '\0');
    jet += '\1';  // Jet 4: pages of 4096 bytes, of which a database has at least three
    const QString shortDatabase = write(QStringLiteral("short.mpd"), jet.leftJustified(4096, '\0'));
    const QString cutMpx = write(QStringLiteral("cut.mpx"), "MPX,Microsoft Project for Windows,4.0,ANSI\r\n");
    const QString badXml = write(QStringLiteral("bad.xml"), "<Project><Tasks><Task></Tasks></Project>");

    struct Case { QString path; QString expected; bool prefix = false; };
    const Case cases[] = {
        {ole, QStringLiteral("The file \"plan.mpp\" is damaged: "), true},
        {shortDatabase, QStringLiteral("The database \"short.mpd\" is damaged: the file is too short to hold its tables.")},
        {cutMpx, QStringLiteral("The file \"cut.mpx\" is damaged: it ends after its first line.")},
        {badXml, QStringLiteral("The plan \"bad.xml\" is damaged: the XML is not well-formed ("), true},
        {QString(), QStringLiteral("No file name was given.")},
        {empty, QStringLiteral("The file \"empty.xml\" is empty.")},
        {junk, QStringLiteral("The file \"junk.mpp\" is not a project plan.")},
        {dir.path(), QStringLiteral("\"%1\" is a folder, not a plan file.").arg(QFileInfo(dir.path()).fileName())},
        {dir.filePath(QStringLiteral("missing.xml")), QStringLiteral("The file \"missing.xml\" could not be found.")},
        {dir.filePath(QStringLiteral("dangling.xml")), QStringLiteral("The file \"dangling.xml\" is a link to a file that does not exist.")},
        {fifo, QStringLiteral("\"pipe.xml\" is not a regular file.")},
    };
    for (const Case& c : cases) {
        const QString text = failureOf([&] { readPlanFile(c.path); });
        expectOneLine(text);
        if (c.prefix)
            EXPECT_TRUE(text.startsWith(c.expected)) << text.toStdString();
        else
            EXPECT_EQ(text, c.expected);
    }
    // The subject a reader's text starts with takes the name; the number stays.
    const Failure old = namedFailure(
        Failure(321, QStringLiteral("This plan was saved in a format that cannot be read (Project 4).")),
        QStringLiteral("old.mpp"));
    EXPECT_EQ(old.description(), QStringLiteral("The plan \"old.mpp\" was saved in a format that cannot be read (Project 4)."));
    EXPECT_EQ(old.number(), 321);
    if (geteuid() != 0) {  // root reads every file
        const QString text = failureOf([&] { readPlanFile(locked); });
        EXPECT_EQ(text, QStringLiteral("The file \"locked.xml\" cannot be read: permission denied."));
    }
    // The same checks stand in front of the XML reader itself.
    EXPECT_EQ(failureOf([&] { readPlanFile(empty); }), QStringLiteral("The file \"empty.xml\" is empty."));
    EXPECT_EQ(failureOf([&] { readPlanFile(dir.path() + QStringLiteral("/nope")); }),
              QStringLiteral("The file \"nope\" could not be found."));
}

TEST_F(PlanFiles, NamesOutsideAsciiAndTheInputUntouched) {
    ASSERT_TRUE(dir.isValid());
    const QByteArray bytes = planXml(task(1, "Plan \xC3\xA9t\xC3\xA9") + task(2, "b"));
    const QString path = write(QString::fromUtf8("Pl\xC3\xA4ne \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC.xml"), bytes);
    QFile::setPermissions(path, QFileDevice::ReadOwner);  // read-only input
    const QDateTime modified = QFileInfo(path).lastModified();
    const Plan plan = readPlanFile(path);
    ASSERT_EQ(plan.positions.size(), 2u);
    EXPECT_EQ(plan.positions[0]->name, QString::fromUtf8("Plan \xC3\xA9t\xC3\xA9"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);

    // A damaged plan under such a name still fails on one line naming it.
    const QString bad = write(QString::fromUtf8("d\xC3\xA9\nfekt.xml"), planXml(task(1, "a", "x")));
    const QString text = failureOf([&] { readPlanFile(bad); });
    EXPECT_EQ(text, QString::fromUtf8("The plan \"d\xC3\xA9?fekt.xml\" is damaged: the duration of task 1 (\"x\") cannot be read."));
}

TEST_F(PlanFiles, LargePlanWithManyPositions) {
    ASSERT_TRUE(dir.isValid());
    QByteArray tasks;
    for (int id = 1; id <= 40000; ++id)
        if (id % 7 != 0) tasks += task(id, "Task " + QByteArray::number(id), "PT" + QByteArray::number(id % 50) + "H0M0S");
    const Plan plan = readPlanFile(write(QStringLiteral("big.xml"), planXml(tasks)));
    ASSERT_EQ(plan.positions.size(), 40000u);
    EXPECT_FALSE(plan.positions[6].has_value());
    EXPECT_FALSE(plan.positions[39997].has_value());
    EXPECT_EQ(plan.positions[39999]->name, QStringLiteral("Task 40000"));
    EXPECT_DOUBLE_EQ(plan.positions[32767]->durationMinutes, (32768 % 50) * 60.0);
}
