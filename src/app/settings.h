#pragma once

#include <QSettings>
#include <QString>
#include <memory>
#include <vector>

#include "importer/columns.h"

namespace quorrix {

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

    QString fileName() const { return store_->fileName(); }

private:
    std::unique_ptr<QSettings> store_;
};

}  // namespace quorrix
