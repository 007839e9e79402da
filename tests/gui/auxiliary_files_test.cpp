// The files the installation carries next to the program: the sample plans and the help picture.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace quorrix {
namespace {

QString installFolder() { return QCoreApplication::applicationDirPath(); }

struct SampleTask {
    int id = 0;
    QString name;
    bool isNull = false;
    bool summary = false;
    bool milestone = false;
    int outlineLevel = 0;
    QDateTime start;
    QDateTime finish;
    int minutes = -1;
    int durationFormat = 0;
};

struct SamplePlan {
    QString file;
    QString namespaceUri;
    QString rootName;
    std::vector<SampleTask> tasks;  // the project summary (ID 0) left out
    QString error;
};

int durationMinutes(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^PT(\\d+)H(\\d+)M(\\d+)S$"));
    const auto m = pattern.match(text);
    if (!m.hasMatch()) return -1;
    return m.captured(1).toInt() * 60 + m.captured(2).toInt();
}

SamplePlan readPlan(const QString& path) {
    SamplePlan plan;
    plan.file = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        plan.error = QStringLiteral("cannot open");
        return plan;
    }
    QXmlStreamReader xml(&file);
    SampleTask task;
    bool inTask = false;
    int depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (depth == 1) {
                plan.rootName = xml.name().toString();
                plan.namespaceUri = xml.namespaceUri().toString();
            }
            const QString name = xml.name().toString();
            if (name == QLatin1String("Task") && depth == 3) {
                inTask = true;
                task = SampleTask{};
            } else if (inTask && depth == 4) {
                --depth;  // both reads below consume the element's end
                static const QStringList fields{"ID", "Name", "IsNull", "Summary", "Milestone", "OutlineLevel",
                                                "Start", "Finish", "Duration", "DurationFormat"};
                if (!fields.contains(name)) {
                    xml.skipCurrentElement();
                    continue;
                }
                const QString text = xml.readElementText();
                if (name == QLatin1String("ID")) task.id = text.toInt();
                else if (name == QLatin1String("Name")) task.name = text;
                else if (name == QLatin1String("IsNull")) task.isNull = text == QLatin1String("1");
                else if (name == QLatin1String("Summary")) task.summary = text == QLatin1String("1");
                else if (name == QLatin1String("Milestone")) task.milestone = text == QLatin1String("1");
                else if (name == QLatin1String("OutlineLevel")) task.outlineLevel = text.toInt();
                else if (name == QLatin1String("Start")) task.start = QDateTime::fromString(text, Qt::ISODate);
                else if (name == QLatin1String("Finish")) task.finish = QDateTime::fromString(text, Qt::ISODate);
                else if (name == QLatin1String("Duration")) task.minutes = durationMinutes(text);
                else if (name == QLatin1String("DurationFormat")) task.durationFormat = text.toInt();
            }
        } else if (xml.isEndElement()) {
            if (inTask && depth == 3) {
                inTask = false;
                if (task.id != 0) plan.tasks.push_back(task);
            }
            --depth;
        }
    }
    if (xml.hasError()) plan.error = xml.errorString();
    return plan;
}

// Working minutes between two moments on the standard calendar: Monday to Friday, 08:00-12:00 and
// 13:00-17:00.
int workingMinutes(const QDateTime& from, const QDateTime& to) {
    int total = 0;
    for (QDate day = from.date(); day <= to.date(); day = day.addDays(1)) {
        if (day.dayOfWeek() > 5) continue;
        for (const auto& [s, e] : {std::pair{8, 12}, std::pair{13, 17}}) {
            const QDateTime a = std::max(QDateTime(day, QTime(s, 0)), from);
            const QDateTime b = std::min(QDateTime(day, QTime(e, 0)), to);
            if (b > a) total += static_cast<int>(a.secsTo(b) / 60);
        }
    }
    return total;
}

bool onWorkingTime(const QDateTime& moment) {
    if (moment.date().dayOfWeek() > 5) return false;
    const QTime t = moment.time();
    return (t >= QTime(8, 0) && t <= QTime(12, 0)) || (t >= QTime(13, 0) && t <= QTime(17, 0));
}

std::vector<SamplePlan> installedSamples() {
    std::vector<SamplePlan> plans;
    const QDir samples(installFolder() + QStringLiteral("/Samples"));
    for (const QString& name : samples.entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase))
        plans.push_back(readPlan(samples.filePath(name)));
    return plans;
}

TEST(SamplePlans, FiveToEightPlansInProjectsXmlFormat) {
    const auto plans = installedSamples();
    EXPECT_GE(plans.size(), 5u);
    EXPECT_LE(plans.size(), 8u);
    for (const SamplePlan& p : plans) {
        SCOPED_TRACE(p.file.toStdString());
        EXPECT_TRUE(p.error.isEmpty()) << p.error.toStdString();
        EXPECT_TRUE(p.file.endsWith(QLatin1String(".xml")));
        EXPECT_EQ(p.rootName, QStringLiteral("Project"));
        EXPECT_EQ(p.namespaceUri, QStringLiteral("http://schemas.microsoft.com/project"));
        ASSERT_FALSE(p.tasks.empty());
        // Task rows are numbered 1, 2, 3 ... without gaps; the highest ID is the row count.
        for (size_t i = 0; i < p.tasks.size(); ++i) EXPECT_EQ(p.tasks[i].id, static_cast<int>(i + 1));
        EXPECT_GE(p.tasks.size(), 20u);
        EXPECT_LE(p.tasks.size(), 300u);
    }
}

