// The choice of further workbook columns: a menu on the "Import Options" frame.
#include <QAction>
#include <algorithm>
#include <QMouseEvent>

#include "app/form1.h"
#include "importer/columns.h"
#include "platform/application_title.h"

namespace quorrix {
namespace {

const QString kFrameHint = QStringLiteral("Right-click here to add more columns to the workbook.");

// Keeps the menu open while the further columns are checked one after another; the entry that
// goes back to the four closes it as usual. Only a click made in the menu counts: the release of
// the right button that opened it leaves every entry as it is.
class KeepOpenOnCheck : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* menu = qobject_cast<QMenu*>(watched);
        if (!menu) return false;
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide: pressed_ = nullptr; return false;
        case QEvent::MouseButtonPress:
            pressed_ = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            return false;
        case QEvent::MouseButtonRelease: {
            QAction* action = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            const bool clicked = action && action == pressed_;
            pressed_ = nullptr;
            if (!clicked || !action->isCheckable() || !action->isEnabled()) return false;
            action->trigger();
            return true;
        }
        default: return false;
        }
    }

private:
    QAction* pressed_ = nullptr;
};

}  // namespace

void Form1::keepOpenOnCheck(QMenu* menu) { menu->installEventFilter(new KeepOpenOnCheck(menu)); }

namespace {

// The further columns grouped as the menu offers them; each group is a submenu of no more than
// about twenty entries.
struct ColumnGroup {
    const char* title;
    std::vector<importer::Column> columns;
};

std::vector<ColumnGroup> columnGroups() {
    using C = importer::Column;
    std::vector<ColumnGroup> groups{
        {"Task",
         {C::Plan, C::Project, C::Id, C::ActivityId, C::UniqueId, C::OutlineLevel, C::OutlineNumber, C::Wbs,
          C::Milestone, C::Summary, C::Notes, C::ResourceNames, C::TaskType, C::TaskMode, C::Active, C::Estimated,
          C::Priority}},
        {"Schedule",
         {C::DurationShown, C::DurationDays, C::TotalSlack, C::FreeSlack, C::Critical, C::ConstraintType,
          C::ConstraintDate, C::Deadline, C::EarlyStart, C::EarlyFinish, C::LateStart, C::LateFinish}},
        {"Links", {C::Predecessors, C::Successors}},
        {"Baseline and Progress",
         {C::PercentComplete, C::BaselineStart, C::BaselineFinish, C::BaselineDuration, C::BaselineDurationShown,
          C::BaselineDurationDays, C::ActualStart, C::ActualFinish, C::Cost, C::Work}},
    };
    return groups;
}

// The custom fields of one kind, in runs of at most fifteen.
constexpr int kCustomRun = 15;

}  // namespace

void Form1::createColumnsMenu() {
    Frame1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Frame1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) { Frame1_ContextMenu(pos); });

    ColumnsMenu = new QMenu(this);
    ColumnsMenu->setObjectName(QStringLiteral("ColumnsMenu"));
    keepOpenOnCheck(ColumnsMenu);
    const auto addEntry = [this](QMenu* menu, const importer::Column& column, const QString& text) {
        menu->addAction(columnEntry(menu, column, text));
    };
    const auto addSubmenu = [this](QMenu* parent, const QString& title) {
        QMenu* menu = parent->addMenu(title);
        keepOpenOnCheck(menu);
        return menu;
    };
    for (const ColumnGroup& group : columnGroups()) {
        QMenu* menu = addSubmenu(ColumnsMenu, QString::fromLatin1(group.title));
        for (const importer::Column& column : group.columns) addEntry(menu, column, importer::columnHeader(column));
    }
    QMenu* custom = addSubmenu(ColumnsMenu, QStringLiteral("Custom Fields"));
    for (int k = 0; k < importer::plans::kCustomKindCount; ++k) {
        const auto kind = static_cast<importer::plans::CustomKind>(k);
        const int count = importer::plans::customFieldsOf(kind);
        const QString name = importer::plans::customKindName(kind);
        for (int first = 1; first <= count; first += kCustomRun) {
            const int last = std::min(count, first + kCustomRun - 1);
            const QString title = count <= 20 ? name
                                              : QStringLiteral("%1 %2\u2013%3").arg(name).arg(first).arg(last);
            QMenu* menu = addSubmenu(custom, title);
            for (int n = first; n <= (count <= 20 ? count : last); ++n) {
                const int slot = importer::plans::customSlot(kind, n);
                addEntry(menu, importer::Column::custom(slot), importer::plans::customFieldName(slot));
            }
            if (count <= 20) break;
        }
    }
    custom->addSeparator();
    ByNameAction = custom->addAction(QStringLiteral("By Name..."));
    ByNameAction->setObjectName(QStringLiteral("ByNameAction"));
    connect(ByNameAction, &QAction::triggered, this, [this] { chooseCustomFieldByName(); });
    ColumnsMenu->addSeparator();
    DefaultColumnsAction = ColumnsMenu->addAction(QStringLiteral("Only Task Name, Duration, Start Date, Finish Date"));
    connect(DefaultColumnsAction, &QAction::triggered, this, [this] {
        services_.settings->setExtraColumns({});
        showColumnChoice();
    });
    // Once the menu is closed, the frame's hint tells the columns the next import writes.
    connect(ColumnsMenu, &QMenu::aboutToHide, this, [this] { showColumnsInHint(); });
    showColumnsInHint();
}

