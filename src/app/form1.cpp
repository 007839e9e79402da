#include "app/form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/picture_button.h"
#include "app/startup.h"
#include "gui/file_name_delegate.h"
#include "gui/pointer_images.h"
#include "importer/application_checks.h"
#include "platform/application_title.h"
#include "platform/config.h"
#include "platform/error_trap.h"
#include "platform/failure.h"


namespace quorrix {

namespace {

const QString kListHint = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move | line to right and out of window to reveal "
    "full names.");

QFont arialBold(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

void whiteBackground(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::white);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// The stored layout text as a number. Only a plain decimal number counts, with blanks around it
// allowed: a sign, digits with an optional fraction, an optional exponent. Any other text, "inf"
// and "nan" included, fails like the runtime's conversion does.
double storedNumber(const QString& text) {
    static const QRegularExpression plain(QStringLiteral("^[+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][+-]?[0-9]+)?$"));
    const QString trimmed = text.trimmed();
    bool ok = false;
    const double n = plain.match(trimmed).hasMatch() ? trimmed.toDouble(&ok) : 0.0;
    if (!ok || !std::isfinite(n)) throw Failure(failure_number::kTypeMismatch, QStringLiteral("Type mismatch"));
    return n;
}

}  // namespace

Form1::Form1(Services services, QWidget* parent) : QWidget(parent), services_(std::move(services)) {
    if (!services_.exitProcess) {
        services_.exitProcess = [](int code) {
            std::fflush(nullptr);
            std::_Exit(code);
        };
    }
    createControls();
}

int Form1::twipsToPixelsX(int twips) const { return qRound(twips * logicalDpiX() / 1440.0); }
int Form1::twipsToPixelsY(int twips) const { return qRound(twips * logicalDpiY() / 1440.0); }

void Form1::createControls() {
    setObjectName(QStringLiteral("Form1"));
    const auto place = [this](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width), twipsToPixelsY(height));
    };
    setFixedSize(twipsToPixelsX(8040), twipsToPixelsY(6420));
    // The size is fixed: the frame offers to minimise and close the window, not to maximise it.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(arialBold(9));
    whiteBackground(this);
    setMouseTracking(true);

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(1);
    ListView1->setHeaderLabels({QString()});
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListView1->header()->setStretchLastSection(false);
    ListView1->setToolTip(kListHint);
    ListView1->setFont(arialBold(9));
    ListView1->setAcceptDrops(true);
    ListView1->viewport()->setAcceptDrops(true);
    ListView1->setDragEnabled(false);
    ListView1->setDragDropMode(QAbstractItemView::DropOnly);
    ListView1->viewport()->setMouseTracking(true);
    ListView1->setItemDelegate(new FileNameDelegate(ListView1));  // names shown as they can be read
    place(ListView1, 120, 630, 6840, 2535);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    place(ProgressBar1, 120, 5925, 7800, 375);
    setProgressText(QStringLiteral("Progress Bar"));

    const auto button = [&](QPushButton* b, const char* name, const QString& caption, int left, int top, int width,
                            int height) {
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        b->setFont(arialBold(11.25));
        b->setMouseTracking(true);
        b->installEventFilter(this);
        place(b, left, top, width, height);
        return b;
    };
    PushButton5 = button(new PictureButton(this), "PushButton5", QStringLiteral("Move Down"), 7080, 1950, 840, 1200);
    PushButton5->setIcon(arrowIcon(false));
    PushButton3 = button(new PictureButton(this), "PushButton3", QStringLiteral("Move Up"), 7080, 630, 840, 1200);
    PushButton3->setIcon(arrowIcon(true));

    Frame1 = new QGroupBox(QStringLiteral("Import Options"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    whiteBackground(Frame1);
    Frame1->setMouseTracking(true);
    Frame1->installEventFilter(this);
    place(Frame1, 120, 4230, 7800, 1050);

    Option3 = new QRadioButton(QStringLiteral("Combine all files to one new workbook (multiple sheets)"), Frame1);
    Option3->setObjectName(QStringLiteral("Option3"));
    place(Option3, 240, 650, 5295, 255);
    Option4 = new QRadioButton(QStringLiteral("Combine all files to one new sheet"), Frame1);
    Option4->setObjectName(QStringLiteral("Option4"));
    place(Option4, 240, 300, 3375, 255);
    for (QRadioButton* option : {Option3, Option4}) {
        // The two options are one exclusive group, so the keys move and select as in any group;
        // only a restore may leave both cleared (see clearOption).
        option->setAutoExclusive(true);
        QPalette pal = option->palette();
        pal.setColor(QPalette::Window, Qt::white);
        option->setPalette(pal);
        option->setMouseTracking(true);
        option->installEventFilter(this);
    }
    Option4->setChecked(true);
    connect(Option3, &QRadioButton::clicked, this, [this] { Option3_Click(); });
    connect(Option4, &QRadioButton::clicked, this, [this] { Option4_Click(); });
    createColumnsMenu();
    createSheetMenus();

    PushButton1 = button(new QPushButton(this), "PushButton1", QStringLiteral("Add Project File(s)"), 120, 3250, 3840, 405);
    PushButton4 =
        button(new QPushButton(this), "PushButton4", QStringLiteral("Add All Project Files In Folder"), 4080, 3250, 3840, 405);
    PushButton2 =
        button(new QPushButton(this), "PushButton2", QStringLiteral("Start Importing Project Files"), 120, 5400, 7800, 405);
    PushButton6 = button(new QPushButton(this), "PushButton6", QStringLiteral("Clear List"), 120, 3760, 3840, 405);
    PushButton7 =
        button(new QPushButton(this), "PushButton7", QStringLiteral("Load Sample/Example Files"), 4080, 3760, 3840, 405);
    PushButton8 = button(new QPushButton(this), "PushButton8", QStringLiteral("Help"), 120, 120, 7800, 405);

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });

    // Tab order: the list, Move Down, Move Up, the options, then the buttons below the list.
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget*> order = {ListView1,   PushButton5, PushButton3, Option3,     Option4,    PushButton1,
                                   PushButton4, PushButton2, PushButton6, PushButton7, PushButton8};
    for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);

    ListView1->installEventFilter(this);
    ListView1->viewport()->installEventFilter(this);
    connect(ListView1, &QTreeWidget::itemPressed, this, [this] { ListView1_ItemClick(); });
    installEventFilter(this);
}

