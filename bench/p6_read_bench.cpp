// Reads one plan file the way the import does (the dispatcher, by content) and reports its rows,
// the wall time and the processor time (user and system) of the read, the file's bytes included,
// and the process's peak memory before and after. Run once per file and process, so that each
// peak is that file's own (bench/run_p6). On a machine shared with other work the wall time
// includes the waits for a processor; the processor time does not.
//
//   p6_read_bench FILE [--every]
//
// --every asks for every further field, the schedule and custom fields included, as a workbook with
// all columns does.
#include <sys/resource.h>

#include <QFileInfo>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "importer/plans/plan_reader.h"
#include "platform/failure.h"

namespace {

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: p6_read_bench FILE [--every]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    quorrix::importer::plans::ReadOptions options;
    options.details = argc > 2 && std::strcmp(argv[2], "--every") == 0;
    options.schedule = options.details;  // and the schedule and custom fields, as every column asks
    if (options.details) options.custom.set();
    const long before = peakKilobytes();
    const double processorStart = processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    quorrix::importer::plans::Plan plan;
    try {
        plan = quorrix::importer::plans::readPlanFile(path, options);
    } catch (const quorrix::Failure& f) {
        std::fprintf(stderr, "%s: %s\n", argv[1], f.what());
        return 1;
    }
    // The plan is let go after the clock stops, as the import lets it go after writing its rows.
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double processor = processorSeconds() - processorStart;
    const std::size_t rows = plan.positions.size();
    // rows, wall seconds, peak KB of the process, peak KB before the read, file bytes, processor seconds
    std::printf("%zu %.3f %ld %ld %lld %.3f\n", rows, seconds, peakKilobytes(), before,
                static_cast<long long>(QFileInfo(path).size()), processor);
    return 0;
}
