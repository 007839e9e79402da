// Reading speed of .mpp plans, MPX exchange files and Project databases against Project XML: every
// test plan of these kinds is read repeatedly (from the page cache) and the figures are reported as
// tasks per second and MB per second of CPU time, in total and for each file against the XML that
// the same Project version saved (for Project 98, which saved no XML, against the XML of the oldest
// version in the folder: the same plan). The .mpp plans are also read with all further task
// fields (ReadOptions::details), and the cost of that against the four-field read is reported.
//
//   mpp_read_bench [PLANS_FOLDER] [SECONDS_PER_FILE]
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <map>

#include "importer/plans/mpd_reader.h"
#include "importer/plans/mpp_reader.h"
#include "importer/plans/mpx_reader.h"
#include "importer/plans/mspdi_reader.h"
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

// Project databases (.mpd) against the XML of the same plan: the XML the same Project version
// saved, else (Project 98 and 2000 wrote no XML) the folder's Project 2003 XML of the same plan.
void benchDatabases(const QString& folder, double budget, const std::map<QString, Timing>& xmlTimings) {
    QStringList files;
    QDirIterator it(folder, {QStringLiteral("*.mpd")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();
    if (files.isEmpty()) return;

    const auto reader = [](const QString& p) { return readMpdFile(p); };
    static const QRegularExpression version(QStringLiteral("project(\\d+)"));
    Total all, paired, pairedXml;
    double worst = 0;
    std::printf("\n%-48s %8s %8s %9s %9s %7s\n", ".mpd database", "tasks", "KB", "us/task", "XML us/t", "ratio");
    for (const QString& path : files) {
        Timing t;
        try {
            t = measure(path, reader, budget);
        } catch (const quorrix::Failure& f) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), f.what());
            continue;
        }
        all.add(t);
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
        const double perTask = t.secondsPerRead * 1e6 / std::max<size_t>(t.tasks, 1);
        const auto twin = twins.isEmpty() ? xmlTimings.end() : xmlTimings.find(dir.filePath(twins.first()));
        if (twin == xmlTimings.end()) {
            std::printf("%-48s %8zu %8.0f %9.2f %9s %7s\n", qPrintable(info.fileName()), t.tasks, t.bytes / 1024.0, perTask, "-", "-");
            continue;
        }
        const Timing& x = twin->second;
        paired.add(t);
        pairedXml.add(x);
        const double xmlPerTask = x.secondsPerRead * 1e6 / std::max<size_t>(x.tasks, 1);
        const double ratio = perTask / xmlPerTask;
        worst = std::max(worst, ratio);
        std::printf("%-48s %8zu %8.0f %9.2f %9.2f %7.2f\n", qPrintable(info.fileName()), t.tasks, t.bytes / 1024.0, perTask,
                    xmlPerTask, ratio);
    }
    std::printf("\n");
    all.print(".mpd, all");
    paired.print(".mpd with an XML twin");
    pairedXml.print("their XML twins");
    std::printf("worst .mpd/XML cost per task: %.2f (goal: at most 1)\n", worst);
}

}  // namespace

