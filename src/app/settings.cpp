#include "app/settings.h"

#include <QStringList>
#include <algorithm>
#include <optional>

#include "platform/config.h"

namespace quorrix {

namespace {

// A stored value as one text; a comma list written by hand without quotes comes back as a list.
QString textOf(const QVariant& v) {
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
    return v.canConvert<QString>() ? v.toString() : QString();
}

const QString kMilestones = QStringLiteral("milestones");
const QString kUnfinished = QStringLiteral("unfinished");
const QString kMaxOutlineLevel = QStringLiteral("max-outline-level=");
const QString kNextWeeksKey = QStringLiteral("next-weeks=");

}  // namespace

std::optional<RowChoice> RowChoice::fromText(const QString& text) {
    RowChoice choice;
    if (text.trimmed().isEmpty()) return choice;
    const auto number = [](const QString& item, const QString& key) {
        bool ok = false;
        const int n = item.mid(key.size()).trimmed().toInt(&ok);
        return ok ? n : -1;
    };
    for (const QString& raw : text.split(QLatin1Char(','))) {
        const QString item = raw.trimmed().toLower();
        if (item == kMilestones && !choice.milestonesOnly) {
            choice.milestonesOnly = true;
        } else if (item == kUnfinished && !choice.unfinishedOnly) {
            choice.unfinishedOnly = true;
        } else if (item.startsWith(kMaxOutlineLevel) && choice.maxOutlineLevel == 0) {
            choice.maxOutlineLevel = number(item, kMaxOutlineLevel);
            if (choice.maxOutlineLevel < 1 || choice.maxOutlineLevel > importer::kMaxOutlineLevelChoice)
                return std::nullopt;
        } else if (item.startsWith(kNextWeeksKey) && choice.nextWeeks == 0) {
            choice.nextWeeks = number(item, kNextWeeksKey);
            if (std::find(std::begin(kNextWeeks), std::end(kNextWeeks), choice.nextWeeks) == std::end(kNextWeeks))
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return choice;
}

QString RowChoice::text() const {
    QStringList items;
    if (milestonesOnly) items << kMilestones;
    if (unfinishedOnly) items << kUnfinished;
    if (maxOutlineLevel > 0) items << kMaxOutlineLevel + QString::number(maxOutlineLevel);
    if (nextWeeks > 0) items << kNextWeeksKey + QString::number(nextWeeks);
    return items.join(QLatin1Char(','));
}

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
    const importer::ColumnChoice choice = importer::parseColumnList(textOf(v));
    return choice.columns ? *choice.columns : importer::defaultColumns();
}

void Settings::setExtraColumns(const std::vector<importer::Column>& extras) {
    std::vector<importer::Column> chosen = importer::defaultColumns();
    for (const importer::Column& c : importer::extraColumns())
        if (std::find(extras.begin(), extras.end(), c) != extras.end()) chosen.push_back(c);
    // The columns of custom fields chosen by name follow, in the order given.
    for (const importer::Column& c : extras)
        if (std::find(chosen.begin(), chosen.end(), c) == chosen.end()) chosen.push_back(c);
    if (chosen.size() == importer::defaultColumns().size()) {
        store_->remove(QStringLiteral("Columns"));
        store_->sync();
        return;
    }
    write(QStringLiteral("Columns"), importer::columnListText(chosen));
}


importer::RowSelection RowChoice::selectionOn(const QDate& today) const {
    importer::RowSelection selection;
    selection.milestonesOnly = milestonesOnly;
    selection.unfinishedOnly = unfinishedOnly;
    selection.maxOutlineLevel = maxOutlineLevel;
    if (nextWeeks > 0) {
        selection.activeFrom = today;
        selection.activeTo = today.addDays(7 * nextWeeks - 1);
    }
    return selection;
}

importer::SheetOptions Settings::sheetOptions() const {
    const QVariant v = store_->value(QStringLiteral("Sheet"));
    return v.isValid() ? importer::parseSheetOptions(textOf(v)).value_or(importer::SheetOptions{})
                       : importer::SheetOptions{};
}

void Settings::setSheetOptions(const importer::SheetOptions& options) {
    writeOrRemove(QStringLiteral("Sheet"), importer::sheetOptionsText(options));
}

RowChoice Settings::rowChoice() const {
    const QVariant v = store_->value(QStringLiteral("Rows"));
    return v.isValid() ? RowChoice::fromText(textOf(v)).value_or(RowChoice{}) : RowChoice{};
}

void Settings::setRowChoice(const RowChoice& choice) {
    writeOrRemove(QStringLiteral("Rows"), choice.text());
}

void Settings::writeOrRemove(const QString& key, const QString& text) {
    if (!text.isEmpty()) return write(key, text);
    store_->remove(key);
    store_->sync();
}

void Settings::write(const QString& key, const QString& text) {
    store_->setValue(key, text);
    store_->sync();
}

}  // namespace quorrix
