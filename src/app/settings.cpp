#include "app/settings.h"

#include <algorithm>

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

std::vector<importer::Column> Settings::columns() const {
    const QVariant v = store_->value(QStringLiteral("Columns"));
    if (!v.isValid()) return importer::defaultColumns();
    // The store reads an unquoted comma list, as a hand-edited file may hold it, as a list of texts.
    const QString text = v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                         : v.canConvert<QString>()             ? v.toString()
                                                               : QString();
    const importer::ColumnChoice choice = importer::parseColumnList(text);
    return choice.columns ? *choice.columns : importer::defaultColumns();
}

void Settings::setExtraColumns(const std::vector<importer::Column>& extras) {
    std::vector<importer::Column> chosen = importer::defaultColumns();
    for (importer::Column c : importer::extraColumns())
        if (std::find(extras.begin(), extras.end(), c) != extras.end()) chosen.push_back(c);
    if (chosen.size() == importer::defaultColumns().size()) {
        store_->remove(QStringLiteral("Columns"));
        store_->sync();
        return;
    }
    write(QStringLiteral("Columns"), importer::columnListText(chosen));
}

void Settings::write(const QString& key, const QString& text) {
    store_->setValue(key, text);
    store_->sync();
}

}  // namespace quorrix
