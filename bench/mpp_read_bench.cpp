// Reading speed of .mpp plans, MPX exchange files and Project databases against Project XML: every
// test plan of these kinds is read repeatedly (from the page cache) and the figures are reported as
// tasks per second and MB per second of CPU time, in total and for each file against the XML that
// the same Project version saved (for Project 98, which saved no XML, against the XML of the oldest
// version in the folder: the same plan). The .mpp plans are also read with all further task
// fields (ReadOptions::details), and the cost of that against the four-field read is reported; for
// every format, reading every column (the schedule and the custom fields too) against the four,
// and one custom field against one further column.
// Project databases are read in a process of their own: their figures are wall-clock time, and
// set what that process costs against reading the same database in this one.
//
//   mpp_read_bench [PLANS_FOLDER] [SECONDS_PER_FILE] [FORMATS]
//   mpp_read_bench --once four|details|every FILE   one reading, for counting instructions (callgrind)
//   mpp_read_bench --count four|details|every SUFFIX [PLANS_FOLDER]   e.g. SUFFIX mpp, mpx, xml
// FORMATS (such as "mpd,xml") measures only the columns' cost of those formats. --count reads every
// plan of the one format three times in the one way and prints only the task count: for counting
// a whole format's instructions under callgrind, free of the machine's noise.
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <thread>
#include <map>
#include <optional>
#include <string>

#include "importer/plans/common/custom_fields.h"
#include "importer/plans/mpd/mpd_protocol.h"
#include "importer/plans/mpd/mpd_reader.h"
#include "importer/plans/mpp/mpp_reader.h"
#include "importer/plans/mpx/mpx_reader.h"
#include "importer/plans/plan_reader.h"
#include "importer/plans/xml/mspdi_reader.h"
#include "mpdreader/mpd_dump.h"
#include "platform/failure.h"

using namespace quorrix::importer::plans;

namespace {

struct Timing {
    double secondsPerRead = 0;
    size_t tasks = 0;
    qint64 bytes = 0;
};

// CPU seconds used by the process: the figures stay meaningful on a machine shared with other work.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Reads `path` with `reader` until `budget` CPU seconds have passed (at least three times).
template <typename Reader>
Timing measure(const QString& path, Reader reader, double budget) {
    Timing timing;
    timing.bytes = QFileInfo(path).size();
    timing.tasks = reader(path).positions.size();  // warm-up, and the task count
    int reads = 0;
    const double begin = cpuSeconds();
    double elapsed = 0;
    while (reads < 3 || elapsed < budget) {
        const Plan plan = reader(path);
        if (plan.positions.size() != timing.tasks) std::fprintf(stderr, "unstable result for %s\n", qPrintable(path));
        ++reads;
        elapsed = cpuSeconds() - begin;
    }
    timing.secondsPerRead = elapsed / reads;
    return timing;
}

struct Total {
    size_t files = 0, tasks = 0;
    qint64 bytes = 0;
    double seconds = 0;
    void add(const Timing& t) {
        ++files;
        tasks += t.tasks;
        bytes += t.bytes;
        seconds += t.secondsPerRead;
    }
    void print(const char* label) const {
        std::printf("%-22s %4zu files %7zu tasks %8.1f MB  %10.0f tasks/s %8.1f MB/s %8.2f us/task\n", label, files, tasks,
                    bytes / 1e6, tasks / seconds, bytes / 1e6 / seconds, seconds * 1e6 / std::max<size_t>(tasks, 1));
    }
};

double microsPerTask(const Timing& t) { return t.secondsPerRead * 1e6 / std::max<size_t>(t.tasks, 1); }

// The timing of `path` read with `reader`, or nothing (the failure said on stderr) when it fails.
template <typename Reader>
std::optional<Timing> measured(const QString& path, Reader reader, double budget, const char* note = "") {
    try {
        return measure(path, reader, budget);
    } catch (const quorrix::Failure& f) {
        std::fprintf(stderr, "%s%s: %s\n", qPrintable(path), note, f.what());
        return std::nullopt;
    }
}

// One format's plans against their XML twins: a row for each plan, then the totals.
class Comparison {
public:
    // `heading`: of the first column; `extra`: of a column printed before the XML figure ("" for none).
    Comparison(const char* kind, const char* heading, const char* extra) : kind_(kind), extra_(extra) {
        std::printf("%-48s %8s %8s %9s", heading, "tasks", "KB", "us/task");
        if (*extra_) std::printf(" %9s", extra_);
        std::printf(" %9s %7s\n", "XML us/t", "ratio");
    }
    // A plan read in `t`, against its twin's timing (null: it has none); `extra` fills the extra column.
    void row(const QString& name, const Timing& t, const Timing* twin, const QString& extra = {}) {
        all.add(t);
        std::printf("%-48s %8zu %8.0f %9.2f", qPrintable(name), t.tasks, t.bytes / 1024.0, microsPerTask(t));
        if (*extra_) std::printf(" %9s", qPrintable(extra));
        if (!twin) {
            std::printf(" %9s %7s\n", "-", "-");
            return;
        }
        paired_.add(t);
        pairedXml_.add(*twin);
        const double ratio = microsPerTask(t) / microsPerTask(*twin);
        worst_ = std::max(worst_, ratio);
        std::printf(" %9.2f %7.2f\n", microsPerTask(*twin), ratio);
    }
    // The totals; `between` is printed after the format's own total line.
    void totals(const std::function<void()>& between = {}) const {
        std::printf("\n");
        all.print((kind_ + ", all").c_str());
        if (between) between();
        paired_.print((kind_ + " with an XML twin").c_str());
        pairedXml_.print("their XML twins");
        std::printf("worst %s/XML cost per task: %.2f (goal: at most 1)\n", kind_.c_str(), worst_);
    }
    Total all;

private:
    std::string kind_;
    const char* extra_;
    Total paired_, pairedXml_;
    double worst_ = 0;
};

// The timing of the first of `names` in `dir`, if it was measured.
const Timing* timingOf(const std::map<QString, Timing>& timings, const QDir& dir, const QStringList& names) {
    if (names.isEmpty()) return nullptr;
    const auto found = timings.find(dir.filePath(names.first()));
    return found == timings.end() ? nullptr : &found->second;
}

// CPU microseconds of one call of `read`, counting the processes it starts and those they start:
// the calls run on a thread of their own (at least five, for `budget` CPU seconds), so that the
// reader's service, which lives as long as the thread, has ended and been counted when it ends.
template <typename Read>
double cpuMicros(Read read, double budget) {
    const auto used = [] {
        rusage self{}, children{};
        getrusage(RUSAGE_SELF, &self);
        getrusage(RUSAGE_CHILDREN, &children);
        const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
        return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) +
               seconds(children.ru_stime);
    };
    const double begin = used();
    int calls = 0;
    std::thread([&] {
        const double start = cpuSeconds();
        while (calls < 5 || cpuSeconds() - start < budget) {
            read();
            ++calls;
        }
    }).join();
    return (used() - begin) * 1e6 / calls;
}

