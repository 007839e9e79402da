// The MPX exchange file reader: small files of our own for each rule of the format, hostile
// input, and the real test plans against their twins saved by the same Project version.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>

#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/mpx/mpx_reader.h"
#include "importer/plans/plan_comparison.h"
#include "importer/plans/plan_reader.h"
#include "importer/plans/xml/mspdi_reader.h"
#include "platform/failure.h"

namespace quorrix::importer::plans {
namespace {

using namespace testing;

const QString kPlans = QStringLiteral(QUORRIX_TESTDATA "/plans");

QDateTime at(int year, int month, int day, int hour = 0, int minute = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}

const QByteArray kFirstLine = "MPX,Microsoft Project for Windows,4.0,ANSI\r\n";

// A file with the given settings and task records under the definition "61,90,1,40,50,51".
QByteArray file(const QByteArray& settings, const QByteArray& tasks) {
    return kFirstLine + settings + "61,90,1,40,50,51\r\n" + tasks;
}

// The one task of a file, which must have exactly one position.
PlanTask only(const QByteArray& text) {
    const Plan plan = readMpx(text);
    EXPECT_EQ(plan.positions.size(), 1u);
    if (plan.positions.size() != 1 || !plan.positions[0]) return {};
    return *plan.positions[0];
}

QString failureOf(const QByteArray& text) {
    try {
        const Plan plan = readMpx(text);
        return QStringLiteral("read %1 positions").arg(plan.positions.size());
    } catch (const Failure& failure) {
        EXPECT_FALSE(failure.description().contains(QLatin1Char('\n'))) << failure.what();
        EXPECT_EQ(failure.number(), failure_number::kBadFileFormat) << failure.what();
        return failure.description();
    }
}

// ---- records and fields ---------------------------------------------------------------------

TEST(MpxReader, SplitsRecordsAtTheDeclaredSeparatorHonouringQuotes) {
    // Semicolons, CR-only line ends, an empty line, quotes around the separator and doubled
    // quotes, characters after a closing quote, a literal quote inside an unquoted field, a line
    // break written as 0x7F, and a trailing separator.
    const QByteArray text =
        "MPX;Some Tool;4.0;ANSI\r"
        "12;1;1;480;/;:;;;20\r"
        "\r"
        "61;90;1;40;50;51\r"
        "70;1;\"A; \"\"quoted\"\" name\";1d;17/10/2014;17/10/2014;\r"
        "70;2;\"half\"way;2d;20/10/2014;21/10/2014\r"
        "70;3;5\" disk;0d;22/10/2014;22/10/2014\r"
        "70;4;two\x7Flines;1h;23/10/2014;23/10/2014\r";
    const Plan plan = readMpx(text);
    ASSERT_EQ(plan.positions.size(), 4u);
    EXPECT_EQ(plan.positions[0]->name, QStringLiteral("A; \"quoted\" name"));
    EXPECT_EQ(plan.positions[0]->durationMinutes, 480);
    EXPECT_EQ(plan.positions[1]->name, QStringLiteral("halfway"));
    EXPECT_EQ(plan.positions[1]->finish.date(), QDate(2014, 10, 21));
    EXPECT_EQ(plan.positions[2]->name, QStringLiteral("5\" disk"));
    EXPECT_EQ(plan.positions[3]->name, QStringLiteral("two\nlines"));
    EXPECT_EQ(plan.positions[3]->durationMinutes, 60);

    // A line break inside quotes still ends the record; the rest is a record of its own.
    const Plan broken = readMpx(file("12,1,1,480,/,:,,,20\n", "70,1,\"open\n70,2,B,1d,20/10/2014,20/10/2014\n"));
    ASSERT_EQ(broken.positions.size(), 2u);
    EXPECT_EQ(broken.positions[0]->name, QStringLiteral("open"));
    EXPECT_EQ(broken.positions[1]->name, QStringLiteral("B"));

    // Columns follow the definition record, whatever their order; unknown and missing trailing
    // fields are no values.
    const Plan reordered = readMpx(kFirstLine + "12,1,1,480,/,:,,,20\n61,51,77,1,90,50,40\n70,18/10/2014,x,Late,7,17/10/2014\n");
    ASSERT_EQ(reordered.positions.size(), 7u);
    EXPECT_EQ(reordered.positions[6]->name, QStringLiteral("Late"));
    EXPECT_EQ(reordered.positions[6]->start, at(2014, 10, 17, 8));
    EXPECT_EQ(reordered.positions[6]->durationMinutes, 0);

    // Records the reader does not use, and records whose number is not a number, are skipped.
    const Plan skipped = readMpx(file("0,a comment\nxx,junk\n99999,?\n", "70,1,T,1d,NA,NA\n72,1\n76,0,0\n"));
    ASSERT_EQ(skipped.positions.size(), 1u);
    EXPECT_EQ(skipped.positions[0]->name, QStringLiteral("T"));
    EXPECT_FALSE(skipped.positions[0]->start.isValid());
}

// ---- dates ------------------------------------------------------------------------------------

TEST(MpxReader, ReadsDatesInEveryOrderAndFormatWithAYear) {
    struct Case {
        QByteArray settings;  // record 12 after its number: order, clock, start, separators, AM, PM, format
        QByteArray text;
        QDateTime expected;
    };
    const Case cases[] = {
        {"1,1,480,/,:,,,0", "17/10/14 08:30", at(2014, 10, 17, 8, 30)},
        {"0,1,480,/,:,,,0", "10/17/14 14:05", at(2014, 10, 17, 14, 5)},
        {"2,1,480,/,:,,,0", "14/10/17 23:59", at(2014, 10, 17, 23, 59)},
        {"1,1,480,/,:,,,1", "17/10/99", at(1999, 10, 17, 8)},
        {"1,1,480,/,:,,,1", "01/01/79", at(2079, 1, 1, 8)},
        {"1,1,480,/,:,,,1", "01/01/80", at(1980, 1, 1, 8)},
        {"1,1,480,/,:,,,2", "14 November 2005 08:00", at(2005, 11, 14, 8)},
        {"0,1,480,/,:,,,2", "November 14 2005 16:00", at(2005, 11, 14, 16)},
        {"2,1,480,/,:,,,3", "2005 November 14", at(2005, 11, 14, 8)},
        {"1,1,480,/,:,,,5", "17 Oct '14", at(2014, 10, 17, 8)},
        {"1,1,480,/,:,,,8", "Thu 02/12/04 08:00", at(2004, 12, 2, 8)},
        {"1,1,480,/,:,,,9", "Fri 17/10/14", at(2014, 10, 17, 8)},
        {"1,1,480,/,:,,,10", "Fri 17 Oct '14", at(2014, 10, 17, 8)},
        {"1,1,480,/,:,,,20", "07/02/2006", at(2006, 2, 7, 8)},
        {"1,1,480,-,.,,,0", "17-10-14 08.30", at(2014, 10, 17, 8, 30)},
        // The 12-hour clock with the file's own texts and with none.
        {"0,0,480,/,:,am,pm,0", "10/17/14 8:30 pm", at(2014, 10, 17, 20, 30)},
        {"0,0,480,/,:,am,pm,0", "10/17/14 12:15 am", at(2014, 10, 17, 0, 15)},
        {"0,0,480,/,:,am,pm,0", "10/17/14 12:15 pm", at(2014, 10, 17, 12, 15)},
        {"0,0,480,/,:,,,0", "10/17/14 9:05 AM", at(2014, 10, 17, 9, 5)},
        {"0,0,480,/,:,vorm.,nachm.,0", "10/17/14 3:00 nachm.", at(2014, 10, 17, 15, 0)},
        // German: weekday, dots, month names.
        {"1,1,480,.,:,,,9", "Di 07.01.03", at(2003, 1, 7, 8)},
        {"1,1,480,.,:,,,3", "07. M\xE4rz 2005", at(2005, 3, 7, 8)},
        {"1,1,480,.,:,,,10", "Mo 06. Okt '14", at(2014, 10, 6, 8)},
    };
    for (const Case& c : cases) {
        const PlanTask task = only(file("12," + c.settings + "\n", "70,1,T,0d," + c.text + ",\n"));
        EXPECT_EQ(task.start, c.expected) << c.text.toStdString() << " with " << c.settings.toStdString();
    }
}

TEST(MpxReader, DatesWithoutTimeGetTheStartAndEndOfTheWorkingDay) {
    // The default start is 09:00; the project's calendar "Short" works Monday to Thursday until
    // 17:30 and Friday until 12:00; Saturday is a working day without hours of its own.
    const QByteArray settings =
        "12,1,1,540,/,:,,,9\n"
        "20,Standard,0,1,1,1,1,1,0\n"
        "25,6,08:00,12:00,13:00,17:00\n"
        "20,Short,0,1,1,1,1,1,1\n"
        "25,2,08:00,12:00,13:00,17:30\n"
        "25,6,08:00,12:00\n"
        "30,Title,,,Short\n";
    const Plan plan = readMpx(file(settings,
                                   "70,1,Friday,1d,Fri 17/10/14,Fri 17/10/14\n"
                                   "70,2,Monday,1d,Mon 20/10/14,Mon 20/10/14\n"
                                   "70,3,Milestone,0d,Wed 22/10/14,Wed 22/10/14\n"
                                   "70,4,Saturday,1d,Sat 25/10/14,Sat 25/10/14\n"
                                   "70,5,Timed,1d,Fri 17/10/14 10:00,Fri 17/10/14 11:00\n"));
    ASSERT_EQ(plan.positions.size(), 5u);
    EXPECT_EQ(plan.positions[0]->start, at(2014, 10, 17, 9));
    EXPECT_EQ(plan.positions[0]->finish, at(2014, 10, 17, 12));
    EXPECT_EQ(plan.positions[1]->start, at(2014, 10, 20, 9));
    EXPECT_EQ(plan.positions[1]->finish, at(2014, 10, 20, 17, 30));
    EXPECT_EQ(plan.positions[2]->finish, at(2014, 10, 22, 9));  // no duration: the start of the day
    EXPECT_EQ(plan.positions[3]->finish, at(2014, 10, 25, 17));  // Project's own end of the day
    EXPECT_EQ(plan.positions[4]->start, at(2014, 10, 17, 10));  // times in the file stay as written
    EXPECT_EQ(plan.positions[4]->finish, at(2014, 10, 17, 11));

    // Without a calendar named in the header, "Standard" is the project's.
    const PlanTask standard = only(file("12,1,1,480,/,:,,,9\n20,Other,0,1,1,1,1,1,0\n25,6,08:00,09:00\n"
                                        "20,Standard,0,1,1,1,1,1,0\n25,6,08:00,12:00,13:00,16:00\n",
                                        "70,1,T,1d,Fri 17/10/14,Fri 17/10/14\n"));
    EXPECT_EQ(standard.finish, at(2014, 10, 17, 16));

    // An empty Start or Finish takes the early one.
    const QByteArray early = kFirstLine + "12,1,1,480,/,:,,,9\n61,90,1,40,50,51,52,53\n"
                             "70,1,T,1d,,NA,Mon 20/10/14,Tue 21/10/14\n";
    const PlanTask fallback = only(early);
    EXPECT_EQ(fallback.start, at(2014, 10, 20, 8));
    EXPECT_EQ(fallback.finish, at(2014, 10, 21, 17));
}

// ---- durations --------------------------------------------------------------------------------

TEST(MpxReader, ConvertsEveryDurationUnitToMinutes) {
    // A day of 7.5 hours and a week of 37.5.
    const QByteArray settings = "11,2,0,1,7.50,37.50,$0.00/h,$0.00/h,1,1\n12,1,1,480,/,:,,,20\n";
    const std::pair<const char*, double> cases[] = {
        {"90m", 90},        {"90 mins", 90},     {"1.5h", 90},        {"2 hours", 120},    {"2d", 900},
        {"2 days", 900},    {"1w", 2250},        {"2wk", 4500},       {"1 weeks", 2250},   {"1mo", 9000},
        {"1mon", 9000},     {"2 months", 18000}, {"30em", 30},        {"2eh", 120},        {"1ed", 1440},
        {"1ew", 10080},     {"1emon", 43200},    {"1emo", 43200},     {"3", 1350},         {"0.33d", 148.5},
        {"1D", 450},        {"2H", 120},         {"1.5d?", 675},      {"0ed", 0},          {"-1d", -450},
        {"0.0001h", 0},     {"1.25EW", 12600},
    };
    for (const auto& [text, minutes] : cases) {
        const PlanTask task = only(file(settings, QByteArray("70,1,T,\"") + text + "\",01/01/2014,01/01/2014\n"));
        EXPECT_DOUBLE_EQ(task.durationMinutes, minutes) << text;
    }
    // German letters and a decimal comma.
    const QByteArray german = "MPX;Microsoft Project for Windows;4,0;ANSI\n10;\xA3;1;2;.;,\n"
                              "11;2;0;1;8,00;40,00;\xA3" "0,00/h;\xA3" "0,00/h;1;1\n12;1;1;480;.;:;;;20\n"
                              "61;90;1;40;50;51\n";
    const std::pair<const char*, double> germanCases[] = {
        {"1,5t", 720}, {"2w", 4800}, {"1mon", 9600}, {"30fm", 30}, {"2fh", 120}, {"1ft", 1440}, {"1fw", 10080},
        {"1fmon", 43200}, {"1.000,5h", 60030},
    };
    for (const auto& [text, minutes] : germanCases) {
        const PlanTask task = only(german + "70;1;T;" + text + ";01.01.2014;01.01.2014\n");
        EXPECT_DOUBLE_EQ(task.durationMinutes, minutes) << text;
    }
    // Units that are not durations are damage.
    for (const char* text : {"5%", "1x", "d", "1.2.3d", "99999999999999999999d"}) {
        const QString failure = failureOf(file(settings, QByteArray("70,7,T,\"") + text + "\",01/01/2014,01/01/2014\n"));
        EXPECT_TRUE(failure.startsWith(QStringLiteral("The file is damaged: the duration of task 7 ("))) << failure.toStdString();
    }
}

// ---- code pages and languages --------------------------------------------------------------

TEST(MpxReader, DecodesTheCodePageTheFirstLineDeclares) {
    const auto nameIn = [](const QByteArray& page, const QByteArray& bytes) {
        const QByteArray text = "MPX,Tool,4.0," + page + "\n12,1,1,480,/,:,,,20\n61,90,1\n70,1," + bytes + "\n";
        return only(text).name;
    };
    EXPECT_EQ(nameIn("ANSI", "\xA3\x80\x96\xE4"), QString::fromUtf8("£€–ä"));
    EXPECT_EQ(nameIn("", "\xA3\x80"), QString::fromUtf8("£€"));
    EXPECT_EQ(nameIn("UNKNOWN", "\xFC"), QString::fromUtf8("ü"));
    EXPECT_EQ(nameIn("850", "\x81\x9C\xE1\xD5"), QString::fromUtf8("ü£ßı"));
    EXPECT_EQ(nameIn("437", "\x81\x9C\xE1\xE3"), QString::fromUtf8("ü£ßπ"));
    EXPECT_EQ(nameIn("MAC", "\x8A\xA3\xA5"), QString::fromUtf8("ä£•"));
    EXPECT_EQ(nameIn("RU", "\xCF\xF0\xEE\xE5\xEA\xF2"), QString::fromUtf8("Проект"));
    EXPECT_EQ(nameIn("ZH", "\xD6\xD0\xCE\xC4 A"), QString::fromUtf8("中文 A"));
    EXPECT_EQ(nameIn("zh", "\xD6\xD0\xFF"), QString::fromUtf8("中\uFFFD"));  // a broken sequence
}

TEST(MpxReader, ReadsFilesWrittenInGerman) {
    // Semicolons, "4,0", decimal comma, German units, NV, Ja/Nein, and only the named definition.
    const QByteArray text =
        "MPX;Microsoft Project for Windows;4,0;ANSI\n"
        "10;\xA3;1;2;.;,\n"
        "11;2;0;1;8,00;40,00;\xA3" "0,00/h;\xA3" "0,00/h;1;1\n"
        "12;1;1;480;.;:;;;9\n"
        "60;Nr.;Einmalige Nr.;Name;Dauer;Anfang;Ende;Gliederungsebene;Meilenstein;% Abgeschlossen;Kosten\n"
        "70;0;0;Projekt;2t;Di 07.01.03;Mi 08.01.03;0;Nein;0%;\xA3" "0,00\n"
        "70;1;1;Gr\xFC\xDF" "e;1,5t;Di 07.01.03;Mi 08.01.03;1;Nein;50%;\xA3" "1.234,50\n"
        "70;2;2;Ohne Termin;0ft;NV;NV;1;Ja;100%;\n";
    ReadOptions options;
    options.details = true;
    const Plan plan = readMpx(text, options);
    ASSERT_EQ(plan.positions.size(), 2u);
    EXPECT_EQ(plan.positions[0]->name, QString::fromUtf8("Grüße"));
    EXPECT_EQ(plan.positions[0]->durationMinutes, 720);
    EXPECT_EQ(plan.positions[0]->start, at(2003, 1, 7, 8));
    EXPECT_EQ(plan.positions[0]->finish, at(2003, 1, 8, 17));
    ASSERT_TRUE(plan.positions[0]->details);
    EXPECT_EQ(plan.positions[0]->details->uniqueId, 1.0);
    EXPECT_EQ(plan.positions[0]->details->percentComplete, 50.0);
    EXPECT_EQ(plan.positions[0]->details->cost, 1234.5);
    EXPECT_EQ(plan.positions[0]->details->milestone, false);
    EXPECT_EQ(plan.positions[1]->durationMinutes, 0);
    EXPECT_FALSE(plan.positions[1]->start.isValid());
    EXPECT_FALSE(plan.positions[1]->finish.isValid());
    EXPECT_EQ(plan.positions[1]->details->milestone, true);
}

// ---- positions ------------------------------------------------------------------------------

TEST(MpxReader, PositionsFollowTheTaskIds) {
    const QByteArray tasks =
        "70,0,Project,5d,01/01/2014,07/01/2014\n"  // the project summary task
        "70,2,Second,1d,01/01/2014,01/01/2014\n"
        "70,1,First,1d,01/01/2014,01/01/2014\n"
        "70,5,Fifth,1d,01/01/2014,01/01/2014\n"    // 3 and 4 are blank rows
        "70,,Sixth,1d,01/01/2014,01/01/2014\n"     // no ID: the next free one
        "70,7\n"                                   // nothing but the ID: a blank row
        "70,8,,1d,01/01/2014,01/01/2014\n";        // no name, but a task
    const Plan plan = readMpx(file("12,1,1,480,/,:,,,20\n", tasks));
    ASSERT_EQ(plan.positions.size(), 8u);
    EXPECT_EQ(plan.positions[0]->name, QStringLiteral("First"));
    EXPECT_EQ(plan.positions[1]->name, QStringLiteral("Second"));
    EXPECT_FALSE(plan.positions[2]);
    EXPECT_FALSE(plan.positions[3]);
    EXPECT_EQ(plan.positions[4]->name, QStringLiteral("Fifth"));
    EXPECT_EQ(plan.positions[5]->name, QStringLiteral("Sixth"));
    EXPECT_FALSE(plan.positions[6]);
    ASSERT_TRUE(plan.positions[7]);
    EXPECT_EQ(plan.positions[7]->name, QString());

    // A file from another tool: no ID column and no summary task.
    const Plan numbered = readMpx(kFirstLine + "12,1,1,480,/,:,,,20\n61,1,3,40\n70,A,1,1d\n70,B,2,2d\n70,C,1,3d\n");
    ASSERT_EQ(numbered.positions.size(), 3u);
    EXPECT_EQ(numbered.positions[2]->name, QStringLiteral("C"));
    EXPECT_EQ(numbered.positions[2]->durationMinutes, 3 * 480);

    // A plan without tasks is a plan; a file cut off after its first line is not.
    EXPECT_TRUE(readMpx(kFirstLine + "12,1,1,480,/,:,,,20\n").positions.empty());
    EXPECT_EQ(failureOf(kFirstLine), QStringLiteral("The file is damaged: it ends after its first line."));
    EXPECT_EQ(failureOf("MPX,Microsoft Project for Windows,4.0"),
              QStringLiteral("The file is damaged: it ends after its first line."));
}

// ---- further fields -------------------------------------------------------------------------

TEST(MpxReader, FillsTheFurtherFieldsOnlyWhenAskedFor) {
    const QByteArray text =
        "MPX,Microsoft Project for Windows,4.0,ANSI\n"
        "10,$,0,2,\",\",.\n"
        "12,1,1,480,/,:,,,9\n"
        "40,ID,Name\n"
        "41,40,1\n"
        "50,1,Ann\n"
        "50,2,\"Bob, Jr.\"\n"
        "61,90,98,1,40,3,2,44,81,120,41,56,57,58,59,30,20,14\n"
        "70,0,0,Plan,2d,0,0,0%,No,Yes,2d,NA,NA,NA,NA,$0.00,0h,ignored\n"
        "70,1,11,Phase,2d,1,A,50%,No,,2d,Fri 17/10/14,Mon 20/10/14,Fri 17/10/14,NA,\"$1,250.75\",16h,ignored\n"
        "71,First line\x7Fsecond line\n"
        "75,1,1,8h\n"
        "75,2,0.5,4h\n"
        "75,9,1,4h\n"
        "70,2,12,Step,1d,2,A.1,100%,No,,1d,Fri 17/10/14,Fri 17/10/14,Fri 17/10/14,Fri 17/10/14,($5.00),8h\n"
        "70,3,13,Done,0d,2,A.2,0%,Yes,,0d,NA,NA,NA,NA,$0.00,0h\n"
        "70,4,14,Next,1d,1,B,0%,No,No,,,,,,,\n"
        "70,5,15,Deep,1d,3,B.0.1,0%,No,,,,,,,,\n";
    ReadOptions options;
    options.details = true;
    const Plan plan = readMpx(text, options);
    ASSERT_EQ(plan.positions.size(), 5u);
    const TaskDetails& phase = *plan.positions[0]->details;
    EXPECT_EQ(phase.id, 1.0);
    EXPECT_EQ(phase.uniqueId, 11.0);
    EXPECT_EQ(phase.outlineLevel, 1.0);
    EXPECT_EQ(phase.outlineNumber, QStringLiteral("1"));
    EXPECT_EQ(phase.wbs, QStringLiteral("A"));
    EXPECT_EQ(phase.percentComplete, 50.0);
    EXPECT_EQ(phase.milestone, false);
    EXPECT_EQ(phase.summary, true);  // not given: the next task is deeper
    EXPECT_EQ(phase.baselineDurationMinutes, 960.0);
    EXPECT_EQ(phase.baselineStart, at(2014, 10, 17, 8));
    EXPECT_EQ(phase.baselineFinish, at(2014, 10, 20, 17));
    EXPECT_EQ(phase.actualStart, at(2014, 10, 17, 8));
    EXPECT_FALSE(phase.actualFinish.isValid());
    EXPECT_EQ(phase.cost, 1250.75);
    EXPECT_EQ(phase.workMinutes, 960.0);
    EXPECT_EQ(phase.notes, QStringLiteral("First line\nsecond line"));
    EXPECT_EQ(phase.resourceNames, QStringLiteral("Ann,Bob, Jr.[50%]"));  // resource 9 does not exist

    const TaskDetails& step = *plan.positions[1]->details;
    EXPECT_EQ(step.outlineNumber, QStringLiteral("1.1"));
    EXPECT_EQ(step.summary, false);
    EXPECT_EQ(step.cost, -5.0);
    EXPECT_EQ(step.actualFinish, at(2014, 10, 17, 17));
    EXPECT_TRUE(step.notes.isEmpty());
    EXPECT_TRUE(step.resourceNames.isEmpty());
    EXPECT_EQ(plan.positions[2]->details->outlineNumber, QStringLiteral("1.2"));
    EXPECT_EQ(plan.positions[2]->details->milestone, true);
    EXPECT_EQ(plan.positions[3]->details->outlineNumber, QStringLiteral("2"));
    EXPECT_EQ(plan.positions[3]->details->summary, false);  // as the file says
    EXPECT_FALSE(plan.positions[3]->details->cost.has_value());
    EXPECT_FALSE(plan.positions[3]->details->baselineStart.isValid());
    EXPECT_EQ(plan.positions[4]->details->outlineNumber, QStringLiteral("2.1.1"));

    // An outline number in the file is kept; without an outline level column every task is on
    // level 1; without a unique ID column the ID stands in.
    const Plan given = readMpx(kFirstLine + "61,90,1,99\n70,1,A,7.3\n70,2,B,\n", options);
    EXPECT_EQ(given.positions[0]->details->outlineNumber, QStringLiteral("7.3"));
    EXPECT_EQ(given.positions[1]->details->outlineNumber, QStringLiteral("2"));
    EXPECT_EQ(given.positions[1]->details->outlineLevel, 1.0);
    EXPECT_EQ(given.positions[1]->details->uniqueId, 2.0);

    // Not asked for: nothing beyond the four fields.
    const Plan plain = readMpx(text);
    ASSERT_EQ(plain.positions.size(), 5u);
    for (const auto& task : plain.positions) EXPECT_FALSE(task->details);
}

TEST(MpxReader, FurtherFieldsFollowSettingsGivenBetweenTheTasks) {
    // The same texts read anew once the date order and the separators change.
    const QByteArray text = kFirstLine +
                            "12,1,1,480,/,:,,,9\n61,90,1,56,30\n70,1,A,05/10/14,\"1,5\"\n70,2,B,05/10/14,\"1,5\"\n"
                            "10,$,0,2,.,\",\"\n12,0,1,480,/,:,,,9\n70,3,C,05/10/14,\"1,5\"\n";
    ReadOptions options;
    options.details = true;
    const Plan plan = readMpx(text, options);
    ASSERT_EQ(plan.positions.size(), 3u);
    const QDateTime october = at(2014, 10, 5, 8), may = at(2014, 5, 10, 8);
    const std::pair<QDateTime, double> expected[] = {{october, 15}, {october, 15}, {may, 1.5}};
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(plan.positions[k]->details->baselineStart, expected[k].first) << k;
        EXPECT_EQ(plan.positions[k]->details->cost, expected[k].second) << k;
    }
}

TEST(MpxReader, EachTaskHasItsOwnCustomValues) {
    // Text1, Number1, Flag1 and Text2 of tasks that repeat, or differ in one character of texts of
    // every length, in a quoted first or last field, after a change of separators, or leave fields out.
    const QByteArray text = kFirstLine +
                            "12,1,1,480,/,:,,,9\n61,90,1,4,140,110,5\n"
                            "70,1,A,abcdefgh,1.5,Yes,x\n70,2,B,abcdefgh,1.5,Yes,x\n70,3,C,abcdefgi,1.5,Yes,x\n"
                            "70,4,D,bbcdefgi,1.5,Yes,x\n70,5,E,abcdefghijklmnopq,1.5,Yes,x\n"
                            "70,6,F,abcdefghijklmnopr,1.5,Yes,x\n70,7,G,abcdefghi,2,No,x\n70,8,H,abcdefgha,2,No,x\n"
                            "70,9,I,abXde,2,No,x\n70,10,J,abcde,2,No,x\n70,11,K,abc,2,No,x\n70,12,L,abd,2,No,x\n"
                            "70,13,M,a,2,No,x\n70,14,N,b,,No,x\n70,15,O,\"q,1\",2,No,\"y,1\"\n"
                            "70,16,P,\"q,2\",2,No,\"y,1\"\n70,17,Q,\"q,2\",2,No,\"y,2\"\n70,18,R,a,\"1,5\",No,x\n"
                            "10,$,0,2,.,\",\"\n70,19,S,a,\"1,5\",No,x\n70,20,T,a\n70,21,U,a,\"1,5\",No,x\n";
    struct Expected {
        const char* text1;
        std::optional<double> number1, flag1;
        const char* text2;
    };
    const Expected expected[] = {
        {"abcdefgh", 1.5, 1, "x"}, {"abcdefgh", 1.5, 1, "x"},         {"abcdefgi", 1.5, 1, "x"},
        {"bbcdefgi", 1.5, 1, "x"}, {"abcdefghijklmnopq", 1.5, 1, "x"}, {"abcdefghijklmnopr", 1.5, 1, "x"},
        {"abcdefghi", 2, 0, "x"},  {"abcdefgha", 2, 0, "x"},           {"abXde", 2, 0, "x"},
        {"abcde", 2, 0, "x"},      {"abc", 2, 0, "x"},                 {"abd", 2, 0, "x"},
        {"a", 2, 0, "x"},          {"b", {}, 0, "x"},                  {"q,1", 2, 0, "y,1"},
        {"q,2", 2, 0, "y,1"},      {"q,2", 2, 0, "y,2"},               {"a", 15, 0, "x"},
        {"a", 1.5, 0, "x"},        {"a", {}, {}, ""},                  {"a", 1.5, 0, "x"},
    };
    ReadOptions options;
    options.details = true;
    options.custom.set();
    const Plan plan = readMpx(text, options);
    ASSERT_EQ(plan.positions.size(), std::size(expected));
    const auto textOf = [](const CustomValue* v) { return v ? v->text : QString(); };
    const auto numberOf = [](const CustomValue* v) { return v ? std::optional<double>(v->number) : std::nullopt; };
    for (std::size_t k = 0; k < std::size(expected); ++k) {
        const TaskDetails& d = *plan.positions[k]->details;
        EXPECT_EQ(textOf(d.customValue(customSlot(CustomKind::Text, 1))), QLatin1String(expected[k].text1)) << k;
        EXPECT_EQ(numberOf(d.customValue(customSlot(CustomKind::Number, 1))), expected[k].number1) << k;
        EXPECT_EQ(numberOf(d.customValue(customSlot(CustomKind::Flag, 1))), expected[k].flag1) << k;
        EXPECT_EQ(textOf(d.customValue(customSlot(CustomKind::Text, 2))), QLatin1String(expected[k].text2)) << k;
    }
}

TEST(MpxReader, FurtherDatesThatRepeatTheStartOrFinishTextReadAsTheirOwn) {
    // The early dates repeat the start and finish texts; the early finish is late in the day only
    // with a duration, the finish also without one.
    const QByteArray text = kFirstLine +
                            "12,1,1,480,/,:,,,9\n61,90,1,40,50,51,52,53\n"
                            "70,1,A,1d,Fri 17/10/14,Fri 17/10/14,Fri 17/10/14,Fri 17/10/14\n"
                            "70,2,B,0d,Fri 17/10/14,Fri 17/10/14,Fri 17/10/14,Fri 17/10/14\n"
                            "70,3,C,,Fri 17/10/14,Fri 17/10/14,Fri 17/10/14,Fri 17/10/14\n"
                            "70,4,D,1d,Fri 17/10/14 10:00,Fri 17/10/14,Fri 17/10/14 10:00,Fri 17/10/14 11:00\n";
    const int expected[][4] = {{8, 17, 8, 17}, {8, 8, 8, 8}, {8, 17, 8, 8}, {10, 17, 10, 11}};  // hours
    ReadOptions options;
    options.details = options.schedule = true;
    const Plan plan = readMpx(text, options);
    ASSERT_EQ(plan.positions.size(), std::size(expected));
    for (std::size_t k = 0; k < std::size(expected); ++k) {
        const PlanTask& task = *plan.positions[k];
        const ScheduleFields& s = task.details->schedule;
        EXPECT_EQ(task.start, at(2014, 10, 17, expected[k][0])) << k;
        EXPECT_EQ(task.finish, at(2014, 10, 17, expected[k][1])) << k;
        EXPECT_EQ(s.earlyStart, at(2014, 10, 17, expected[k][2])) << k;
        EXPECT_EQ(s.earlyFinish, at(2014, 10, 17, expected[k][3])) << k;
    }
}

// ---- hostile and damaged files --------------------------------------------------------------

TEST(MpxReader, DamagedAndHostileFilesGiveOneLineFailures) {
    const QByteArray settings = "12,1,1,480,/,:,,,20\n";
    const auto task = [&](const QByteArray& record) { return failureOf(file(settings, record)); };
    EXPECT_EQ(task("70,4000000,T,1d\n"), QStringLiteral("The file is damaged: the task ID 4000000 is out of range."));
    EXPECT_EQ(task("70,99999999999999,T,1d\n"),
              QStringLiteral("The file is damaged: the task ID 99999999999999 is out of range."));
    // Within the sheet's rows, but far beyond what a file of two tasks can hold as blank rows.
    EXPECT_EQ(task("70,1,A,1d\n70,1000000,T,1d\n"), QStringLiteral("The file is damaged: the task ID 1000000 is out of range."));
    EXPECT_EQ(task("70,-3,T,1d\n"), QStringLiteral("The file is damaged: a task has the negative ID -3."));
    EXPECT_EQ(task("70,x1,T,1d\n"), QStringLiteral("The file is damaged: the task ID \"x1\" is not a number."));
    EXPECT_EQ(task("70,1,A,1d\n70,1,B,1d\n"), QStringLiteral("The file is damaged: the task ID 1 appears twice (line 5)."));
    EXPECT_EQ(task("70,2,T,1d,31/02/2014\n"),
              QStringLiteral("The file is damaged: the start of task 2 (\"31/02/2014\") is not a date."));
    EXPECT_EQ(task("70,2,T,1d,01/01/2014,Freitag\n"),
              QStringLiteral("The file is damaged: the finish of task 2 (\"Freitag\") is not a date."));
    EXPECT_EQ(task("70,2,T,1d,01/01/2014 25:00\n"),
              QStringLiteral("The file is damaged: the start of task 2 (\"01/01/2014 25:00\") is not a date."));
    // A file cut off in the middle of a record.
    EXPECT_EQ(task("70,1,A,1d,01/01/2014,01/01/2014\n70,2,B,1d,01/0"),
              QStringLiteral("The file is damaged: the start of task 2 (\"01/0\") is not a date."));
    EXPECT_EQ(failureOf(kFirstLine + "70,1,T\n"),
              QStringLiteral("The file is damaged: a task comes before the task table definition (line 2)."));
    EXPECT_EQ(failureOf(file("12,1,1,480,/,:,,,7\n", "70,1,T,1d,17 Oct\n")),
              QStringLiteral("The file cannot be read: its dates are written without a year (date format 7)."));
    EXPECT_EQ(failureOf(file(settings, "70,1,T,1d\n") + QByteArray("\x01\x02\x00\x03garbage", 11)),
              QStringLiteral("The file is damaged: it holds binary data (a zero byte at offset %1).").arg(94));
    for (const QByteArray& notMpx : {QByteArray("MPX"), QByteArray("MPXA,x"), QByteArray("MPX\",x"), QByteArray("mpx,"),
                                     QByteArray("\xD0\xCF\x11\xE0"), QByteArray()})
        EXPECT_EQ(failureOf(notMpx), QStringLiteral("The file is not a project plan.")) << notMpx.toStdString();

    // Settings out of range keep their defaults; junk lines and an overlong line read on.
    const QByteArray odd = kFirstLine + "11,2,0,1,-8,99999,,,,\n12,7,9,99999,,,,,\n61,90,1,40,50\n" + "70,1," +
                           QByteArray(100000, 'x') + ",1d,01/02/14\n" + QByteArray(5000, '\xFF') + "\n";
    const PlanTask t = only(odd);
    EXPECT_EQ(t.name.size(), 100000);
    EXPECT_EQ(t.durationMinutes, 480);
    EXPECT_EQ(t.start, at(2014, 1, 2, 8));  // month-day-year, 08:00
}

TEST(MpxReader, TheFileReaderNamesTheFileAndDispatchIsByContent) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return dir.filePath(name);
    };
    const QString plan = write(QStringLiteral("plan.dat"), file("12,1,1,480,/,:,,,20\n", "70,1,T,1d,01/01/2014,01/01/2014\n"));
    const Plan read = readPlanFile(plan);
    ASSERT_EQ(read.positions.size(), 1u);
    EXPECT_EQ(read.positions[0]->name, QStringLiteral("T"));
    EXPECT_EQ(readPlanFile(plan).positions.size(), 1u);

    const QString damaged = write(QStringLiteral("bad.mpx"), file("", "70,-1,T\n"));
    try {
        readPlanFile(damaged);
        ADD_FAILURE() << "read a damaged file";
    } catch (const Failure& f) {
        EXPECT_EQ(f.description(), QStringLiteral("The file \"bad.mpx\" is damaged: a task has the negative ID -1."));
    }
    const QString other = write(QStringLiteral("other.mpx"), "MPP,not this");
    try {
        readPlanFile(other);
        ADD_FAILURE() << "read a file that is not MPX";
    } catch (const Failure& f) {
        EXPECT_EQ(f.description(), QStringLiteral("The file \"other.mpx\" is not a project plan."));
    }
    const QString empty = write(QStringLiteral("empty.mpx"), QByteArray());
    EXPECT_THROW(readPlanFile(empty), Failure);
}

