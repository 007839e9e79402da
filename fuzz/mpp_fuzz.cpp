// libFuzzer target: the .mpp reader must turn any input into a plan or a one-line failure,
// never crash, hang, read out of bounds or allocate beyond the input's size.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "importer/plans/mpp/mpp_reader.h"
#include "platform/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        // Every field asked for: the schedule and custom fields have readers of their own.
        quorrix::importer::plans::ReadOptions every;
        every.details = every.schedule = true;
        every.custom.set();
        const auto plan =
            quorrix::importer::plans::readMpp(bytes, size % 2 ? every : quorrix::importer::plans::ReadOptions{});
        // Touch every value so that the sanitizers see any bad one.
        volatile std::size_t seen = 0;
        for (const auto& task : plan.positions) {
            if (!task) continue;
            seen = seen + static_cast<std::size_t>(task->name.size()) + task->start.isValid() + task->finish.isValid();
            if (!task->details) continue;
            const auto& s = task->details->schedule;
            seen = seen + static_cast<std::size_t>(s.predecessors.size() + s.successors.size() + s.durationShown.size());
            for (const auto& v : task->details->custom) seen = seen + static_cast<std::size_t>(v.text.size()) + v.slot;
        }
    } catch (const quorrix::Failure& failure) {
        if (failure.description().isEmpty() || failure.description().contains(QLatin1Char('\n'))) __builtin_trap();
    }
    return 0;
}
