// libFuzzer target for the P6 readers, XER and P6 XML, chosen by the input's first bytes as the
// dispatcher's row chooses them (readP6): any input gives a plan or a one-line failure, never a
// crash, a hang, a read out of bounds or far more memory than the input asks for.
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "importer/plans/p6/p6_reader.h"
#include "platform/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    quorrix::importer::plans::ReadOptions options;
    // Both with and without the further fields, which bring the schedule and custom fields.
    options.details = options.schedule = size % 2 == 0;
    if (options.details) options.custom.set();
    try {
        using namespace quorrix::importer::plans;
        const Plan plan = readP6(std::move(bytes), options);
        // Touch every value so that the sanitizers see any bad one.
        volatile std::size_t seen = 0;
        for (const auto& task : plan.positions) {
            if (!task) continue;
            seen = seen + static_cast<std::size_t>(task->name.size()) + task->start.isValid() + task->finish.isValid();
            if (const auto& d = task->details) {
                seen = seen + static_cast<std::size_t>(d->outlineNumber.size() + d->wbs.size() + d->notes.size() +
                                                       d->resourceNames.size() + d->schedule.predecessors.size() +
                                                       d->schedule.successors.size());
                for (const auto& v : d->custom) seen = seen + static_cast<std::size_t>(v.text.size()) + v.slot;
            }
        }
    } catch (const quorrix::Failure& failure) {
        if (failure.description().isEmpty() || failure.description().contains(QLatin1Char('\n'))) __builtin_trap();
    }
    return 0;
}