// ---- findings of the fuzzer ------------------------------------------------------------------

TEST(MpxRegressions, CalendarsAndHeadersAfterTheTasksAreTakenIntoAccount) {
    // The project's calendar was once remembered by its address in a list that later calendar
    // records moved.
    QByteArray text = "12,1,1,480,/,:,,,9\n20,Standard,0,1,1,1,1,1,0\n25,6,08:00,12:00\n";
    QByteArray tasks = "70,1,A,1d,Fri 17/10/14,Fri 17/10/14\n";
    for (int i = 0; i < 100; ++i) tasks += "20,Calendar " + QByteArray::number(i) + ",0,1,1,1,1,1,0\n25,6,08:00,10:00\n";
    tasks += "70,2,B,1d,Fri 17/10/14,Fri 17/10/14\n30,Plan,,,Calendar 42\n70,3,C,1d,Fri 17/10/14,Fri 17/10/14\n";
    tasks += "20,Late,0,1,1,1,1,1,0\n25,6,08:00,15:00\n30,Plan,,,Late\n70,4,D,1d,Fri 17/10/14,Fri 17/10/14\n";
    const Plan plan = readMpx(file(text, tasks));
    ASSERT_EQ(plan.positions.size(), 4u);
    EXPECT_EQ(plan.positions[0]->finish, at(2014, 10, 17, 12));
    EXPECT_EQ(plan.positions[1]->finish, at(2014, 10, 17, 12));
    EXPECT_EQ(plan.positions[2]->finish, at(2014, 10, 17, 10));
    EXPECT_EQ(plan.positions[3]->finish, at(2014, 10, 17, 15));
}

