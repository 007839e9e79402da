// libFuzzer target: what the Project database reader's process sends back is input like any file.
// Its first byte says what was asked for (bit 0 the further fields, 1 the schedule, the others the
// kinds of custom field as mpd::Asked has them); the rest is the answer,
// which must become a plan or a one-line failure, never a crash, a hang or a read out of bounds.
// fuzz/run seeds it with the answers the reader gives for the test databases (mpd_answers).
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "importer/plans/mpd/mpd_reader.h"
#include "platform/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    quorrix::importer::plans::ReadOptions options;
    options.details = (data[0] & 1) != 0;
    options.schedule = (data[0] & 2) != 0;
    using quorrix::importer::plans::CustomKind;
    const struct {
        unsigned bit;
        CustomKind kind;
    } kinds[] = {{4, CustomKind::Text},      {8, CustomKind::Cost},  {16, CustomKind::Finish},
                 {32, CustomKind::Duration}, {64, CustomKind::Flag}, {128, CustomKind::OutlineCode}};
    for (const auto& k : kinds)
        if (data[0] & k.bit)
            options.custom.set(static_cast<std::size_t>(quorrix::importer::plans::customSlot(k.kind, 1)));
    const std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        const auto plan = quorrix::importer::plans::planFromMpdAnswer(answer, options);
        // Touch every value so that the sanitizers see any bad one.
        volatile std::size_t seen = 0;
        for (const auto& task : plan.positions) {
            if (!task) continue;
            seen = seen + static_cast<std::size_t>(task->name.size()) + task->start.isValid() + task->finish.isValid();
            if (const auto& d = task->details) {
                seen = seen + static_cast<std::size_t>(d->resourceNames.size() + d->outlineNumber.size() +
                                                       d->notes.size() + d->schedule.predecessors.size() +
                                                       d->schedule.durationShown.size());
                for (const auto& v : d->custom)
                    seen = seen + static_cast<std::size_t>(v.text.size()) + v.date.isValid();
            }
        }
    } catch (const quorrix::Failure& failure) {
        if (failure.description().isEmpty() || failure.description().contains(QLatin1Char('\n'))) __builtin_trap();
    }
    return 0;
}
