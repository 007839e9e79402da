// libFuzzer target: the MPX reader must turn any input into a plan or a one-line failure, never
// crash, hang, read out of bounds or hold far more memory than the input asks for.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "importer/plans/mpx/mpx_reader.h"
#include "platform/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    quorrix::importer::plans::ReadOptions options;
    options.details = size % 2 == 0;  // both with and without the further fields
    try {
        const auto plan = quorrix::importer::plans::readMpx(bytes, options);
        // Touch every value so that the sanitizers see any bad one.
        volatile std::size_t seen = 0;
        for (const auto& task : plan.positions) {
            if (!task) continue;
            seen = seen + static_cast<std::size_t>(task->name.size()) + task->start.isValid() + task->finish.isValid();
            if (task->details)
                seen = seen + static_cast<std::size_t>(task->details->outlineNumber.size() + task->details->notes.size() +
                                                       task->details->resourceNames.size());
        }
    } catch (const quorrix::Failure& failure) {
        if (failure.description().isEmpty() || failure.description().contains(QLatin1Char('\n'))) __builtin_trap();
    }
    return 0;
}
