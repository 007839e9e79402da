#include "app/settings.h"

#include "platform/config.h"

namespace quorrix {

Settings::Settings()
    : store_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, config::kSettingsApplication,
                                         config::kSettingsSection)) {}

Settings::Settings(const QString& iniFile) : store_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

QString Settings::read(const QString& key, const QString& defaultText) const {
    const QVariant v = store_->value(key);
    return v.isValid() ? v.toString() : defaultText;
}

void Settings::write(const QString& key, const QString& text) {
    store_->setValue(key, text);
    store_->sync();
}

}  // namespace quorrix
