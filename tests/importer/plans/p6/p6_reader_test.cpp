// The P6 readers: XER against the P6 XML export of the same project (whose Start, Finish and At
// Completion Duration P6 computed itself), P6's working-time arithmetic, the row layout of several
// projects, encodings, and damaged files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <map>

#include "importer/plans/p6/p6_calendar.h"
#include "importer/plans/p6/p6_reader.h"
#include "importer/plans/p6/p6_values.h"
#include "importer/plans/plan_reader.h"
#include "platform/failure.h"
#include "support/test_data.h"

namespace quorrix::importer::plans {
namespace {

const QString kOtherTools = QStringLiteral(QUORRIX_TESTDATA "/plans/other-tools");
const QString kOwnFiles = QStringLiteral(QUORRIX_SOURCE_DIR "/tests/importer/plans/p6/files");
const QString kDamaged = QStringLiteral(QUORRIX_SOURCE_DIR "/tests/importer/plans/p6/regressions");

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ReadOptions everyField() {
    ReadOptions options;
    options.details = true;
    options.schedule = true;
    options.custom.set();
    return options;
}

QString date(const QDateTime& t) { return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("NA"); }
template <class T>
QString maybe(const std::optional<T>& v) {
    return v ? QString::number(static_cast<double>(*v), 'g', 12) : QStringLiteral("-");
}

// Every column of a row, one text.
QString rowText(const std::optional<PlanTask>& t) {
    if (!t) return QStringLiteral("<blank>");
    QStringList f{t->name, QString::number(t->durationMinutes, 'g', 12), date(t->start), date(t->finish)};
    if (const TaskDetails* d = t->details.get()) {
        f << d->project << maybe(d->id) << d->activityId << maybe(d->uniqueId) << maybe(d->outlineLevel)
          << d->outlineNumber << d->wbs << maybe(d->percentComplete) << maybe(d->milestone) << maybe(d->summary)
          << date(d->baselineStart) << date(d->baselineFinish) << maybe(d->baselineDurationMinutes)
          << date(d->actualStart) << date(d->actualFinish) << maybe(d->cost) << maybe(d->workMinutes) << d->notes
          << d->resourceNames;
        const ScheduleFields& s = d->schedule;
        const auto day = [](const std::optional<QDateTime>& t) { return t ? date(*t) : QStringLiteral("-"); };
        f << s.predecessors << s.successors << maybe(s.totalSlackMinutes) << maybe(s.freeSlackMinutes)
          << maybe(s.critical) << maybe(s.constraintType) << day(s.constraintDate) << day(s.earlyStart)
          << day(s.earlyFinish) << day(s.lateStart) << day(s.lateFinish);
        for (const CustomValue& v : d->custom)
            f << QStringLiteral("%1=%2%3%4").arg(customFieldKey(v.slot), v.text, QString::number(v.number),
                                                 date(v.date));
    }
    return f.join(QLatin1Char('|'));
}

QStringList rowsOf(const Plan& plan) {
    QStringList rows;
    for (const auto& t : plan.positions) rows << rowText(t);
    return rows;
}

QString failureOf(const std::function<Plan()>& read) {
    try {
        return QStringLiteral("read %1 rows").arg(read().positions.size());
    } catch (const Failure& f) {
        return f.description();
    }
}

// A file name without its P6 extensions: the twins share it.
QString stem(QString name) {
    for (const char* suffix : {".pmxml.xml", ".pmxml", ".xml", ".xer"})
        if (name.endsWith(QLatin1String(suffix))) return name.chopped(static_cast<qsizetype>(std::strlen(suffix)));
    return name;
}

TEST(P6Exactness, EveryExportReadsAndEachXerEqualsItsP6XmlTwin) {
    QUORRIX_NEED_TEST_DATA(kOtherTools);
    std::map<QString, QStringList> xer, xml;
    const QDir folder(kOtherTools);
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        const QByteArray head = contents(folder.filePath(name)).left(4096);
        const bool isXer = isXerFile(head);
        if (!isXer && !isP6XmlFile(head)) continue;
        // Through the dispatcher: recognised by content, whatever the name.
        const QString outcome = failureOf([&] { return readPlanFile(folder.filePath(name), everyField()); });
        EXPECT_TRUE(outcome.startsWith(QLatin1String("read "))) << name.toStdString() << ": " << outcome.toStdString();
        if (!outcome.startsWith(QLatin1String("read "))) continue;
        (isXer ? xer : xml)[stem(name)] = rowsOf(readPlanFile(folder.filePath(name), everyField()));
    }
    EXPECT_EQ(xer.size() + xml.size(), 9u) << "P6 files in the test data";
    int twins = 0;
    for (const auto& [name, rows] : xer) {
        const auto twin = xml.find(name);
        if (twin == xml.end()) continue;
        ++twins;
        EXPECT_EQ(rows, twin->second) << name.toStdString();
    }
    EXPECT_EQ(twins, 2);
}

TEST(P6Rows, SeveralProjectsFollowTheWbsAndRollUpAsP6Does) {
    const Plan xer = readXer(contents(kOwnFiles + QStringLiteral("/two-projects.xer")), everyField());
    // Name | duration | start | finish | outline number | WBS | unique ID | activity ID | project
    const QStringList expected{
        "Alpha Tower|3360|2024-01-08 08:00|2024-01-17 17:00|1|ALPHA|-||Alpha Tower",
        "Kick-off|0|2024-01-08 08:00|2024-01-08 08:00|1.1|ALPHA|1001|A100|Alpha Tower",
        "Design|2400|2024-01-08 08:00|2024-01-12 17:00|1.2|ALPHA.D|102||Alpha Tower",
        "Survey|1440|2024-01-09 08:00|2024-01-11 17:00|1.2.1|ALPHA.D|1003|D10|Alpha Tower",
        "\"Big\" drawings|2400|2024-01-08 08:00|2024-01-12 17:00|1.2.2|ALPHA.D|1002|D20|Alpha Tower",
        "Build|1920|2024-01-11 08:00|2024-01-17 17:00|1.3|ALPHA.B|101||Alpha Tower",
        "Site setup|960|2024-01-11 08:00|2024-01-12 17:00|1.3.1|ALPHA.B|1006|B5|Alpha Tower",
        "Frame|960|2024-01-12 08:00|2024-01-16 17:00|1.3.2|ALPHA.B.F|103||Alpha Tower",
        "Steel|960|2024-01-12 08:00|2024-01-16 17:00|1.3.2.1|ALPHA.B.F|1004|F1|Alpha Tower",
        "Envelope|0|2024-01-17 17:00|2024-01-17 17:00|1.3.3|ALPHA.B.E|104||Alpha Tower",
        "Cladding|0|2024-01-17 17:00|2024-01-17 17:00|1.3.3.1|ALPHA.B.E|1005||Alpha Tower",
        "Beta Bridge|5040|2024-01-14 12:00|2024-01-19 00:00|2|BETA|-||Beta Bridge",
        "Piers|3480|2024-01-14 12:00|2024-01-17 22:00|2.1|BETA|2001|X|Beta Bridge",
        "Deck|1440|2024-01-18 00:00|2024-01-19 00:00|2.2|BETA|2002|Y|Beta Bridge"};
    QStringList rows;
    for (const auto& t : xer.positions) {
        const TaskDetails& d = *t->details;
        rows << QStringList{t->name, QString::number(t->durationMinutes), date(t->start), date(t->finish),
                            d.outlineNumber, d.wbs, maybe(d.uniqueId), d.activityId, d.project}
                    .join(QLatin1Char('|'));
    }
    EXPECT_EQ(rows, expected);
    const TaskDetails& survey = *xer.positions[3]->details;
    EXPECT_EQ(survey.percentComplete, 33.33);
    EXPECT_EQ(survey.cost, 386.0);  // assignments, a role's and an expense
    EXPECT_EQ(survey.resourceNames, QStringLiteral("Crew \"North\",Crane"));
    EXPECT_EQ(survey.notes, QStringLiteral("Check levels\ntwice\n\nSecond topic"));
    EXPECT_EQ(xer.positions[5]->details->notes, QStringLiteral("Build & test"));
    EXPECT_EQ(date(xer.positions[2]->details->actualStart), QStringLiteral("2024-01-08 08:00"));  // both started
    EXPECT_FALSE(xer.positions[2]->details->actualFinish.isValid());                            // one unfinished
    // Relationships with the rows' IDs and P6's lags in hours (one to a project not exported is left
    // out), float in minutes, Critical by the float limit, P6's constraints in the project
    // application's words; summary rows have no schedule.
    const struct {
        std::size_t row;
        const char* schedule;  // predecessors | successors | total slack | critical | constraint type and date
    } kSchedules[] = {
        {0, "||-|-|-|-"},
        {1, "||-|-|0|NA"},
        {3, "5|9FS-4 hrs|480|0|4|2024-01-09 08:00"},
        {4, "|4|-|0|0|NA"},
        {6, "|9SS+8 hrs|-480|1|3|2024-01-12 17:00"},
        {8, "7SS+8 hrs,4FS-4 hrs||0|1|0|NA"},
        {13, "||-|-|0|NA"},
    };
    for (const auto& expected : kSchedules) {
        const ScheduleFields& s = xer.positions[expected.row]->details->schedule;
        const QString constraintDate = s.constraintDate ? date(*s.constraintDate) : QStringLiteral("-");
        EXPECT_EQ(QStringList({s.predecessors, s.successors, maybe(s.totalSlackMinutes), maybe(s.critical),
                               maybe(s.constraintType), constraintDate})
                      .join(QLatin1Char('|')),
                  QLatin1String(expected.schedule))
            << expected.row;
    }
    // The activities' user-defined fields as custom fields named after them, in the order of their kind.
    const int text1 = customSlot(CustomKind::Text, 1), number1 = customSlot(CustomKind::Number, 1);
    EXPECT_EQ(xer.customAliases, (std::vector<std::pair<int, QString>>{{text1, "Region"}, {number1, "Risk"}}));
    EXPECT_EQ(xer.customHeld.count(), 2u);
    ASSERT_TRUE(survey.customValue(text1) && survey.customValue(number1));
    EXPECT_EQ(survey.customValue(text1)->text, QStringLiteral("North"));
    EXPECT_EQ(survey.customValue(number1)->number, 2.5);

    // The P6 XML export of the same projects gives the same rows; without the further fields, the same four.
    const Plan xml = readP6Xml(contents(kOwnFiles + QStringLiteral("/two-projects.xml")), everyField());
    EXPECT_EQ(rowsOf(xml), rowsOf(xer));
    EXPECT_EQ(xml.customAliases, xer.customAliases);
    const Plan four = readXer(contents(kOwnFiles + QStringLiteral("/two-projects.xer")));
    ASSERT_EQ(four.positions.size(), xer.positions.size());
    for (std::size_t i = 0; i < four.positions.size(); ++i) {
        EXPECT_FALSE(four.positions[i]->details);
        EXPECT_EQ(rowText(four.positions[i]), rowText(xer.positions[i]).section(QLatin1Char('|'), 0, 3));
    }
}

// With a project baseline assigned, P6 XML takes the baseline project's planned values, matched by
// Activity ID; XER holds none, so its baseline columns stay empty.
TEST(P6Rows, NotesArePlainTextOfTheirHtml) {
    const struct {
        const char* html;
        const char* text;
    } cases[] = {
        {"<html>  <body>    Hold point: inspection of <b>A10055-1</b>  </body></html>",
         "Hold point: inspection of A10055-1"},
        {"<HEAD><Title>x</TITLE></HEAD><P>One<BR>two</P><div>three</div>", "One\ntwo\nthree"},
        {"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;&nbsp;f&#160;g", "a & b <c> \"d\" 'e' f g"},
        {"&#x1F600; &#65; &bogus; &#xD800; & alone &", "\U0001F600 A &bogus; &#xD800; & alone &"},
        {"<style>p { }</style><!-- hidden <b> -->line\r\r  two   words  \n\n", "line\ntwo words"},
        {"<script>x</script><scrıpt>shown</scrıpt><TABLE><tr>cell", "shown\ncell"},  // a dotless i is no script
        {"text <b unterminated", "text"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(p6::noteText(QString::fromUtf8(c.html)), QString::fromUtf8(c.text)) << c.html;
}

TEST(P6Rows, AnAssignedBaselineComesFromTheBaselineProject) {
    QByteArray xml = contents(kOwnFiles + QStringLiteral("/two-projects.xml"));
    xml.replace("<p6:Project><p6:ObjectId>20</p6:ObjectId>",
                "<p6:Project><p6:ObjectId>20</p6:ObjectId><p6:CurrentBaselineProjectObjectId>77</p6:CurrentBaselineProjectObjectId>");
    xml.replace("</p6:APIBusinessObjects>",
                "<p6:BaselineProject><p6:ObjectId>77</p6:ObjectId><p6:Activity><p6:Id>X</p6:Id><p6:Type>Task Dependent</p6:Type>"
                "<p6:PlannedStartDate>2024-01-15T08:00:00</p6:PlannedStartDate><p6:PlannedFinishDate>2024-01-16T17:00:00"
                "</p6:PlannedFinishDate><p6:PlannedDuration>20</p6:PlannedDuration></p6:Activity></p6:BaselineProject>"
                "</p6:APIBusinessObjects>");
    const Plan plan = readP6Xml(xml, everyField());
    const auto baseline = [&plan](std::size_t row) {
        const TaskDetails& d = *plan.positions[row]->details;
        return QStringList{date(d.baselineStart), date(d.baselineFinish), maybe(d.baselineDurationMinutes)}.join(QLatin1Char('|'));
    };
    EXPECT_EQ(baseline(12), QStringLiteral("2024-01-15 08:00|2024-01-16 17:00|1200"));  // Piers
    EXPECT_EQ(baseline(13), QStringLiteral("NA|NA|-"));                                 // Deck: not in the baseline
    EXPECT_EQ(baseline(11), QStringLiteral("2024-01-15 08:00|2024-01-16 17:00|1020"));  // Beta Bridge, 15 January off
    EXPECT_EQ(baseline(1), QStringLiteral("2024-01-08 08:00|2024-01-08 08:00|0"));      // Alpha: its planned values

    QByteArray xer = contents(kOwnFiles + QStringLiteral("/two-projects.xer"));
    xer.replace("-\t\tY\r\n", "-\t77\tY\r\n");
    EXPECT_EQ(rowText(readXer(xer, everyField()).positions[12]).section(QLatin1Char('|'), 14, 16),
              QStringLiteral("NA|NA|-"));
}

TEST(P6Xer, EncodingsLineEndsAndPaddingReadTheSameRows) {
    const QByteArray base = contents(kOwnFiles + QStringLiteral("/two-projects.xer"));
    const QStringList expected = rowsOf(readXer(base, everyField()));
    const QString text = QString::fromLatin1(base);
    const auto utf16 = [&text](bool bigEndian, bool mark) {
        QByteArray out = mark ? QByteArray(bigEndian ? "\xFE\xFF" : "\xFF\xFE") : QByteArray();
        for (const QChar c : text) {
            const char high = static_cast<char>(c.unicode() >> 8), low = static_cast<char>(c.unicode() & 0xFF);
            out.append(bigEndian ? high : low).append(bigEndian ? low : high);
        }
        return out;
    };
    QByteArray lf = base, cr = base, padded = base;
    lf.replace("\r\n", "\n");
    cr.replace("\r\n", "\r");
    padded.replace("\r\n%R", "\t\t\r\n%R");  // empty values beyond the header's columns
    const std::map<const char*, QByteArray> variants{
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + base}, {"UTF-16LE", utf16(false, true)},
        {"UTF-16LE without a mark", utf16(false, false)},      {"UTF-16BE", utf16(true, true)},
        {"LF", lf}, {"CR", cr}, {"trailing empty values", padded}};
    for (const auto& [what, bytes] : variants) {
        EXPECT_TRUE(isXerFile(bytes.left(64))) << what;
        EXPECT_EQ(rowsOf(readXer(bytes, everyField())), expected) << what;
    }

    // The code page a file does not name: UTF-8 when it is valid as such, Windows-1251 when the
    // euro sign is 0x88, else Windows-1252.
    const auto steel = [&base](const QByteArray& name, const QByteArray& euro) {
        QByteArray bytes = base;
        bytes.replace("\tSteel\t", "\t" + name + "\t");
        if (!euro.isEmpty()) bytes.replace("%R\t1\t$\t.\t,\tUSD\r\n", "%R\t1\t$\t.\t,\tUSD\r\n%R\t2\t" + euro + "\t.\t,\tEUR\r\n");
        return readXer(bytes).positions[8]->name;
    };
    EXPECT_EQ(steel("St\xC3\xA9" "el", "\xE2\x82\xAC"), QStringLiteral("St\u00E9el"));
    EXPECT_EQ(steel("St\xE9" "el", "\x88"), QStringLiteral("St\u0439el"));
    EXPECT_EQ(steel("St\xE9" "el", "\x80"), QStringLiteral("St\u00E9el"));

    // Numbers however written, each read exactly: the Steel activity's physical percent complete,
    // rounded to hundredths.
    const struct {
        const char* text;
        double percent;
    } numbers[] = {{"7", 7},      {"16.5", 16.5}, {"-0.25", -0.25}, {"0.125", 0.13}, {"99.999", 100},
                   {"+2.5", 2.5}, {"0012", 12},   {"1e1", 10},      {"-0", 0},
                   {"12345678901.25", 12345678901.25}};
    for (const auto& n : numbers) {
        QByteArray bytes = base;
        const QByteArray after = "\t\t\t2024-01-12 08:00";
        bytes.replace("CP_Phys\t0" + after, "CP_Phys\t" + QByteArray(n.text) + after);
        const Plan plan = readXer(bytes, everyField());
        ASSERT_EQ(plan.positions[8]->name, QStringLiteral("Steel"));
        EXPECT_DOUBLE_EQ(plan.positions[8]->details->percentComplete.value_or(-1), n.percent) << n.text;
    }
}

TEST(P6Calendar, WorkingTimeIsCountedAsP6Counts) {
    using namespace p6;
    const auto at = [](const char* text) {
        Minutes m = kNoDate;
        EXPECT_TRUE(parseDateTime(text, m)) << text;
        return m;
    };
    const auto week = [](const char* periods, const char* exceptions = "") {
        QByteArray days = "(0||1()())(0||7()())";
        for (int d = 2; d <= 6; ++d) days += QByteArray("(0||") + char('0' + d) + "()(" + periods + "))";
        return "(0||CalendarData()((0||DaysOfWeek()(" + days + "))(0||Exceptions()(" + exceptions + "))))";
    };
    QByteArray sevenDays = "(0||()(\x7F\x7F  (0||DaysOfWeek()(";  // pretty-printed, unnamed root (P6 22.12)
    for (int d = 1; d <= 7; ++d) sevenDays += QByteArray("\x7F\x7F    (0||") + char('0' + d) + "()((0||0(s|08:00|f|16:00)())))";
    sevenDays += ")))";
    const QByteArray twoShifts = "(0||0(f|12:00|s|07:00)())(0||1(s|12:30|f|15:30)())";  // finish first
    struct Case {
        QByteArray data;
        const char *from, *to;
        std::int64_t minutes;
    } cases[] = {
        // P6's own figures: an ActualDuration, a RemainingDuration, a remain_drtn_hr_cnt.
        {week(twoShifts), "2021-02-05 08:00", "2021-04-19 15:30", 415 * 60},
        {week("(0||0(s|08:00|f|16:00)())", "(0||0(d|41519)())"), "2015-02-24 08:00", "2015-06-08 16:00", 600 * 60},
        {sevenDays, "2023-07-23 08:00", "2023-08-26 16:00", 280 * 60},
        {week(twoShifts), "2021-04-19 15:30", "2021-02-05 08:00", -415 * 60},
        {week(twoShifts), "2021-02-08 11:00", "2021-02-08 13:00", 90},  // over the lunch break
        // 2024-01-15 off, 2024-01-16 10:00-12:00 only.
        {week("(0||0(s|08:00|f|16:00)())", "(0||0(d|45306)())(0||1(d|45307)((0||0(s|10:00|f|12:00)())))"),
         "2024-01-12 08:00", "2024-01-17 16:00", (8 + 2 + 8) * 60},
        {week("(0||0(s|13:00|f|00:00)())"), "2024-01-08 00:00", "2024-01-09 00:00", 11 * 60},  // to midnight
        {week("(0||0(s|8:00 AM|f|5:00 pm)())"), "2024-01-08 00:00", "2024-01-09 00:00", 9 * 60},
        {"(0||CalendarData()((0||DaysOfWeek()((0||2()((0||0(s|09:00|f|", "2024-01-08 00:00", "2024-01-13 00:00", 40 * 60},
    };
    for (const Case& c : cases) {
        const WorkCalendar calendar(parseCalendarData(c.data.toStdString()), {});
        EXPECT_EQ(calendar.work(at(c.from), at(c.to)), c.minutes) << c.data.toStdString() << " " << c.from;
    }
}

// P6 22.12 stored every remaining duration of MDL4D.xer; its 7-day calendar must give them back.
TEST(P6Calendar, StoredDurationsFollowFromTheFilesCalendars) {
    const QString path = kOtherTools + QStringLiteral("/MDL4D.xer");
    QUORRIX_NEED_TEST_DATA(path);
    std::map<QString, p6::WorkTimes> calendars;
    QStringList header;
    QString table;
    int checked = 0;
    for (const QByteArray& line : contents(path).split('\n')) {
        const QList<QByteArray> f = line.trimmed().split('\t');
        const auto value = [&](const char* column) { return QString::fromLatin1(f.value(header.indexOf(QLatin1String(column)) + 1)); };
        if (f[0] == "%T") table = QString::fromLatin1(f.value(1));
        if (f[0] == "%F") {
            header.clear();
            for (const QByteArray& name : f.mid(1)) header << QString::fromLatin1(name);
        }
        if (f[0] != "%R") continue;
        if (table == QLatin1String("CALENDAR")) calendars[value("clndr_id")] = p6::parseCalendarData(value("clndr_data").toStdString());
        if (table != QLatin1String("TASK") || value("task_type").contains(QLatin1String("Mile"))) continue;
        p6::Minutes from = 0, to = 0;
        ASSERT_TRUE(p6::parseDateTime(value("restart_date").toStdString(), from));
        ASSERT_TRUE(p6::parseDateTime(value("reend_date").toStdString(), to));
        const p6::WorkCalendar calendar(calendars.at(value("clndr_id")), {});
        EXPECT_EQ(static_cast<double>(calendar.work(from, to)), value("remain_drtn_hr_cnt").toDouble() * 60) << value("task_code").toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 50);
}

TEST(P6Damaged, EveryKeptFileGivesItsOneLineReport) {
    const std::map<QString, QString> expected{
        {"bad-date.xer", "line 15: the target_start_date \"2024-02-30 08:00\" of the TASK table is not a date"},
        {"bad-date.xml", "the ActualStartDate \"08.01.2024\" of the activity A1 is not a date"},
        {"doctype.xml", "its XML is not well-formed at byte 39: it holds a document type definition, which P6 never writes"},
        {"garbage-after-header.xer", "line 2 is not a record of an XER file"},
        {"mismatched-end-tag.xml", "its XML is not well-formed at byte 266: an end tag does not match its start tag"},
        {"row-with-fewer-values.xer", "line 15: a row of the TASK table is cut short"},
        {"row-with-more-values.xer", "line 15: a row of the TASK table has more values than its header names"},
        {"second-root.xml", "its XML is not well-formed at byte 708: it holds a second element after its root element"},
        {"truncated-table.xer", "it ends in the TASK table, before its end record: the file was cut short"},
        {"truncated.xml", "its XML is not well-formed at byte 686: it ends inside an element, so the file was cut short"},
        {"unknown-calendar.xer", "the activity A1 names the calendar 7, which the file does not hold"},
        {"unknown-calendar.xml", "the activity A1 names the calendar 7, which the file does not hold"},
        {"wbs-cycle.xer", "its WBS node 2 lies below itself"},
        {"wbs-cycle.xml", "its WBS node 2 lies below itself"},
        {"wbs-too-deep.xer", "its WBS is nested more than 100 levels deep"},
    };
    const QDir folder(kDamaged);
    const QStringList files = folder.entryList(QDir::Files | QDir::NoDotAndDotDot);
    ASSERT_EQ(static_cast<std::size_t>(files.filter(QRegularExpression(QStringLiteral("\\.(xer|xml)$"))).size()),
              expected.size());
    for (const auto& [name, what] : expected) {
        // Recognised by content: the reader is the one its bytes ask for.
        const QString report = failureOf([&] { return readPlanFile(folder.filePath(name), everyField()); });
        EXPECT_EQ(report, QStringLiteral("The file \"%1\" is damaged: %2.").arg(name, what));
    }
}

TEST(P6Detection, P6FilesAreKnownByTheirContentAndProjectXmlStaysProjectXml) {
    const std::map<QByteArray, bool> xml{
        {"<?xml version=\"1.0\"?>\n<!-- export --><APIBusinessObjects xmlns=\"urn:a\">", true},
        {"\xEF\xBB\xBF<APIBusinessObjects\r\n xmlns:xsi=\"urn:b\">", true},
        {"<!DOCTYPE x [<!ENTITY a \">\">]><p6:BusinessObjects xmlns:p6=\"urn:c\"/>", true},
        {QByteArray("<\0A\0P\0I\0B\0u\0s\0i\0n\0e\0s\0s\0O\0b\0j\0e\0c\0t\0s\0>\0", 40), true},
        {"<?xml version=\"1.0\"?><Project xmlns=\"http://schemas.microsoft.com/project\">", false},
        {"<APIBusinessObjectsList>", false},
        {"<APIBusinessObjects", false},  // the name may go on beyond the head
    };
    for (const auto& [head, p6] : xml) EXPECT_EQ(isP6XmlFile(head), p6) << head.toStdString();
    EXPECT_TRUE(isXerFile("ERMHDR\t8.4\t2015-02-25"));
    EXPECT_FALSE(isXerFile("MPX,Microsoft Project for Windows,4.0,ANSI"));
    EXPECT_FALSE(isXerFile("%T\tTASK"));

    // Whatever the name: an XER called .txt, a P6 XML called .xml; Project XML has no activity IDs.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile::copy(kOwnFiles + QStringLiteral("/two-projects.xer"), dir.filePath(QStringLiteral("plan.txt")));
    QFile::copy(kOwnFiles + QStringLiteral("/two-projects.xml"), dir.filePath(QStringLiteral("plan.xml")));
    EXPECT_EQ(readPlanFile(dir.filePath(QStringLiteral("plan.txt")), everyField()).positions[1]->details->activityId,
              QStringLiteral("A100"));
    EXPECT_EQ(readPlanFile(dir.filePath(QStringLiteral("plan.xml")), everyField()).positions[1]->details->activityId,
              QStringLiteral("A100"));
}

// Project's own formats name the project too: the title, else the summary task's name.
TEST(ProjectColumn, EveryFormatNamesItsProject) {
    const QString plans = QStringLiteral(QUORRIX_TESTDATA "/plans/");
    QUORRIX_NEED_TEST_DATA(plans);
    const std::map<QString, QString> expected{
        {"null-tasks/mspdinulltasks.xml", "Project1"},
        {"null-tasks/mpp9nulltasks.mpp", "Project1"},
        {"null-tasks/mpp14nulltasks.mpp", "Project1"},
        {"null-tasks/mpp9nulltasks.mpd", "Project1"},
        {"task-dates/task-dates-project98-mpp8.mpp", "task-dates-project98-mpp8"},
        {"task-dates/Xtask-dates-project98-mpd8.mpd", "task-dates-project98-mpd8"},
        {"mpx-legacy/sample.mpx", "sample"},
        {"task-dates/task-dates-project2010-mspdi.xml", ""},  // neither a title nor a named summary task
    };
    for (const auto& [file, project] : expected) {
        const Plan plan = readPlanFile(plans + file, everyField());
        ASSERT_FALSE(plan.positions.empty()) << file.toStdString();
        for (const auto& t : plan.positions)
            if (t) {
                EXPECT_EQ(t->details->project, project) << file.toStdString();
            }
    }
}

}  // namespace
}  // namespace quorrix::importer::plans
