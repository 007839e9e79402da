// Reads one plan file the way the import does (the dispatcher, by content) and reports its rows,
// the wall time of the read (the file's bytes included) and the process's peak memory before and
// after. Run once per file and process, so that each peak is that file's own (bench/run_p6).
//
//   p6_read_bench FILE [--every]
//
// --every asks for every further field, as a workbook with all columns does.
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: p6_read_bench FILE [--every]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    quorrix::importer::plans::ReadOptions options;
    options.details = argc > 2 && std::strcmp(argv[2], "--every") == 0;
    const long before = peakKilobytes();
    const auto start = std::chrono::steady_clock::now();
    std::size_t rows = 0;
    try {
        rows = quorrix::importer::plans::readPlanFile(path, options).positions.size();
    } catch (const quorrix::Failure& f) {
        std::fprintf(stderr, "%s: %s\n", argv[1], f.what());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // rows, seconds, peak KB of the process, peak KB before the read, file bytes
    std::printf("%zu %.3f %ld %ld %lld\n", rows, seconds, peakKilobytes(), before,
                static_cast<long long>(QFileInfo(path).size()));
    return 0;
}