// ---- Start-up -------------------------------------------------------------------------------

void Form1::Form_Load() {
    ErrorTrap trap(QStringLiteral("Form1.Form_Load"), dialogs());
    const QString handFile = installFolder() + QStringLiteral("/HAND-M.CUR");

    trap.step(102, [&] { ApplySkin(); });
    if (trap.test(104, [&] { return Main::HasFileDate(handFile); })) {
        trap.step(106, [&] { handCursor_ = loadPointerImage(handFile); });
    }
    trap.step(126, [&] { setWindowTitle(config::kProductName); });
    trap.step(126, [&] { setWindowIcon(applicationIcon()); });
    trap.step(126, [&] { Main::SetApplicationTitle(); });
    trap.step(128, [&] { ListView1->setHeaderLabels({QStringLiteral("Project File(s)")}); });
    trap.step(130, [&] { ListView1->setColumnWidth(0, twipsToPixelsX(6500)); });
    trap.step(132, [&] {
        if (services_.spreadsheet)
            IsInstalled::CheckExcelCreatable(*services_.spreadsheet, dialogs(), services_.exitProcess);
    });
    trap.step(134, [&] { Main::WaitSeconds(services_.startupWaitSeconds); });
    trap.step(136, [&] {
        if (services_.project) IsInstalled::CheckProjectInstalled(*services_.project, dialogs());
    });
    trap.step(138, [&] { restoreOption(Option4, QStringLiteral("Option4"), QStringLiteral("1")); });
    trap.step(140, [&] { restoreOption(Option3, QStringLiteral("Option3"), QStringLiteral("0")); });
}

