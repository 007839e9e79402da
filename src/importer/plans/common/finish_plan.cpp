#include "importer/plans/common/finish_plan.h"

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace quorrix::importer::plans {

int outlineLevelOf(const std::optional<double>& stored) {
    if (!stored || std::isnan(*stored) || *stored < 1) return 1;
    if (*stored >= kMaxOutlineLevel) return kMaxOutlineLevel;
    return static_cast<int>(*stored);
}

void finishPlan(Plan& plan, const ReadOptions& options) {
    if (options.only != 0 && !options.schedule) return;
    struct Place {
        TaskDetails* details;
        std::size_t id;
        int level;
    };
    std::vector<Place> tasks;
    for (std::size_t p = 0; p < plan.positions.size(); ++p) {
        auto& task = plan.positions[p];
        if (task && task->details)
            tasks.push_back({task->details.get(), p + 1, outlineLevelOf(task->details->outlineLevel)});
    }

    std::vector<long> counters;
    std::string number;
    for (std::size_t k = 0; k < tasks.size(); ++k) {
        TaskDetails& d = *tasks[k].details;
        const auto level = static_cast<std::size_t>(tasks[k].level);
        if (!d.id) d.id = static_cast<double>(tasks[k].id);
        if (counters.size() < level) {
            counters.resize(level, 1);
            counters.back() = 0;
        }
        counters.resize(level);
        ++counters.back();
        if (d.outlineNumber.isEmpty()) {
            number.clear();
            for (std::size_t i = 0; i < counters.size(); ++i) {
                if (i) number += '.';
                char digits[24];
                const auto written = std::to_chars(digits, digits + sizeof digits, counters[i]);
                number.append(digits, written.ptr);
            }
            d.outlineNumber = QString::fromLatin1(number.data(), static_cast<qsizetype>(number.size()));
        }
        if (d.wbs.isEmpty()) d.wbs = d.outlineNumber;
        if (!d.summary) d.summary = k + 1 < tasks.size() && tasks[k + 1].level > tasks[k].level;
    }
}

}  // namespace quorrix::importer::plans