// Wall-clock microseconds of one call of `read`: the median over `budget` seconds (at least
// five calls); on a shared machine it also holds the waits for the other processes' turns.
template <typename Read>
double medianMicros(Read read, double budget) {
    std::vector<double> times;
    const auto begin = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    };
    while (times.size() < 5 || elapsed() < budget) {
        const auto start = std::chrono::steady_clock::now();
        read();
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2), times.end());
    return times[times.size() / 2];
}

// A database read as before the reader had a process of its own: libmdb in this process, its
// answer checked and made a plan here (from the opening of the file, as the dispatcher does).
Plan readInProcess(const QString& path, const ReadOptions& options = {}) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw quorrix::Failure(53, QStringLiteral("cannot open %1").arg(path));
    mpd::AnswerWriter answer;
    answer.header();
    quorrix::mpdreader::dumpDatabase(fd, mpdAsked(options), answer);
    ::close(fd);
    return planFromMpdAnswer(answer.pending(), options);
}

// Project databases (.mpd): each read through the reader's process (as the programs read them),
// against the same database read in this process, and against the XML of the same plan: the XML
// the same Project version saved, else (Project 98 and 2000 wrote no XML) the folder's Project
// 2003 XML of the same plan. The figures are CPU time of all the processes involved; the
// wall-clock medians beside them also hold the waits for the turns of the processes.
void benchDatabases(const QString& folder, double budget) {
    QStringList files;
    QDirIterator it(folder, {QStringLiteral("*.mpd")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();
    if (files.isEmpty()) return;

    const auto reader = [](const QString& p) { return readPlanFile(p); };
    static const QRegularExpression version(QStringLiteral("project(\\d+)"));
    std::printf("\n%-36s %6s %10s %10s %9s %9s %9s %7s %10s %10s\n", ".mpd database (CPU time)", "tasks",
                "process us", "in-proc us", "added us", "us/task", "XML us/t", "ratio", "wall proc", "wall in-p");
    double worst = 0, processTotal = 0, inProcessTotal = 0;
    std::size_t tasks = 0;
    for (const QString& path : files) {
        try {
            const std::size_t count = reader(path).positions.size();
            const double process = cpuMicros([&] { reader(path); }, budget);
            const double inProcess = cpuMicros([&] { readInProcess(path); }, budget);
            const double processWall = medianMicros([&] { reader(path); }, budget);
            const double inProcessWall = medianMicros([&] { readInProcess(path); }, budget);
            const QFileInfo info(path);
            const QDir dir = info.dir();
            QStringList twins;
            const auto m = version.match(info.fileName());
            if (m.hasMatch()) {
                twins = dir.entryList({QStringLiteral("*-project%1-mspdi.xml").arg(m.captured(1))}, QDir::Files);
                if (twins.isEmpty()) twins = dir.entryList({QStringLiteral("*-project2003-mspdi.xml")}, QDir::Files);
            } else {
                twins = dir.entryList({QStringLiteral("*.xml")}, QDir::Files);
                if (twins.size() != 1) twins.clear();
            }
            QString xml = QStringLiteral("-");
            if (!twins.isEmpty()) {
                const QString twin = dir.filePath(twins.first());
                const double x = cpuMicros([&] { reader(twin); }, budget);
                xml = QString::number(x / std::max<std::size_t>(reader(twin).positions.size(), 1), 'f', 2);
            }
            const double ratio = process / inProcess;
            worst = std::max(worst, ratio);
            processTotal += process;
            inProcessTotal += inProcess;
            tasks += count;
            std::printf("%-36s %6zu %10.0f %10.0f %9.0f %9.2f %9s %7.2f %10.0f %10.0f\n", qPrintable(info.fileName()),
                        count, process, inProcess, process - inProcess, process / std::max<std::size_t>(count, 1),
                        qPrintable(xml), ratio, processWall, inProcessWall);
        } catch (const quorrix::Failure& f) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), f.what());
        }
    }
    std::printf("\n.mpd, all: %zu files, %zu tasks; through the process %.2f us/task, in this process %.2f us/task\n",
                static_cast<std::size_t>(files.size()), tasks, processTotal / std::max<std::size_t>(tasks, 1),
                inProcessTotal / std::max<std::size_t>(tasks, 1));
    std::printf("the process's cost per database: %.0f us on average; "
                "worst process/in-process ratio %.2f\n",
                (processTotal - inProcessTotal) / static_cast<double>(files.size()), worst);
}