// ---- the real plans -------------------------------------------------------------------------

TEST(MpxExactness, TheLegacySamplesReadInEnglishAndGermanAlike) {
    const QString folder = kPlans + QStringLiteral("/mpx-legacy");
    if (!QDir(folder).exists()) GTEST_SKIP() << "no legacy exchange files";
    const Plan english = readPlanFile(folder + QStringLiteral("/sample.mpx"));
    const Plan german = readPlanFile(folder + QStringLiteral("/sample.de.mpx"));
    // Both hold the same plan of 19 tasks besides the project summary task, none blank.
    for (const Plan* plan : {&english, &german}) {
        ASSERT_EQ(plan->positions.size(), 19u);
        EXPECT_EQ(std::count(plan->positions.begin(), plan->positions.end(), std::nullopt), 0);
    }
    EXPECT_EQ(differences(german, english, false).join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_EQ(english.positions[0]->name, QStringLiteral("First Task"));
    EXPECT_EQ(english.positions[0]->durationMinutes, 50 * 480);
    EXPECT_EQ(english.positions[0]->start, at(2003, 1, 7, 8));
    EXPECT_EQ(english.positions[0]->finish, at(2003, 3, 18, 17));
    EXPECT_EQ(english.positions[18]->name, QStringLiteral("Related Task 6b"));
}

}  // namespace
}  // namespace quorrix::importer::plans
