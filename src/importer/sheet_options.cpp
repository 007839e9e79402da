#include "importer/sheet_options.h"

#include <QStringList>
#include <array>

namespace quorrix::importer {
namespace {

struct OptionKey {
    const char* key;
    bool SheetOptions::*flag;
};

constexpr std::array<OptionKey, 4> kKeys{{
    {"freeze-header", &SheetOptions::freezeHeader},
    {"filter-buttons", &SheetOptions::filterButtons},
    {"group-outline", &SheetOptions::groupOutline},
    {"indent-names", &SheetOptions::indentNames},
}};

}  // namespace

TaskFieldNeed TaskFieldNeed::operator|(const TaskFieldNeed& o) const {
    return {every || o.every,         outlineLevel || o.outlineLevel, milestone || o.milestone,
            percentComplete || o.percentComplete, schedule || o.schedule, custom | o.custom};
}

TaskFieldNeed taskFieldNeed(const std::vector<Column>& columns) {
    TaskFieldNeed need;
    for (const Column& c : columns) {
        switch (c.kind()) {
        case Column::OutlineLevel: need.outlineLevel = true; break;
        case Column::Milestone: need.milestone = true; break;
        case Column::PercentComplete: need.percentComplete = true; break;
        case Column::Custom: need.custom.set(static_cast<std::size_t>(c.customSlot())); break;
        case Column::Alias: need.custom.set(); break;
        default:
            need.every = need.every || columnField(c).has_value();
            need.schedule = need.schedule || isScheduleColumn(c);
            break;
        }
    }
    return need;
}

TaskFieldNeed taskFieldNeed(const SheetOptions& options) {
    TaskFieldNeed need;
    need.outlineLevel = options.groupOutline || options.indentNames;
    return need;
}

TaskFieldNeed taskFieldNeed(const RowSelection& selection) {
    TaskFieldNeed need;
    need.milestone = selection.milestonesOnly;
    need.percentComplete = selection.unfinishedOnly;
    need.outlineLevel = selection.maxOutlineLevel > 0;
    return need;
}

plans::ReadOptions readOptionsFor(const TaskFieldNeed& need) {
    plans::ReadOptions options;
    options.details = need.any();
    if (!need.every)
        options.only = (need.outlineLevel ? plans::kOutlineLevelDetail : 0u) |
                       (need.milestone ? plans::kMilestoneDetail : 0u) |
                       (need.percentComplete ? plans::kPercentCompleteDetail : 0u);
    options.schedule = need.schedule;
    options.custom = need.custom;
    return options;
}

QString sheetOptionsText(const SheetOptions& options) {
    QStringList keys;
    for (const OptionKey& k : kKeys)
        if (options.*k.flag) keys << QLatin1String(k.key);
    return keys.join(QLatin1Char(','));
}

std::optional<SheetOptions> parseSheetOptions(const QString& text) {
    SheetOptions options;
    if (text.trimmed().isEmpty()) return options;
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QString key = item.trimmed().toLower();
        const OptionKey* found = nullptr;
        for (const OptionKey& k : kKeys)
            if (key == QLatin1String(k.key)) found = &k;
        if (!found || options.*found->flag) return std::nullopt;
        options.*found->flag = true;
    }
    return options;
}

}  // namespace quorrix::importer