TEST(SamplePlans, EachHasSummariesMilestonesAndABlankRow) {
    for (const SamplePlan& p : installedSamples()) {
        SCOPED_TRACE(p.file.toStdString());
        int summaries = 0, milestones = 0, blanks = 0;
        for (const SampleTask& t : p.tasks) {
            if (t.isNull) {
                ++blanks;
                EXPECT_TRUE(t.name.isEmpty());
                continue;
            }
            EXPECT_FALSE(t.name.trimmed().isEmpty()) << t.id;
            EXPECT_GE(t.outlineLevel, 1) << t.id;
            if (t.summary) ++summaries;
            if (t.milestone) {
                ++milestones;
                EXPECT_EQ(t.minutes, 0) << t.id;
                EXPECT_EQ(t.start, t.finish) << t.id;
            }
        }
        EXPECT_GE(summaries, 2);
        EXPECT_GE(milestones, 2);
        EXPECT_GE(blanks, 1);
        EXPECT_LE(blanks, 3);
    }
}

TEST(SamplePlans, DurationsInMinutesHoursDaysAndWeeks) {
    std::set<int> formats;
    for (const SamplePlan& p : installedSamples())
        for (const SampleTask& t : p.tasks)
            if (!t.isNull && !t.summary && !t.milestone) formats.insert(t.durationFormat);
    for (int wanted : {3, 5, 7, 9, 39}) EXPECT_TRUE(formats.count(wanted)) << "DurationFormat " << wanted;
}

TEST(SamplePlans, DatesFollowTheStandardCalendar) {
    for (const SamplePlan& p : installedSamples()) {
        SCOPED_TRACE(p.file.toStdString());
        std::map<int, int> levelOf;
        for (const SampleTask& t : p.tasks) {
            if (t.isNull) continue;
            ASSERT_TRUE(t.start.isValid() && t.finish.isValid()) << t.id;
            EXPECT_LE(t.start, t.finish) << t.id;
            EXPECT_TRUE(onWorkingTime(t.start)) << t.id << " " << t.start.toString().toStdString();
            EXPECT_TRUE(onWorkingTime(t.finish)) << t.id << " " << t.finish.toString().toStdString();
            // The stored duration is the working time between start and finish.
            EXPECT_EQ(t.minutes, workingMinutes(t.start, t.finish)) << t.id;
        }
        // A summary spans exactly its subtasks.
        for (size_t i = 0; i < p.tasks.size(); ++i) {
            const SampleTask& s = p.tasks[i];
            if (s.isNull || !s.summary) continue;
            QDateTime first, last;
            for (size_t j = i + 1; j < p.tasks.size() && !p.tasks[j].isNull && p.tasks[j].outlineLevel > s.outlineLevel;
                 ++j) {
                if (!first.isValid() || p.tasks[j].start < first) first = p.tasks[j].start;
                if (!last.isValid() || p.tasks[j].finish > last) last = p.tasks[j].finish;
            }
            EXPECT_EQ(s.start, first) << s.id;
            EXPECT_EQ(s.finish, last) << s.id;
        }
    }
}

TEST(SamplePlans, OnePlanHoldsNamesInSeveralScripts) {
    const auto has = [](const QString& text, char32_t from, char32_t to) {
        for (const char32_t c : text.toUcs4())
            if (c >= from && c <= to) return true;
        return false;
    };
    bool found = false;
    for (const SamplePlan& p : installedSamples()) {
        QString names;
        for (const SampleTask& t : p.tasks) names += t.name;
        const bool greek = has(names, 0x0370, 0x03FF);
        const bool cyrillic = has(names, 0x0400, 0x04FF);
        const bool japanese = has(names, 0x3040, 0x30FF) && has(names, 0x4E00, 0x9FFF);
        const bool arabic = has(names, 0x0600, 0x06FF);
        const bool accented = has(names, 0x00C0, 0x017F);
        found = found || (greek && cyrillic && japanese && arabic && accented);
    }
    EXPECT_TRUE(found);
}

TEST(HelpPicture, IsAJpegWorthLookingAt) {
    const QString path = installFolder() + QStringLiteral("/possible-error-messages/error.jpg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 3);
    EXPECT_EQ(bytes.left(3), QByteArray("\xFF\xD8\xFF", 3));
    const QImage image = QImage::fromData(bytes, "JPEG");
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 480);
    EXPECT_GE(image.height(), 320);
    // Not one flat colour: the picture carries drawn windows and text.
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y) & 0xF0F0F0u);
    EXPECT_GT(colours.size(), 20u);
}

}  // namespace
}  // namespace quorrix