void Form1::ApplySkin() {
    const QString skinFile = installFolder() + QStringLiteral("/x/o.cjs");
    if (!QFileInfo(skinFile).isFile()) return;

    const QColor buttonFace = palette().color(QPalette::Button);
    const auto paint = [&](QWidget* w) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, buttonFace);
        w->setPalette(pal);
        w->setAutoFillBackground(true);
    };
    paint(this);
    for (QWidget* child : findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) || qobject_cast<QGroupBox*>(child) ||
            qobject_cast<QLabel*>(child))
            paint(child);
    }

    // The skin is a style sheet: load it, then apply it to the window.
    QFile file(skinFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(failure_number::kFileNotFound, QStringLiteral("The skin file could not be read: ") + skinFile);
    const QString sheet = QString::fromUtf8(file.readAll());
    setStyleSheet(sheet);
}

void Form1::restoreOption(QRadioButton* option, const QString& key, const QString& defaultText) {
    const double n = storedNumber(services_.settings->read(key, defaultText));
    // Selecting one option clears the other; clearing one leaves the other as it is.
    if (n == 1)
        option->setChecked(true);
    else
        clearOption(option);
}

void Form1::clearOption(QRadioButton* option) {
    // The group refuses to clear its selected option, so it lets go of it for the moment.
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
}

// ---- Closing --------------------------------------------------------------------------------

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void Form1::Form_Unload() { services_.exitProcess(0); }

// ---- Pointer kinds --------------------------------------------------------------------------

void Form1::setMousePointer(int kind) {
    pointerKind_ = kind;
    if (kind == kPointerHourglass)
        setCursor(Qt::WaitCursor);
    else if (kind == kPointerCustom && handCursor_)
        setCursor(*handCursor_);
    else
        unsetCursor();
}

void Form1::hoverOverButton() {
    if (pointerKind_ != kPointerHourglass) setMousePointer(kPointerCustom);
}

void Form1::hoverOverSurface() {
    if (pointerKind_ != kPointerHourglass) setMousePointer(kPointerDefault);
}

// ---- Progress bar ---------------------------------------------------------------------------

void Form1::setProgressValue(double value) {
    progressValue_ = value;
    ProgressBar1->setValue(qBound(0, static_cast<int>(value + 0.5), 100));
}

void Form1::setProgressText(const QString& text) {
    progressText_ = text;
    // The bar would read %p, %v and %m in the text as placeholders.
    ProgressBar1->setFormat(QString(text).replace(QLatin1Char('%'), QStringLiteral("%%")));
}

// ---- Import options -------------------------------------------------------------------------

void Form1::Option3_Click() {
    Option3->setChecked(true);
    storeLayoutChoice();
}

void Form1::Option4_Click() {
    Option4->setChecked(true);
    storeLayoutChoice();
}

