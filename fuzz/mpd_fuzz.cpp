// libFuzzer target: the Project database reader must turn any input into a plan or a one-line
// failure, never crash, hang or read out of bounds. The programs run libmdb in a process of its
// own; here it reads in this process (uninstrumented), so that the fuzzer sees the answer it gives
// go through the checks and the plan's making. libmdb reads files, so every input is written to
// a file of this process first.
#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "importer/plans/mpd/mpd_protocol.h"
#include "importer/plans/mpd/mpd_reader.h"
#include "mpdreader/mpd_dump.h"
#include "platform/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path = QDir::temp().filePath(QStringLiteral("mpd_fuzz_%1.mpd").arg(getpid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) __builtin_trap();
        if (file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
            __builtin_trap();
    }
    using namespace quorrix::importer::plans;
    // The reader's process gets only databases whose header passed the checks.
    const QByteArray head(reinterpret_cast<const char*>(data), static_cast<qsizetype>(std::min<size_t>(size, 32)));
    if (!isJetDatabase(head)) return 0;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) __builtin_trap();
    mpd::AnswerWriter answer;
    answer.header();
    quorrix::mpdreader::dumpDatabase(fd, mpd::kAskAll, answer);
    ::close(fd);
    try {
        ReadOptions options{true};
        options.schedule = true;
        options.custom.set();
        const Plan plan = planFromMpdAnswer(answer.pending(), options);
        // Touch every value so that the sanitizers see any bad one.
        volatile std::size_t seen = 0;
        for (const auto& task : plan.positions) {
            if (!task) continue;
            seen = seen + static_cast<std::size_t>(task->name.size()) + task->start.isValid() + task->finish.isValid();
            if (task->details)
                seen = seen + static_cast<std::size_t>(task->details->resourceNames.size() + task->details->notes.size());
        }
    } catch (const quorrix::Failure& failure) {
        if (failure.description().isEmpty() || failure.description().contains(QLatin1Char('\n'))) __builtin_trap();
    }
    return 0;
}
