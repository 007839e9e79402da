// The real message boxes, shown under the offscreen platform and answered from a timer.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "gui/qt_dialogs.h"

namespace quorrix {
namespace {

// Looks at the box once it is shown, then presses its OK button.
void whenShown(const std::function<void(QMessageBox&)>& look) {
    QTimer::singleShot(0, [look] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        look(*box);
        box->button(QMessageBox::Ok)->click();
    });
}

QString failureList(int files) {
    QString text = QStringLiteral("Done.\r\nThese files could not be imported:");
    for (int i = 1; i <= files; ++i) text += QStringLiteral("\r\n/home/ana/plans/region %1/plan %1.mpp").arg(i);
    return text;
}

TEST(QtMessageBox, TheClosingMessageStaysOnTopAndALongTextScrollsInsideTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        int files;
        bool onTop;
        bool scrolls;
    };
    for (const Case c : {Case{2, false, false}, Case{2, true, false}, Case{80, true, true}, Case{400, false, true}}) {
        SCOPED_TRACE(c.files);
        const QString text = failureList(c.files);
        QtDialogProvider dialogs;
        bool looked = false;
        whenShown([&](QMessageBox& box) {
            looked = true;
            EXPECT_EQ(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint), c.onTop);
            EXPECT_EQ(box.findChild<QScrollArea*>() != nullptr, c.scrolls);
            // The same text, whole, and the box with its button inside the screen.
            auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), withLineFeeds(text));
            EXPECT_LE(box.frameGeometry().height(), screen.height());
            QAbstractButton* ok = box.button(QMessageBox::Ok);
            EXPECT_TRUE(box.rect().contains(QRect(ok->mapTo(&box, QPoint(0, 0)), ok->size())));
        });
        const MsgAnswer answer = c.onTop ? dialogs.messageBoxOnTop(text, QStringLiteral("Quorrix"), MsgButtons::Ok,
                                                                   MsgIcon::None)
                                         : dialogs.messageBox(text, QStringLiteral("Quorrix"), MsgButtons::Ok,
                                                              MsgIcon::None);
        EXPECT_EQ(answer, MsgAnswer::Ok);
        EXPECT_TRUE(looked);
    }
}

TEST(QtFileDialog, TheGivenFilterComesFirstAndChosenThenTheFurtherOnes) {
    OpenFilesRequest request;
    request.flags = 512;
    request.title = QStringLiteral("Add File(s)");
    request.filter = QStringLiteral("MS Project Files (*.mpp)|*.mpp|");
    request.moreFilters = QStringLiteral("All Plan Files|*.mpp;*.xml|All Files|*|");
    QStringList shown;
    QString chosen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shown = dialog->nameFilters();
        chosen = dialog->selectedNameFilter();
        dialog->reject();
    });
    QtDialogProvider dialogs;
    EXPECT_TRUE(dialogs.showOpen(request).isEmpty());
    EXPECT_EQ(shown, (QStringList{"MS Project Files (*.mpp)", "All Plan Files (*.mpp *.xml)", "All Files (*)"}));
    EXPECT_EQ(chosen, QStringLiteral("MS Project Files (*.mpp)"));
}

}  // namespace
}  // namespace quorrix
