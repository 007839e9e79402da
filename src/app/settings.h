#pragma once

#include <QDate>
#include <QSettings>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "importer/columns.h"
#include "importer/sheet_options.h"

namespace quorrix {

// The tasks the window imports: the selections of the import run, with the window of days given
// as weeks from the day an import starts.
struct RowChoice {
    bool milestonesOnly = false;
    bool unfinishedOnly = false;
    int maxOutlineLevel = 0;  // 1 to 9; 0 for every level
    int nextWeeks = 0;        // one of kNextWeeks: tasks active from that day for as many weeks; 0: any time
    friend bool operator==(const RowChoice&, const RowChoice&) = default;

    // The selection of an import that starts on `today`.
    importer::RowSelection selectionOn(const QDate& today) const;

    // As comma-separated keys: "milestones,unfinished,max-outline-level=N,next-weeks=N", each
    // chosen one in this order; empty for every task.
    QString text() const;
    // Keys in any order and letter case; nothing for an unknown key, a number out of range, an
    // empty item or a key given twice. An empty text is every task.
    static std::optional<RowChoice> fromText(const QString& text);
};
inline constexpr int kNextWeeks[] = {1, 2, 4, 8};

// The per-user settings store (application "Veltrano", section "Quorrix"): an INI file under
// the user's config folder. Every read and write of a stored value passes through here.
class Settings {
public:
    // The user's own store.
    Settings();
    // A store kept in the given INI file (tests, never the user's real settings).
    explicit Settings(const QString& iniFile);

    // The stored text, or the default when the key is absent.
    QString read(const QString& key, const QString& defaultText) const;
    // Creates or replaces the value and writes it through at once.
    void write(const QString& key, const QString& text);

    // The workbook's columns, kept under "Columns" as comma-separated keys. An absent value, or
    // one that cannot be read as a column list, gives the default four.
    std::vector<importer::Column> columns() const;
    // Keeps the default four followed by the given further columns in list order; with none,
    // the value is removed and the workbook is the default one again.
    void setExtraColumns(const std::vector<importer::Column>& extras);
    // The sheet options, kept under "Sheet" as comma-separated keys ("freeze-header,filter-buttons,
    // group-outline,indent-names"); none removes the value. An absent or unreadable value gives none.
    importer::SheetOptions sheetOptions() const;
    void setSheetOptions(const importer::SheetOptions& options);
    // The tasks to import, kept under "Rows" as comma-separated keys ("milestones,unfinished,
    // max-outline-level=N,next-weeks=N"); every task removes the value. An absent or unreadable
    // value gives every task.
    RowChoice rowChoice() const;
    void setRowChoice(const RowChoice& choice);

    QString fileName() const { return store_->fileName(); }

private:
    std::unique_ptr<QSettings> store_;
    void writeOrRemove(const QString& key, const QString& text);
};

}  // namespace quorrix
