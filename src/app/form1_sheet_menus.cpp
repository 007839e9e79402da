// The sheet options and the choice of tasks: two submenus of the "Import Options" frame's menu.
#include <QAction>
#include <QActionGroup>
#include <QStringList>

#include "app/form1.h"

namespace quorrix {
namespace {

struct Entry {
    const char* key;
    const char* caption;
};

constexpr Entry kSheetEntries[] = {
    {"freeze-header", "Freeze Header Row"},
    {"filter-buttons", "Filter Buttons"},
    {"group-outline", "Group Rows by Outline"},
    {"indent-names", "Indent Names by Outline Level"},
};

QAction* addCheckable(QMenu* menu, const QString& caption, const QString& key) {
    QAction* action = menu->addAction(caption);
    action->setCheckable(true);
    action->setData(key);
    return action;
}

// A submenu whose entries exclude one another; a click on the checked one clears it.
QMenu* addChoiceMenu(QMenu* parent, const QString& title, const QList<std::pair<QString, QString>>& entries) {
    QMenu* menu = parent->addMenu(title);
    auto* group = new QActionGroup(menu);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const auto& [caption, key] : entries) group->addAction(addCheckable(menu, caption, key));
    return menu;
}

// The keys of the checked entries of a menu and its submenus, comma-separated.
QString checkedKeys(const QMenu* menu) {
    QStringList keys;
    for (const QAction* action : menu->actions()) {
        if (action->menu()) {
            const QString inner = checkedKeys(action->menu());
            if (!inner.isEmpty()) keys << inner;
        } else if (action->isCheckable() && action->isChecked() && !action->data().toString().isEmpty()) {
            keys << action->data().toString();
        }
    }
    return keys.join(QLatin1Char(','));
}

// Checks exactly the entries of a menu and its submenus whose keys are listed.
void checkKeys(QMenu* menu, const QStringList& keys) {
    for (QAction* action : menu->actions()) {
        if (action->menu())
            checkKeys(action->menu(), keys);
        else if (action->isCheckable() && !action->data().toString().isEmpty())
            action->setChecked(keys.contains(action->data().toString()));
    }
}

}  // namespace

void Form1::createSheetMenus() {
    Frame1->setToolTip(QStringLiteral("Right-click here for more columns, the sheet options and the choice of tasks."));

    SheetMenu = new QMenu(QStringLiteral("Sheet"), ColumnsMenu);
    SheetMenu->setObjectName(QStringLiteral("SheetMenu"));
    for (const Entry& e : kSheetEntries) {
        QAction* action = addCheckable(SheetMenu, QString::fromLatin1(e.caption), QString::fromLatin1(e.key));
        connect(action, &QAction::triggered, this, [this] { storeSheetChoice(); });
    }

    RowsMenu = new QMenu(QStringLiteral("Rows"), ColumnsMenu);
    RowsMenu->setObjectName(QStringLiteral("RowsMenu"));
    AllTasksAction = RowsMenu->addAction(QStringLiteral("All Tasks"));
    AllTasksAction->setCheckable(true);
    connect(AllTasksAction, &QAction::triggered, this, [this] {
        services_.settings->setRowChoice({});
        showSheetChoice();
    });
    RowsMenu->addSeparator();
    addCheckable(RowsMenu, QStringLiteral("Milestones Only"), QStringLiteral("milestones"));
    addCheckable(RowsMenu, QStringLiteral("Unfinished Tasks Only"), QStringLiteral("unfinished"));
    QList<std::pair<QString, QString>> levels;
    for (int n = 1; n <= importer::kMaxOutlineLevelChoice; ++n)
        levels.append({QString::number(n), QStringLiteral("max-outline-level=%1").arg(n)});
    QMenu* levelMenu = addChoiceMenu(RowsMenu, QStringLiteral("Up to Outline Level"), levels);
    QList<std::pair<QString, QString>> weeks;
    for (int n : kNextWeeks)
        weeks.append({n == 1 ? QStringLiteral("1 Week from Today") : QStringLiteral("%1 Weeks from Today").arg(n),
                      QStringLiteral("next-weeks=%1").arg(n)});
    QMenu* weekMenu = addChoiceMenu(RowsMenu, QStringLiteral("Active in the Next"), weeks);
    for (QMenu* menu : {RowsMenu, levelMenu, weekMenu})
        for (QAction* action : menu->actions())
            if (action != AllTasksAction && action->isCheckable())
                connect(action, &QAction::triggered, this, [this] {
                    // The entries are read as one list of keys, the form the settings keep.
                    services_.settings->setRowChoice(RowChoice::fromText(checkedKeys(RowsMenu)).value_or(RowChoice{}));
                    showSheetChoice();
                });
    for (QMenu* menu : {SheetMenu, RowsMenu, levelMenu, weekMenu}) keepOpenOnCheck(menu);

    // Apart from the columns, before the entry that goes back to the four.
    const QList<QAction*> actions = ColumnsMenu->actions();
    const qsizetype at = actions.indexOf(DefaultColumnsAction);
    QAction* before = at > 0 && actions[at - 1]->isSeparator() ? actions[at - 1] : DefaultColumnsAction;
    ColumnsMenu->insertSeparator(before);
    ColumnsMenu->insertMenu(before, SheetMenu);
    ColumnsMenu->insertMenu(before, RowsMenu);
    // The entries show the settings as they are whenever the menu opens.
    connect(ColumnsMenu, &QMenu::aboutToShow, this, [this] { showSheetChoice(); });
}

void Form1::showSheetChoice() {
    checkKeys(SheetMenu, importer::sheetOptionsText(services_.settings->sheetOptions()).split(QLatin1Char(',')));
    const RowChoice rows = services_.settings->rowChoice();
    checkKeys(RowsMenu, rows.text().split(QLatin1Char(',')));
    AllTasksAction->setChecked(rows == RowChoice{});
}

void Form1::storeSheetChoice() {
    services_.settings->setSheetOptions(importer::parseSheetOptions(checkedKeys(SheetMenu)).value_or(importer::SheetOptions{}));
    showSheetChoice();
}

}  // namespace quorrix
