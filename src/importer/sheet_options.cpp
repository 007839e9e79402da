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

bool needsTaskFields(const SheetOptions& options) { return options.groupOutline || options.indentNames; }

bool needsTaskFields(const RowSelection& selection) {
    return selection.milestonesOnly || selection.unfinishedOnly || selection.maxOutlineLevel > 0;
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