// The options of a way of reading: "four" (the default four fields), "details" (the further
// fields too) or "every" (every column: the further fields, the schedule and every custom field).
ReadOptions optionsFor(const std::string& way) {
    ReadOptions options;
    options.details = way == "details" || way == "every";
    options.schedule = way == "every";
    if (way == "every") options.custom.set();
    return options;
}

// What the columns a user picks cost, format by format: every column (all further fields, the
// schedule and every custom field) against the default four, and one custom field (Text1) against
// one of the further columns (Notes), per task over all the format's plans and for the worst plan.
// `read`: how a file is read with given options (the dispatcher's reading when null).
void benchColumns(const char* format, const QStringList& files, double budget,
                  Plan (*read)(const QString&, const ReadOptions&) = nullptr) {
    const auto readWith = [read](ReadOptions options) {
        return [options, read](const QString& p) { return read ? read(p, options) : readPlanFile(p, options); };
    };
    const ReadOptions every = optionsFor("every");
    ReadOptions extra;  // the Notes column, as the run asks for it
    extra.details = true;
    ReadOptions custom = extra;  // the Text1 column
    custom.custom.set(static_cast<std::size_t>(customSlot(CustomKind::Text, 1)));
    Total four, all, notes, text1;
    double worstAll = 0, worstCustom = 0;
    for (const QString& path : files) {
        const auto f = measured(path, readWith({}), budget);
        const auto a = measured(path, readWith(every), budget, " (every column)");
        const auto n = measured(path, readWith(extra), budget, " (Notes)");
        const auto t = measured(path, readWith(custom), budget, " (Text1)");
        if (!f || !a || !n || !t) continue;
        four.add(*f);
        all.add(*a);
        notes.add(*n);
        text1.add(*t);
        worstAll = std::max(worstAll, a->secondsPerRead / f->secondsPerRead);
        worstCustom = std::max(worstCustom, t->secondsPerRead / n->secondsPerRead);
    }
    if (four.files == 0) return;
    const auto perTask = [](const Total& t) { return t.seconds * 1e6 / std::max<size_t>(t.tasks, 1); };
    std::printf("%-5s %4zu files: four %7.2f us/task, every column %7.2f (x%.2f, worst plan x%.2f; goal 1.5); "
                "Notes %7.2f, Text1 %7.2f (x%.2f, worst plan x%.2f; goal 1)\n",
                format, four.files, perTask(four), perTask(all), all.seconds / four.seconds, worstAll, perTask(notes),
                perTask(text1), text1.seconds / notes.seconds, worstCustom);
}

