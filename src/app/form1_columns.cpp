// The choice of further workbook columns: a menu on the "Import Options" frame.
#include <QAction>
#include <QMouseEvent>

#include "app/form1.h"
#include "importer/columns.h"

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

void Form1::createColumnsMenu() {
    Frame1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Frame1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) { Frame1_ContextMenu(pos); });

    ColumnsMenu = new QMenu(this);
    ColumnsMenu->setObjectName(QStringLiteral("ColumnsMenu"));
    keepOpenOnCheck(ColumnsMenu);
    for (importer::Column column : importer::extraColumns()) {
        QAction* action = ColumnsMenu->addAction(importer::columnHeader(column));
        action->setCheckable(true);
        action->setData(static_cast<int>(column));
        connect(action, &QAction::triggered, this, [this] { storeColumnChoice(); });
    }
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

// The entries as the settings hold the choice now.
void Form1::showColumnChoice() {
    const std::vector<importer::Column> chosen = services_.settings->columns();
    for (QAction* action : ColumnsMenu->actions()) {
        if (!action->isCheckable()) continue;
        const auto column = static_cast<importer::Column>(action->data().toInt());
        action->setChecked(std::find(chosen.begin(), chosen.end(), column) != chosen.end());
    }
    DefaultColumnsAction->setEnabled(chosen != importer::defaultColumns());
    // The entry that goes back to the four closes the menu before it acts.
    if (!ColumnsMenu->isVisible()) showColumnsInHint();
}

void Form1::storeColumnChoice() {
    std::vector<importer::Column> extras;
    for (QAction* action : ColumnsMenu->actions())
        if (action->isCheckable() && action->isChecked())
            extras.push_back(static_cast<importer::Column>(action->data().toInt()));
    services_.settings->setExtraColumns(extras);
    showColumnChoice();
}

}  // namespace quorrix