bool Form1::optionArrowKey(QRadioButton* focused, int key) {
    // With one option selected the group itself moves the selection with the arrow keys. With
    // both cleared (after a restore) it would only move the focus; the option the key moves to
    // is selected then too. Option4 stands above Option3.
    if (Option3->isChecked() || Option4->isChecked()) return false;
    QRadioButton* target = nullptr;
    if (key == Qt::Key_Down || key == Qt::Key_Right) target = Option3;
    if (key == Qt::Key_Up || key == Qt::Key_Left) target = Option4;
    if (!target || target == focused) return false;
    target->setFocus(target == Option3 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    target->click();
    return true;
}

void Form1::storeLayoutChoice() {
    Settings& s = *services_.settings;
    s.write(QStringLiteral("Option3"), Option3->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    s.write(QStringLiteral("Option4"), Option4->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

// ---- Events ---------------------------------------------------------------------------------

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();

    if (watched == ListView1->viewport()) {
        switch (type) {
            case QEvent::MouseMove: {
                auto* move = static_cast<QMouseEvent*>(event);
                // A release the list never saw (over a dialog, outside the window) ends the drag
                // here, so a pointer moving with no button held never reorders.
                if (DragActive && move->buttons() == Qt::NoButton) ListView1_MouseUp(Qt::NoButton);
                const QPoint pos = move->position().toPoint();
                ListView1_MouseMove(pos.x(), pos.y());
                // While a drag reorders, the list must not move its selection by itself.
                return DragActive;
            }
            case QEvent::MouseButtonPress: {
                auto* press = static_cast<QMouseEvent*>(event);
                ListView1_MouseDown(press->button());
                // A press beside the entries keeps the selection: a double-click anywhere on the
                // list acts on the selected entry.
                return ListView1->itemAt(press->position().toPoint()) == nullptr;
            }
            case QEvent::MouseButtonRelease:
                ListView1_MouseUp(static_cast<QMouseEvent*>(event)->button());
                return false;
            case QEvent::MouseButtonDblClick:
                ListView1_DblClick();
                return false;
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDropEvent*>(event);
                if (ListView1_OLEDragOver(drag->mimeData())) {
                    drag->acceptProposedAction();
                } else {
                    drag->setDropAction(Qt::IgnoreAction);
                    drag->ignore();
                }
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                if (ListView1_OLEDragOver(drop->mimeData())) {
                    drop->acceptProposedAction();
                    ListView1_OLEDragDrop(drop->mimeData());
                } else {
                    drop->ignore();
                }
                return true;
            }
            default:
                return false;
        }
    }
    if (watched == ListView1) {
        if (type == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            // Windows key codes: Delete is 46, so the period key (Qt's 46) passes as its own 190.
            const int code = key->key() == Qt::Key_Delete ? 46 : key->key() == Qt::Key_Period ? 190 : key->key();
            ListView1_KeyDown(code, key->modifiers());
        }
        return false;
    }
    if (type == QEvent::KeyPress && (watched == Option3 || watched == Option4))
        return optionArrowKey(static_cast<QRadioButton*>(watched), static_cast<QKeyEvent*>(event)->key());
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (qobject_cast<QPushButton*>(watched) && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            // Return and Enter press the focused button as Space does: down while held, a click
            // when let go, once however long the key is held.
            QKeyEvent space(type, Qt::Key_Space, key->modifiers() & ~Qt::KeypadModifier, QStringLiteral(" "),
                            key->isAutoRepeat());
            QCoreApplication::sendEvent(watched, &space);
            return true;
        }
        // Shift+F10 asks for the menu of the control that has the focus, as the Menu key does; a
        // key no control took reaches the window.
        if (watched == this && type == QEvent::KeyPress && key->key() == Qt::Key_F10 &&
            key->modifiers() == Qt::ShiftModifier) {
            QWidget* focused = QApplication::focusWidget();
            if (!focused || !isAncestorOf(focused)) focused = this;
            const QPoint at = focused->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, focused->mapToGlobal(at), Qt::NoModifier);
            QCoreApplication::sendEvent(focused, &menu);
            return true;
        }
    }
    if (type != QEvent::MouseMove) return false;

    if (qobject_cast<QPushButton*>(watched)) {
        hoverOverButton();
    } else if (watched == Frame1 || watched == Option3 || watched == Option4) {
        hoverOverSurface();
    } else if (watched == this) {
        // Moves over a child that has no rule of its own reach the window too; the rule for the
        // surface applies only where no control stands.
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (!childAt(pos)) hoverOverSurface();
    }
    return false;
}

// ---- The file list --------------------------------------------------------------------------

void Form1::AddFileEntry(const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    ListView1->addTopLevelItem(item);
}

int Form1::entryCount() const { return ListView1->topLevelItemCount(); }

QString Form1::entryText(int position) const {
    const QTreeWidgetItem* item = ListView1->topLevelItem(position - 1);
    if (!item) throw Failure(failure_number::kSubscriptOutOfRange, QStringLiteral("Index out of bounds"));
    return item->text(0);
}

QStringList Form1::entries() const {
    QStringList all;
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) all << ListView1->topLevelItem(i)->text(0);
    return all;
}

}  // namespace quorrix
