// The Project XML reader's own cost per task, split into parsing and extracting: each plan is
// held in memory, parsed alone with the reader's pugixml options, and read in full (the four
// fields, and with every further field); extracting is the difference. Processor time of this
// thread, the median of several rounds over all plans, so that the figures stay steady on a
// machine shared with other work.
//
//   xml_read_bench FOLDER [--rounds N] [--once parse|four|every|none]
//
// --once parses or reads every plan once in the one way and prints nothing but the task count:
// for counting instructions under callgrind (the plans are read once beforehand to count them;
// "none" does only that, to be subtracted).
#include <QDirIterator>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <pugixml.hpp>
#include <vector>

#include "importer/plans/xml/mspdi_reader.h"
#include "platform/failure.h"

using namespace quorrix::importer::plans;

namespace {

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// What the reader does before it looks at a task: a copy into a buffer the document owns, and the parse.
std::size_t parseOnly(const QByteArray& bytes) {
    void* buffer = pugi::get_memory_allocation_function()(static_cast<std::size_t>(bytes.size()));
    std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    pugi::xml_document document;
    const pugi::xml_parse_result result =
        document.load_buffer_inplace_own(buffer, static_cast<std::size_t>(bytes.size()), kMspdiParseOptions);
    return result ? 1 : 0;
}

std::size_t readAll(const QByteArray& bytes, bool details) {
    ReadOptions options;
    options.details = details;
    return readMspdi(bytes, options).positions.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: xml_read_bench FOLDER [--rounds N] [--once]\n");
        return 2;
    }
    int rounds = 9;
    const char* once = nullptr;
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--once") == 0) once = argv[++i];
    }
    std::vector<QByteArray> plans;
    QDirIterator it(QString::fromLocal8Bit(argv[1]), {QStringLiteral("*.xml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    QStringList paths;
    while (it.hasNext()) paths << it.next();
    paths.sort();
    std::size_t tasks = 0;
    qint64 bytes = 0;
    for (const QString& path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        QByteArray content = file.readAll();
        try {
            tasks += readAll(content, false);
        } catch (const quorrix::Failure& f) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), f.what());
            continue;
        }
        bytes += content.size();
        plans.push_back(std::move(content));
    }
    if (plans.empty()) {
        std::fprintf(stderr, "no readable plans in %s\n", argv[1]);
        return 2;
    }
    if (once) {
        std::size_t n = 0;
        for (const QByteArray& p : plans) {
            if (std::strcmp(once, "parse") == 0) n += parseOnly(p);
            else if (std::strcmp(once, "four") == 0 || std::strcmp(once, "every") == 0)
                n += readAll(p, std::strcmp(once, "every") == 0);
        }
        std::printf("%zu tasks, %zu\n", tasks, n);
        return 0;
    }

    std::vector<double> parse, read, details;
    std::size_t sink = 0;
    for (int r = 0; r < rounds; ++r) {
        double t = threadSeconds();
        for (const QByteArray& p : plans) sink += parseOnly(p);
        double now = threadSeconds();
        parse.push_back(now - t);
        t = now;
        for (const QByteArray& p : plans) sink += readAll(p, false);
        now = threadSeconds();
        read.push_back(now - t);
        t = now;
        for (const QByteArray& p : plans) sink += readAll(p, true);
        now = threadSeconds();
        details.push_back(now - t);
    }
    const double perTask = 1e6 / double(std::max<std::size_t>(tasks, 1));
    const double p = median(parse) * perTask, r = median(read) * perTask, d = median(details) * perTask;
    std::printf("%zu plans, %zu task positions, %.1f MB; medians of %d rounds, processor time of this thread\n",
                plans.size(), tasks, bytes / 1e6, rounds);
    std::printf("%-34s %9.3f us/task\n", "parse (copy + pugixml)", p);
    std::printf("%-34s %9.3f us/task\n", "extract, four fields", r - p);
    std::printf("%-34s %9.3f us/task\n", "read, four fields", r);
    std::printf("%-34s %9.3f us/task\n", "extract, every field", d - p);
    std::printf("%-34s %9.3f us/task  (%.2f x four fields)\n", "read, every field", d, d / r);
    return sink == 0 ? 1 : 0;
}
