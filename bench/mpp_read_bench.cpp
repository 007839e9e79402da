// Reading speed of .mpp plans against Project XML: every test plan of both kinds is read
// repeatedly (from the page cache) and the figures are reported as tasks per second and MB per
// second of CPU time, in total and for each .mpp against the XML that the same Project version
// saved. The .mpp plans are also read with all further task fields (ReadOptions::details), and
// the cost of that against the four-field read is reported.
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

#include "importer/plans/mpp_reader.h"
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

}  // namespace

int main(int argc, char** argv) {
    const QString folder = argc > 1 && argv[1][0] ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUORRIX_TESTDATA "/plans");
    const double budget = argc > 2 ? std::atof(argv[2]) : 0.2;
    if (!QDir(folder).exists()) {
        std::fprintf(stderr, "no plans at %s\n", qPrintable(folder));
        return 2;
    }
    QStringList mppFiles, xmlFiles;
    QDirIterator it(folder, {QStringLiteral("*.mpp"), QStringLiteral("*.xml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) (it.next().endsWith(QLatin1String(".mpp")) ? mppFiles : xmlFiles) << it.filePath();
    mppFiles.sort();
    xmlFiles.sort();

    const auto mppReader = [](const QString& p) { return readMppFile(p); };
    const auto mppDetailsReader = [](const QString& p) {
        ReadOptions options;
        options.details = true;
        return readMppFile(p, options);
    };
    const auto xmlReader = [](const QString& p) { return readMspdiFile(p); };

    Total mppTotal, mppDetailsTotal, xmlTotal, pairedMpp, pairedXml;
    double worstDetails = 0;
    std::map<QString, Timing> xmlTimings;
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
        if (twins.isEmpty() || !xmlTimings.count(dir.filePath(twins.first()))) {
            std::printf("%-48s %8zu %8.0f %9.2f %9s %7s\n", qPrintable(info.fileName()), t.tasks, t.bytes / 1024.0, perTask, "-", "-");
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
    return 0;
}
