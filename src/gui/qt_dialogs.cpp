#include "gui/qt_dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QUrl>

#include "platform/open_files_text.h"

namespace quorrix {

QString toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << (description.contains(QLatin1Char('(')) ? description
                                                           : description + QStringLiteral(" (") + patterns + ')');
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {

// Asks the desktop for the user's attention whenever the box is shown or loses the focus while it
// is not the active window: another program's window has come up over the rest of the desktop.
class AttentionWhenHidden : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::WindowDeactivate)
            QApplication::alert(static_cast<QWidget*>(watched));
        return false;
    }
};

// A text taller than half the screen is shown in a scrolling area of that height in place of the
// box's own label, so that the box and its buttons always fit on the screen. The text stays the
// same label, selectable as in any box.
void fitToScreen(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    const QScreen* screen = box.screen();
    if (!label || !grid || !screen) return;
    const QRect available = screen->availableGeometry();
    const int limit = available.height() / 2;
    // The box wraps long lines at about half the screen's width; either way the text must fit.
    const QSize natural = label->sizeHint();
    label->setWordWrap(true);
    const int wrapped = label->heightForWidth(qMin(available.width() / 2, 500));
    label->setWordWrap(false);
    if (qMax(natural.height(), wrapped) <= limit) return;

    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("MessageScrollArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->viewport()->setAutoFillBackground(false);
    delete grid->replaceWidget(label, area);
    area->setWidget(label);
    label->setAutoFillBackground(false);
    const int bar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
    area->setMinimumSize(qMin(natural.width() + bar, available.width() * 3 / 4), limit);
}

}  // namespace

MsgAnswer QtDialogProvider::messageBox(const QString& text, const QString& title, MsgButtons buttons,
                                       MsgIcon icon) {
    return showMessage(text, title, buttons, icon, false);
}

MsgAnswer QtDialogProvider::messageBoxOnTop(const QString& text, const QString& title, MsgButtons buttons,
                                            MsgIcon icon) {
    return showMessage(text, title, buttons, icon, true);
}

MsgAnswer QtDialogProvider::showMessage(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon,
                                        bool onTop) {
    QMessageBox box(owner_);
    box.setWindowTitle(title);
    box.setText(withLineFeeds(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(icon == MsgIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (onTop) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.installEventFilter(new AttentionWhenHidden(&box));
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    fitToScreen(box);
    const int answer = box.exec();
    if (buttons == MsgButtons::YesNo) return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    return MsgAnswer::Ok;
}

QString QtDialogProvider::inputBox(const QString& prompt, const QString& title, const QString& proposed) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(owner_, title, withLineFeeds(prompt), QLineEdit::Normal, proposed, &ok);
    return ok ? answer : QString();
}

QString QtDialogProvider::showOpen(const OpenFilesRequest& request) {
    QFileDialog dialog(owner_, request.title);
    dialog.setFileMode((request.flags & 512) ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList filters = toQtFilter(request.filter + request.moreFilters).split(QStringLiteral(";;"));
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.constFirst());
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted) return {};
    return openFilesText(dialog.selectedFiles());
}

QString QtDialogProvider::pickFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(owner_, title, QString(), QFileDialog::ShowDirsOnly);
}

bool QtDialogProvider::openWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace quorrix