// Project databases as the program reads them, through the reader's process: every column against
// the four, in CPU time of both processes (the answer's sending and checking counted too), per
// task over all the databases and for the worst one.
void benchDatabaseColumns(const QStringList& files, double budget) {
    const ReadOptions every = optionsFor("every");
    double four = 0, all = 0, worst = 0;
    std::size_t tasks = 0;
    for (const QString& path : files) {
        try {
            const std::size_t count = readPlanFile(path).positions.size();
            const double f = cpuMicros([&] { readPlanFile(path); }, budget);
            const double a = cpuMicros([&] { readPlanFile(path, every); }, budget);
            four += f;
            all += a;
            tasks += count;
            worst = std::max(worst, a / f);
        } catch (const quorrix::Failure& failure) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), failure.what());
        }
    }
    if (tasks == 0) return;
    std::printf(".mpd through the reader's process: four %7.2f us/task, every column %7.2f (x%.2f, worst database "
                "x%.2f; goal 1.5)\n",
                four / double(tasks), all / double(tasks), all / four, worst);
}

// The --count mode: every `suffix` plan in `folder` read three times with the four fields or every column.
int countReads(const QString& folder, const ReadOptions& options, const QString& suffix) {
    QStringList files;
    QDirIterator it(folder, {QStringLiteral("*.") + suffix}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();
    std::size_t tasks = 0;
    for (const QString& path : files) {
        for (int round = 0; round < 3; ++round) {
            try {
                tasks += readPlanFile(path, options).positions.size();
            } catch (const quorrix::Failure& f) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(path), f.what());
            }
        }
    }
    std::printf("%zu files, %zu tasks\n", static_cast<std::size_t>(files.size()), tasks);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 3 && std::string(argv[1]) == "--count") {
        const QString folder =
            argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral(QUORRIX_TESTDATA "/plans");
        return countReads(folder, optionsFor(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (argc == 4 && std::strcmp(argv[1], "--once") == 0) {
        const ReadOptions options = optionsFor(argv[2]);
        const QString path = QString::fromLocal8Bit(argv[3]);
        const bool database = path.endsWith(QLatin1String(".mpd"));
        const Plan plan = database ? readInProcess(path, options) : readPlanFile(path, options);
        std::printf("%zu tasks\n", plan.positions.size());
        return 0;
    }
    const QString folder = argc > 1 && argv[1][0] ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUORRIX_TESTDATA "/plans");
    const double budget = argc > 2 ? std::atof(argv[2]) : 0.2;
    if (!QDir(folder).exists()) {
        std::fprintf(stderr, "no plans at %s\n", qPrintable(folder));
        return 2;
    }
    QStringList mppFiles, xmlFiles, mpxFiles;
    QDirIterator it(folder, {QStringLiteral("*.mpp"), QStringLiteral("*.xml"), QStringLiteral("*.mpx")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        (path.endsWith(QLatin1String(".mpp")) ? mppFiles : path.endsWith(QLatin1String(".mpx")) ? mpxFiles : xmlFiles) << path;
    }
    mppFiles.sort();
    xmlFiles.sort();
    mpxFiles.sort();
    if (argc > 3) {
        const QStringList formats = QString::fromLocal8Bit(argv[3]).split(QLatin1Char(','));
        QStringList mpdFiles;
        QDirIterator databases(folder, {QStringLiteral("*.mpd")}, QDir::Files, QDirIterator::Subdirectories);
        while (databases.hasNext()) mpdFiles << databases.next();
        mpdFiles.sort();
        if (formats.contains(QLatin1String("mpp"))) benchColumns(".mpp", mppFiles, budget);
        if (formats.contains(QLatin1String("mpx"))) benchColumns(".mpx", mpxFiles, budget);
        if (formats.contains(QLatin1String("xml"))) benchColumns("XML", xmlFiles, budget);
        if (formats.contains(QLatin1String("mpd"))) {
            benchColumns(".mpd", mpdFiles, budget, readInProcess);
            benchDatabaseColumns(mpdFiles, budget);
        }
        return 0;
    }

    const auto mppReader = [](const QString& p) { return readPlanFile(p); };
    const auto mppDetailsReader = [](const QString& p) {
        ReadOptions options;
        options.details = true;
        return readPlanFile(p, options);
    };
    const auto xmlReader = [](const QString& p) { return readPlanFile(p); };

    Total mppDetailsTotal, xmlTotal;
    double worstDetails = 0;
    std::map<QString, Timing> xmlTimings, mppTimings;
    for (const QString& path : xmlFiles) {
        if (const std::optional<Timing> t = measured(path, xmlReader, budget)) {
            xmlTimings[path] = *t;
            xmlTotal.add(*t);
        }
    }

    // The XML of the same Project version, else the folder's only XML; the .mpp of that version.
    static const QRegularExpression version(QStringLiteral("project(\\d+)"));
    const auto sameVersion = [](const QDir& dir, const QRegularExpressionMatch& m, const char* pattern) {
        return m.hasMatch() ? dir.entryList({QString::fromLatin1(pattern).arg(m.captured(1))}, QDir::Files) : QStringList();
    };
    const auto mppColumn = [&](const QDir& dir, const QRegularExpressionMatch& m) {
        const Timing* p = timingOf(mppTimings, dir, sameVersion(dir, m, "*-project%1-mpp*.mpp"));
        return p ? QString::number(microsPerTask(*p), 'f', 2) : QStringLiteral("-");
    };

    Comparison mpp(".mpp", ".mpp plan", "");
    for (const QString& path : mppFiles) {
        const std::optional<Timing> t = measured(path, mppReader, budget);
        if (!t) continue;
        mppTimings[path] = *t;
        if (const std::optional<Timing> d = measured(path, mppDetailsReader, budget, " (details)")) {
            mppDetailsTotal.add(*d);
            worstDetails = std::max(worstDetails, d->secondsPerRead / t->secondsPerRead);
        }
        const QFileInfo info(path);
        const QDir dir = info.dir();
        const auto m = version.match(info.fileName());
        QStringList twins = sameVersion(dir, m, "*-project%1-mspdi.xml");
        if (!m.hasMatch()) {
            twins = dir.entryList({QStringLiteral("*.xml")}, QDir::Files);
            if (twins.size() != 1) twins.clear();
        }
        mpp.row(info.fileName(), *t, timingOf(xmlTimings, dir, twins));
    }
    mpp.totals([&] { mppDetailsTotal.print(".mpp, all, details"); xmlTotal.print("XML, all"); });
    std::printf("details/four-field cost: %.2f in total, worst plan %.2f (goal: at most 1.5)\n",
                mppDetailsTotal.seconds / std::max(mpp.all.seconds, 1e-12), worstDetails);

    // MPX exchange files, against the XML of the same plan: of the same version, else the oldest.
    const auto mpxReader = [](const QString& p) { return readPlanFile(p); };
    static const QRegularExpression xmlVersion(QStringLiteral("project(\\d+)-mspdi\\.xml$"));
    std::printf("\n");
    Comparison mpx(".mpx", ".mpx plan", ".mpp us/t");
    for (const QString& path : mpxFiles) {
        const std::optional<Timing> t = measured(path, mpxReader, budget);
        if (!t) continue;
        const QFileInfo info(path);
        const QDir dir = info.dir();
        const auto m = version.match(info.fileName());
        QStringList twins = sameVersion(dir, m, "*-project%1-mspdi.xml");
        if (twins.isEmpty()) {
            QStringList all = dir.entryList({QStringLiteral("*-mspdi.xml")}, QDir::Files);
            std::sort(all.begin(), all.end(), [](const QString& a, const QString& b) {
                return xmlVersion.match(a).captured(1).toInt() < xmlVersion.match(b).captured(1).toInt();
            });
            if (!all.isEmpty()) twins << all.first();
        }
        mpx.row(info.fileName(), *t, timingOf(xmlTimings, dir, twins), mppColumn(dir, m));
    }
    mpx.totals();

    std::printf("\nThe columns' cost, per task:\n");
    benchColumns(".mpp", mppFiles, budget);
    benchColumns(".mpx", mpxFiles, budget);
    benchColumns("XML", xmlFiles, budget);
    QStringList mpdFiles;
    QDirIterator databases(folder, {QStringLiteral("*.mpd")}, QDir::Files, QDirIterator::Subdirectories);
    while (databases.hasNext()) mpdFiles << databases.next();
    mpdFiles.sort();
    benchColumns(".mpd", mpdFiles, budget, readInProcess);  // libmdb's work counted too
    benchDatabaseColumns(mpdFiles, budget);

    benchDatabases(folder, budget);
    return 0;
}