void Form1::showColumnsInHint() {
    const std::vector<importer::Column> columns =
        services_.settings ? services_.settings->columns() : importer::defaultColumns();
    QStringList headers;
    for (importer::Column column : columns) headers << importer::columnHeader(column);
    Frame1->setToolTip(kFrameHint + QStringLiteral("\nThe workbook's columns: ") + headers.join(QStringLiteral(", ")) +
                       QLatin1Char('.'));
}

void Form1::Frame1_ContextMenu(const QPoint& pos) {
    // The run reads the plans for the columns it started with.
    if (!PushButton2->isEnabled()) return;
    showColumnChoice();
    ColumnsMenu->popup(Frame1->mapToGlobal(pos));
}

// Every column entry of the menu and its submenus; the sheet and row submenus hold no columns.
QList<QAction*> Form1::columnEntries() const {
    QList<QAction*> entries;
    std::vector<QMenu*> menus{ColumnsMenu};
    while (!menus.empty()) {
        QMenu* menu = menus.back();
        menus.pop_back();
        for (QAction* action : menu->actions()) {
            if (action->menu() == SheetMenu || action->menu() == RowsMenu) continue;
            if (action->menu()) menus.push_back(action->menu());
            else if (action->isCheckable()) entries << action;
        }
    }
    return entries;
}

// The entries as the settings hold the choice now.
void Form1::showColumnChoice() {
    const std::vector<importer::Column> chosen = services_.settings->columns();
    showByNameEntries(chosen);
    QStringList keys;
    for (const importer::Column& c : chosen) keys << importer::columnKey(c);
    for (QAction* action : columnEntries()) action->setChecked(keys.contains(action->data().toString()));
    DefaultColumnsAction->setEnabled(chosen != importer::defaultColumns());
    // The entry that goes back to the four closes the menu before it acts.
    if (!ColumnsMenu->isVisible()) showColumnsInHint();
}

void Form1::storeColumnChoice() {
    QStringList keys;
    for (QAction* action : columnEntries())
        if (action->isChecked()) keys << action->data().toString();
    std::vector<importer::Column> extras;
    if (!keys.isEmpty()) {
        const importer::ColumnChoice choice = importer::parseColumnList(keys.join(QLatin1Char(',')));
        if (choice.columns) extras = *choice.columns;
    }
    // The columns chosen by name keep their order: those chosen before first, as they were.
    std::vector<importer::Column> byName;
    for (const importer::Column& c : services_.settings->columns())
        if (c.kind() == importer::Column::Alias && std::find(extras.begin(), extras.end(), c) != extras.end())
            byName.push_back(c);
    for (const importer::Column& c : extras)
        if (c.kind() == importer::Column::Alias && std::find(byName.begin(), byName.end(), c) == byName.end())
            byName.push_back(c);
    std::erase_if(extras, [](const importer::Column& c) { return c.kind() == importer::Column::Alias; });
    extras.insert(extras.end(), byName.begin(), byName.end());
    services_.settings->setExtraColumns(extras);
    showColumnChoice();
}

void Form1::chooseCustomFieldByName() {
    const QString name =
        dialogs()
            .inputBox(QStringLiteral("Enter the name a plan gives a custom field (for example Region).\n\nThe column "
                                     "shows, from each plan, the custom field that plan calls by this name."),
                      applicationTitle(), QString())
            .trimmed();
    if (name.isEmpty()) return;
    // The stored choice is a list of keys separated by commas.
    if (name.contains(QLatin1Char(','))) {
        dialogs().messageBox(QStringLiteral("A name with a comma cannot be chosen: ") + name, applicationTitle(),
                             MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    std::vector<importer::Column> extras;
    const std::vector<importer::Column> chosen = services_.settings->columns();
    for (const importer::Column& c : chosen)
        if (!importer::isDefaultColumn(c)) extras.push_back(c);
    const importer::Column column = importer::Column::alias(name);
    if (std::find(extras.begin(), extras.end(), column) == extras.end()) extras.push_back(column);
    services_.settings->setExtraColumns(extras);
    showColumnChoice();
}

void Form1::showByNameEntries(const std::vector<importer::Column>& chosen) {
    QMenu* custom = qobject_cast<QMenu*>(ByNameAction->parent());
    const bool open = ColumnsMenu->isVisible();
    QStringList shown;
    for (QAction* action : custom->actions()) {
        const QString key = action->data().toString();
        if (!action->isCheckable()) continue;
        const bool kept = std::find_if(chosen.begin(), chosen.end(), [&](const importer::Column& c) {
                              return importer::columnKey(c) == key;
                          }) != chosen.end();
        // An entry unchecked in the open menu stays there, to be checked again.
        if (kept || open) {
            shown << key;
            continue;
        }
        custom->removeAction(action);
        action->deleteLater();
    }
    for (const importer::Column& c : chosen) {
        const QString key = importer::columnKey(c);
        if (c.kind() != importer::Column::Alias || shown.contains(key)) continue;
        QString text = c.aliasName();
        text.replace(QLatin1Char('&'), QLatin1String("&&"));  // no shortcut letter
        custom->insertAction(ByNameAction, columnEntry(custom, c, QStringLiteral("\u201C%1\u201D").arg(text)));
    }
}

QAction* Form1::columnEntry(QMenu* menu, const importer::Column& column, const QString& text) {
    auto* action = new QAction(text, menu);
    action->setCheckable(true);
    action->setData(importer::columnKey(column));
    connect(action, &QAction::triggered, this, [this] { storeColumnChoice(); });
    return action;
}

}  // namespace quorrix
