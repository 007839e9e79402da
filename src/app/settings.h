#pragma once

#include <QSettings>
#include <QString>
#include <memory>

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

    QString fileName() const { return store_->fileName(); }

private:
    std::unique_ptr<QSettings> store_;
};

}  // namespace quorrix
