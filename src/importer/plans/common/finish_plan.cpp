#include "importer/plans/common/finish_plan.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace quorrix::importer::plans {

int outlineLevelOf(const std::optional<double>& stored) {
    if (!stored || std::isnan(*stored) || *stored < 1) return 1;
    if (*stored >= kMaxOutlineLevel) return kMaxOutlineLevel;
    return static_cast<int>(*stored);
}

void finishPlan(Plan& plan, const ReadOptions& options) {
    if (options.only != 0 && !options.schedule) return;
    std::vector<long> counters;
    // The outline number being written: up to kMaxOutlineLevel counters of up to 20 digits and a dot.
    char16_t number[kMaxOutlineLevel * 21];
    // A task's summary flag waits for the next task's level.
    TaskDetails* previous = nullptr;
    int previousLevel = 0;
    for (std::size_t p = 0; p < plan.positions.size(); ++p) {
        auto& task = plan.positions[p];
        if (!task || !task->details) continue;
        TaskDetails& d = *task->details;
        const int level = outlineLevelOf(d.outlineLevel);
        if (previous && !previous->summary) previous->summary = level > previousLevel;
        previous = &d;
        previousLevel = level;
        if (!d.id) d.id = static_cast<double>(p + 1);
        const auto depth = static_cast<std::size_t>(level);
        if (counters.size() < depth) {
            counters.resize(depth, 1);
            counters.back() = 0;
        } else if (counters.size() > depth) {
            counters.resize(depth);
        }
        ++counters.back();
        if (d.outlineNumber.isEmpty()) {
            char16_t* out = number;
            for (std::size_t i = 0; i < counters.size(); ++i) {
                if (i) *out++ = u'.';
                char digits[24];
                const char* end = std::to_chars(digits, digits + sizeof digits, counters[i]).ptr;
                for (const char* c = digits; c != end; ++c) *out++ = static_cast<char16_t>(*c);
            }
            const QStringView made(number, out - number);
            // A WBS code that is the outline number (most often) lends it its text.
            d.outlineNumber = d.wbs == made ? d.wbs : made.toString();
        }
        if (d.wbs.isEmpty()) d.wbs = d.outlineNumber;
    }
    if (previous && !previous->summary) previous->summary = false;
}

}  // namespace quorrix::importer::plans