int main(int argc, char** argv) {
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

    const auto mppReader = [](const QString& p) { return readMppFile(p); };
    const auto mppDetailsReader = [](const QString& p) {
        ReadOptions options;
        options.details = true;
        return readMppFile(p, options);
    };
    const auto xmlReader = [](const QString& p) { return readMspdiFile(p); };

    Total mppTotal, mppDetailsTotal, xmlTotal, pairedMpp, pairedXml;
    double worstDetails = 0;
    std::map<QString, Timing> xmlTimings, mppTimings;
    for (const QString& path : xmlFiles) {
        try {
            const Timing t = measure(path, xmlReader, budget);
            xmlTimings[path] = t;
            xmlTotal.add(t);
        } catch (const quorrix::Failure& f) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), f.what());
        }
    }

    std::printf("%-48s %8s %8s %9s %9s %7s\n", ".mpp plan", "tasks", "KB", "us/task", "XML us/t", "ratio");
    static const QRegularExpression version(QStringLiteral("project(\\d+)"));
    double worst = 0;
    for (const QString& path : mppFiles) {
        Timing t;
        try {
            t = measure(path, mppReader, budget);
        } catch (const quorrix::Failure& f) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), f.what());
            continue;
        }
        mppTotal.add(t);
        mppTimings[path] = t;
        try {
            const Timing d = measure(path, mppDetailsReader, budget);
            mppDetailsTotal.add(d);
            worstDetails = std::max(worstDetails, d.secondsPerRead / t.secondsPerRead);
        } catch (const quorrix::Failure& f) {
            std::fprintf(stderr, "%s (details): %s\n", qPrintable(path), f.what());
        }
        // The twin: the XML of the same Project version, or the folder's only XML.
        const QFileInfo info(path);
        const QDir dir = info.dir();
        QStringList twins;
        const auto m = version.match(info.fileName());
        if (m.hasMatch()) {
            twins = dir.entryList({QStringLiteral("*-project%1-mspdi.xml").arg(m.captured(1))}, QDir::Files);
        } else {
            twins = dir.entryList({QStringLiteral("*.xml")}, QDir::Files);
            if (twins.size() != 1) twins.clear();
        }
        const double perTask = t.secondsPerRead * 1e6 / std::max<size_t>(t.tasks, 1);
        // The .mpp saved by the same Project version.
        QString mppPerTask = QStringLiteral("-");
        if (m.hasMatch()) {
            const QStringList mpp = dir.entryList({QStringLiteral("*-project%1-mpp*.mpp").arg(m.captured(1))}, QDir::Files);
            if (!mpp.isEmpty() && mppTimings.count(dir.filePath(mpp.first()))) {
                const Timing& p = mppTimings[dir.filePath(mpp.first())];
                mppPerTask = QString::number(p.secondsPerRead * 1e6 / std::max<size_t>(p.tasks, 1), 'f', 2);
            }
        }
        if (twins.isEmpty() || !xmlTimings.count(dir.filePath(twins.first()))) {
            std::printf("%-48s %8zu %8.0f %9.2f %9s %9s %7s\n", qPrintable(info.fileName()), t.tasks, t.bytes / 1024.0, perTask,
                        qPrintable(mppPerTask), "-", "-");
            continue;
        }
        const Timing& x = xmlTimings[dir.filePath(twins.first())];
        pairedMpp.add(t);
        pairedXml.add(x);
        const double xmlPerTask = x.secondsPerRead * 1e6 / std::max<size_t>(x.tasks, 1);
        const double ratio = perTask / xmlPerTask;
        worst = std::max(worst, ratio);
        std::printf("%-48s %8zu %8.0f %9.2f %9.2f %7.2f\n", qPrintable(info.fileName()), t.tasks, t.bytes / 1024.0, perTask,
                    xmlPerTask, ratio);
    }
    std::printf("\n");
    mppTotal.print(".mpp, all");
    mppDetailsTotal.print(".mpp, all, details");
    xmlTotal.print("XML, all");
    pairedMpp.print(".mpp with an XML twin");
    pairedXml.print("their XML twins");
    std::printf("worst .mpp/XML cost per task: %.2f (goal: at most 1)\n", worst);
    std::printf("details/four-field cost: %.2f in total, worst plan %.2f (goal: at most 1.5)\n",
                mppDetailsTotal.seconds / std::max(mppTotal.seconds, 1e-12), worstDetails);

    // MPX exchange files, against the XML of the same plan.
    const auto mpxReader = [](const QString& p) { return readMpxFile(p); };
    static const QRegularExpression xmlVersion(QStringLiteral("project(\\d+)-mspdi\\.xml$"));
    Total mpxTotal, pairedMpx, pairedMpxXml;
    double worstMpx = 0;
    std::printf("\n%-48s %8s %8s %9s %9s %9s %7s\n", ".mpx plan", "tasks", "KB", "us/task", ".mpp us/t", "XML us/t",
                "ratio");
    for (const QString& path : mpxFiles) {
        Timing t;
        try {
            t = measure(path, mpxReader, budget);
        } catch (const quorrix::Failure& f) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), f.what());
            continue;
        }
        mpxTotal.add(t);
        const QFileInfo info(path);
        const QDir dir = info.dir();
        const auto m = version.match(info.fileName());
        QStringList twins;
        if (m.hasMatch()) twins = dir.entryList({QStringLiteral("*-project%1-mspdi.xml").arg(m.captured(1))}, QDir::Files);
        if (twins.isEmpty()) {
            // The oldest version's XML of the plan.
            QStringList all = dir.entryList({QStringLiteral("*-mspdi.xml")}, QDir::Files);
            std::sort(all.begin(), all.end(), [](const QString& a, const QString& b) {
                return xmlVersion.match(a).captured(1).toInt() < xmlVersion.match(b).captured(1).toInt();
            });
            if (!all.isEmpty()) twins << all.first();
        }
        const double perTask = t.secondsPerRead * 1e6 / std::max<size_t>(t.tasks, 1);
        // The .mpp saved by the same Project version.
        QString mppPerTask = QStringLiteral("-");
        if (m.hasMatch()) {
            const QStringList mpp = dir.entryList({QStringLiteral("*-project%1-mpp*.mpp").arg(m.captured(1))}, QDir::Files);
            if (!mpp.isEmpty() && mppTimings.count(dir.filePath(mpp.first()))) {
                const Timing& p = mppTimings[dir.filePath(mpp.first())];
                mppPerTask = QString::number(p.secondsPerRead * 1e6 / std::max<size_t>(p.tasks, 1), 'f', 2);
            }
        }
        if (twins.isEmpty() || !xmlTimings.count(dir.filePath(twins.first()))) {
            std::printf("%-48s %8zu %8.0f %9.2f %9s %9s %7s\n", qPrintable(info.fileName()), t.tasks, t.bytes / 1024.0, perTask,
                        qPrintable(mppPerTask), "-", "-");
            continue;
        }
        const Timing& x = xmlTimings[dir.filePath(twins.first())];
        pairedMpx.add(t);
        pairedMpxXml.add(x);
        const double xmlPerTask = x.secondsPerRead * 1e6 / std::max<size_t>(x.tasks, 1);
        const double ratio = perTask / xmlPerTask;
        worstMpx = std::max(worstMpx, ratio);
        std::printf("%-48s %8zu %8.0f %9.2f %9s %9.2f %7.2f\n", qPrintable(info.fileName()), t.tasks, t.bytes / 1024.0,
                    perTask, qPrintable(mppPerTask), xmlPerTask, ratio);
    }
    std::printf("\n");
    mpxTotal.print(".mpx, all");
    pairedMpx.print(".mpx with an XML twin");
    pairedMpxXml.print("their XML twins");
    std::printf("worst .mpx/XML cost per task: %.2f (goal: at most 1)\n", worstMpx);

    benchDatabases(folder, budget, xmlTimings);
    return 0;
}
