#include <QApplication>
#include <QFontInfo>
#include <QHeaderView>
#include <QMouseEvent>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "platform/application_title.h"
#include "support/form_fixture.h"

namespace quorrix {
namespace {

using testing::FormFixture;

class Form1Test : public FormFixture {
protected:
    void moveOver(QWidget* w) {
        const QPoint centre = w->rect().center();
        QMouseEvent move(QEvent::MouseMove, centre, w->mapToGlobal(centre), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &move);
    }
};

TEST_F(Form1Test, ControlsStandWhereTheTableOfTwipsPutsThem) {
    Form1& f = makeForm();
    f.Form_Load();
    const auto px = [&](int twips) { return qRound(twips * f.logicalDpiX() / 1440.0); };
    const auto py = [&](int twips) { return qRound(twips * f.logicalDpiY() / 1440.0); };
    struct Row {
        QWidget* w;
        QString caption;
        int left, top, width, height;
    };
    const std::vector<Row> table = {
        {f.PushButton5, "Move Down", 7080, 1950, 840, 1200},
        {f.PushButton3, "Move Up", 7080, 630, 840, 1200},
        {f.Option3, "Combine all files to one new workbook (multiple sheets)", 240, 650, 5295, 255},
        {f.Option4, "Combine all files to one new sheet", 240, 300, 3375, 255},
        {f.PushButton1, "Add Project File(s)", 120, 3250, 3840, 405},
        {f.PushButton4, "Add All Project Files In Folder", 4080, 3250, 3840, 405},
        {f.PushButton2, "Start Importing Project Files", 120, 5400, 7800, 405},
        {f.PushButton6, "Clear List", 120, 3760, 3840, 405},
        {f.PushButton7, "Load Sample/Example Files", 4080, 3760, 3840, 405},
        {f.PushButton8, "Help", 120, 120, 7800, 405},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.caption.toStdString());
        EXPECT_EQ(r.w->geometry(), QRect(px(r.left), py(r.top), px(r.width), py(r.height)));
        const auto* button = qobject_cast<QAbstractButton*>(r.w);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), r.caption);
    }
    EXPECT_EQ(f.ListView1->geometry(), QRect(px(120), py(630), px(6840), py(2535)));
    EXPECT_EQ(f.ProgressBar1->geometry(), QRect(px(120), py(5925), px(7800), py(375)));
    EXPECT_EQ(f.Frame1->geometry(), QRect(px(120), py(4230), px(7800), py(1050)));
    EXPECT_EQ(f.Frame1->title(), QStringLiteral("Import Options"));
    EXPECT_EQ(f.size(), QSize(px(8040), py(6420)));
    // A fixed size: minimise and close, no maximise.
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_FALSE(f.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(f.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(f.windowFlags().testFlag(Qt::WindowCloseButtonHint));

    EXPECT_EQ(f.windowTitle(), QStringLiteral("Quorrix"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("Quorrix"));
    EXPECT_EQ(f.ListView1->headerItem()->text(0), QStringLiteral("Project File(s)"));
    EXPECT_EQ(f.ListView1->columnWidth(0), px(6500));
    EXPECT_EQ(f.ListView1->toolTip(),
              QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line to right and out "
                             "of window to reveal full names."));
    EXPECT_EQ(f.progressText(), QStringLiteral("Progress Bar"));
    EXPECT_FALSE(f.PushButton3->icon().isNull());
    EXPECT_FALSE(f.PushButton5->icon().isNull());

    EXPECT_TRUE(f.PushButton1->font().bold());
    EXPECT_DOUBLE_EQ(f.PushButton1->font().pointSizeF(), 11.25);
    EXPECT_DOUBLE_EQ(f.ListView1->font().pointSizeF(), 9.0);
    EXPECT_EQ(f.ListView1->font().family(), QStringLiteral("Arial"));
    // Where Arial is missing, its metric twin stands in.
    const QString shown = QFontInfo(f.PushButton1->font()).family();
    EXPECT_TRUE(shown == QStringLiteral("Arial") || shown == QStringLiteral("Liberation Sans")) << shown.toStdString();
    EXPECT_EQ(f.palette().color(QPalette::Window), QColor(Qt::white));

    // Tab order from the list on.
    const QList<QWidget*> order = {f.ListView1,   f.PushButton5, f.PushButton3, f.Option3,     f.Option4,   f.PushButton1,
                                   f.PushButton4, f.PushButton2, f.PushButton6, f.PushButton7, f.PushButton8};
    const auto nextTabStop = [](QWidget* w) {
        do w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    for (qsizetype i = 0; i + 1 < order.size(); ++i) EXPECT_EQ(nextTabStop(order[i]), order[i + 1]) << i;
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(Form1Test, HoverRulesAndTheBusyState) {
    Form1& f = makeForm();
    f.Form_Load();
    moveOver(f.PushButton2);
    EXPECT_EQ(f.mousePointer(), 99);
    moveOver(f.Frame1);
    EXPECT_EQ(f.mousePointer(), 0);
    moveOver(f.PushButton8);
    moveOver(f.ProgressBar1);  // no rule of its own
    EXPECT_EQ(f.mousePointer(), 99);
    moveOver(f.Option3);
    EXPECT_EQ(f.mousePointer(), 0);

    f.setMousePointer(11);
    for (QWidget* w : {static_cast<QWidget*>(f.PushButton1), static_cast<QWidget*>(f.Frame1),
                       static_cast<QWidget*>(f.Option4), static_cast<QWidget*>(&f)})
        moveOver(w);
    EXPECT_EQ(f.mousePointer(), 11);
    EXPECT_EQ(f.cursor().shape(), Qt::WaitCursor);
    f.setMousePointer(0);
    moveOver(f.PushButton1);
    EXPECT_EQ(f.mousePointer(), 99);
}

TEST_F(Form1Test, WithoutHandPointerOrSkinStartUpIsQuietAndWhite) {
    Form1& f = makeForm();
    f.Form_Load();
    EXPECT_FALSE(f.hasCustomPointer());
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(f.Frame1->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(f.Option3->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(f.styleSheet().isEmpty());
}

TEST_F(Form1Test, SkinFileTurnsTheSurfacesButtonFaceAndAppliesTheSheet) {
    installFile(QStringLiteral("x/o.cjs"), "QPushButton { color: rgb(10, 20, 30); }");
    Form1& f = makeForm();
    f.Form_Load();
    const QColor face = f.palette().color(QPalette::Button);
    EXPECT_EQ(f.palette().color(QPalette::Window), face);
    EXPECT_EQ(f.Frame1->palette().color(QPalette::Window), face);
    EXPECT_EQ(f.Option4->palette().color(QPalette::Window), face);
    EXPECT_TRUE(f.styleSheet().contains(QStringLiteral("rgb(10, 20, 30)")));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(Form1Test, BrokenHandPointerIsReportedAtLine106AndStartUpGoesOn) {
    installFile(QStringLiteral("HAND-M.CUR"), "not a cursor at all");
    Form1& f = makeForm();
    f.Form_Load();
    EXPECT_FALSE(f.hasCustomPointer());
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(dialogs.reports()[0].contains(QStringLiteral("Form1.Form_Load at line 106\r\r")));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Quorrix"));  // later steps still ran
    EXPECT_EQ(f.ListView1->headerItem()->text(0), QStringLiteral("Project File(s)"));
    // Kind 99 is still set on hover, showing no hand.
    moveOver(f.PushButton1);
    EXPECT_EQ(f.mousePointer(), 99);
    EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Form1Test, ClosingTheWindowEndsTheProcess) {
    Form1& f = makeForm();
    f.Form_Load();
    f.show();
    f.close();
    EXPECT_EQ(exitCalls, 1);
}

// ---- Import options --------------------------------------------------------------------------

TEST_F(Form1Test, EmptyStoreSelectsOneSheet) {
    Form1& f = makeForm();
    f.Form_Load();
    EXPECT_TRUE(f.Option4->isChecked());
    EXPECT_FALSE(f.Option3->isChecked());
}

TEST_F(Form1Test, ChoiceSurvivesARestartAndBothKeysAreWritten) {
    {
        Form1& f = makeForm();
        f.Form_Load();
        QTest::mouseClick(f.Option3, Qt::LeftButton);
        EXPECT_TRUE(f.Option3->isChecked());
        EXPECT_FALSE(f.Option4->isChecked());
        EXPECT_EQ(settings->read(QStringLiteral("Option3"), QString()), QStringLiteral("1"));
        EXPECT_EQ(settings->read(QStringLiteral("Option4"), QString()), QStringLiteral("0"));
        // Clicking the selected option again keeps it selected.
        QTest::mouseClick(f.Option3, Qt::LeftButton);
        EXPECT_TRUE(f.Option3->isChecked());
    }
    Form1& again = makeForm();
    again.Form_Load();
    EXPECT_TRUE(again.Option3->isChecked());
    EXPECT_FALSE(again.Option4->isChecked());

    QTest::mouseClick(again.Option4, Qt::LeftButton);
    EXPECT_EQ(settings->read(QStringLiteral("Option3"), QString()), QStringLiteral("0"));
    EXPECT_EQ(settings->read(QStringLiteral("Option4"), QString()), QStringLiteral("1"));
}

TEST_F(Form1Test, StoredValuesConvertAsNumbers) {
    struct Case {
        const char* option4;
        const char* option3;
        bool four, three;
    } cases[] = {
        {"1", "1", false, true},   // both "1": Option3 restored last wins
        {"0", "0", false, false},  // neither selected
        {"2", "1", false, true},   {"-1", "0", false, false}, {" 1 ", "0", true, false}, {"1.0", "0", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.option4) + "/" + c.option3);
        settings->write(QStringLiteral("Option4"), QString::fromLatin1(c.option4));
        settings->write(QStringLiteral("Option3"), QString::fromLatin1(c.option3));
        Form1& f = makeForm();
        f.Form_Load();
        EXPECT_EQ(f.Option4->isChecked(), c.four);
        EXPECT_EQ(f.Option3->isChecked(), c.three);
        EXPECT_TRUE(dialogs.reports().isEmpty());
    }
}

TEST_F(Form1Test, StoredTextThatIsNoNumberGivesOneReportAndKeepsTheOption) {
    settings->write(QStringLiteral("Option4"), QStringLiteral("yes"));
    Form1& f = makeForm();
    f.Form_Load();
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_EQ(dialogs.reports()[0],
              testing::expectedReport(QStringLiteral("Form1.Form_Load"), QStringLiteral("Type mismatch"), 138));
    EXPECT_TRUE(f.Option4->isChecked());  // the design state stays
    EXPECT_FALSE(f.Option3->isChecked());
}

TEST_F(Form1Test, OnlyPlainNumbersCountAndEveryOtherTextIsReportedAtItsLine) {
    // Numbers in every plain form, blanks around them allowed.
    for (const char* one : {"1e0", "+1", "01", "1.", ".1e1", "\t1\n", "10E-1"}) {
        SCOPED_TRACE(one);
        settings->write(QStringLiteral("Option4"), QStringLiteral("0"));
        settings->write(QStringLiteral("Option3"), QString::fromLatin1(one));
        Form1& f = makeForm();
        f.Form_Load();
        EXPECT_TRUE(f.Option3->isChecked());
        EXPECT_FALSE(f.Option4->isChecked());
        EXPECT_TRUE(dialogs.reports().isEmpty());
    }
    // Texts the number parser would take for infinities or "not a number", and other no-numbers.
    const char* noNumbers[] = {"inf",  "-inf", "+INF", "Infinity", "-infinity", "nan", "NaN", "-nan",
                               "0x1",  "1,0",  "1e",   "e1",       "",          ".",   "1 1", "one"};
    for (const char* text : noNumbers) {
        SCOPED_TRACE(text);
        // Option4: reported at line 138, the design state stays.
        dialogs.calls.clear();
        settings->write(QStringLiteral("Option4"), QString::fromLatin1(text));
        settings->write(QStringLiteral("Option3"), QStringLiteral("0"));
        Form1& f = makeForm();
        f.Form_Load();
        ASSERT_EQ(dialogs.reports().size(), 1);
        EXPECT_EQ(dialogs.reports()[0],
                  testing::expectedReport(QStringLiteral("Form1.Form_Load"), QStringLiteral("Type mismatch"), 138));
        EXPECT_TRUE(f.Option4->isChecked());
        EXPECT_FALSE(f.Option3->isChecked());

        // Option3: reported at line 140, the state line 138 left stays.
        dialogs.calls.clear();
        settings->write(QStringLiteral("Option4"), QStringLiteral("0"));
        settings->write(QStringLiteral("Option3"), QString::fromLatin1(text));
        Form1& g = makeForm();
        g.Form_Load();
        ASSERT_EQ(dialogs.reports().size(), 1);
        EXPECT_EQ(dialogs.reports()[0],
                  testing::expectedReport(QStringLiteral("Form1.Form_Load"), QStringLiteral("Type mismatch"), 140));
        EXPECT_FALSE(g.Option4->isChecked());
        EXPECT_FALSE(g.Option3->isChecked());
    }
}

// ---- The options and the keyboard ----------------------------------------------------------

class OptionKeysTest : public Form1Test {
protected:
    Form1& loadedAndShown() {
        Form1& f = makeForm();
        f.Form_Load();
        f.show();
        QApplication::setActiveWindow(&f);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&f));
        return f;
    }
    // Forgets what the handlers stored, so that a later read shows whether they ran.
    void forgetStore() {
        settings->write(QStringLiteral("Option3"), QStringLiteral("unset"));
        settings->write(QStringLiteral("Option4"), QStringLiteral("unset"));
    }
    QString stored(const char* key) { return settings->read(QString::fromLatin1(key), QString()); }
    void expectSelected(Form1& f, QRadioButton* selected) {
        EXPECT_EQ(f.Option3->isChecked(), selected == f.Option3);
        EXPECT_EQ(f.Option4->isChecked(), selected == f.Option4);
        EXPECT_EQ(stored("Option3"), selected == f.Option3 ? QStringLiteral("1") : QStringLiteral("0"));
        EXPECT_EQ(stored("Option4"), selected == f.Option4 ? QStringLiteral("1") : QStringLiteral("0"));
    }
};

TEST_F(OptionKeysTest, ArrowKeysMoveTheSelectionAndRunTheHandlers) {
    Form1& f = loadedAndShown();
    f.Option4->setFocus();
    ASSERT_TRUE(f.Option4->hasFocus());

    forgetStore();
    QTest::keyClick(f.Option4, Qt::Key_Down);
    EXPECT_TRUE(f.Option3->hasFocus());
    expectSelected(f, f.Option3);

    forgetStore();
    QTest::keyClick(f.Option3, Qt::Key_Up);
    EXPECT_TRUE(f.Option4->hasFocus());
    expectSelected(f, f.Option4);

    forgetStore();
    QTest::keyClick(f.Option4, Qt::Key_Right);
    expectSelected(f, f.Option3);
    forgetStore();
    QTest::keyClick(f.Option3, Qt::Key_Left);
    expectSelected(f, f.Option4);

    // Space on the selected option keeps it and stores the choice as a click does.
    forgetStore();
    QTest::keyClick(f.Option4, Qt::Key_Space);
    expectSelected(f, f.Option4);

    // Past the end of the group nothing changes and nothing is stored.
    forgetStore();
    QTest::keyClick(f.Option4, Qt::Key_Up);
    EXPECT_TRUE(f.Option4->isChecked());
    EXPECT_FALSE(f.Option3->isChecked());
    EXPECT_EQ(stored("Option4"), QStringLiteral("unset"));

    // The choice made with the keys survives a restart.
    QTest::keyClick(f.Option4, Qt::Key_Down);
    Form1& again = makeForm();
    again.Form_Load();
    EXPECT_TRUE(again.Option3->isChecked());
    EXPECT_FALSE(again.Option4->isChecked());
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(OptionKeysTest, BothClearedByARestoreAndThenChosenWithKeysOrMouse) {
    settings->write(QStringLiteral("Option4"), QStringLiteral("0"));
    settings->write(QStringLiteral("Option3"), QStringLiteral("0"));
    {
        Form1& f = loadedAndShown();
        EXPECT_FALSE(f.Option3->isChecked());
        EXPECT_FALSE(f.Option4->isChecked());
        f.Option4->setFocus();
        // A key that leads out of the group selects nothing.
        QTest::keyClick(f.Option4, Qt::Key_Up);
        EXPECT_FALSE(f.Option3->isChecked());
        EXPECT_FALSE(f.Option4->isChecked());
        EXPECT_EQ(stored("Option4"), QStringLiteral("0"));
        forgetStore();
        QTest::keyClick(f.Option4, Qt::Key_Down);
        EXPECT_TRUE(f.Option3->hasFocus());
        expectSelected(f, f.Option3);
    }
    for (const auto& [four, three] : {std::pair{"0", "0"}, std::pair{"1", "1"}}) {
        SCOPED_TRACE(std::string(four) + "/" + three);
        settings->write(QStringLiteral("Option4"), QString::fromLatin1(four));
        settings->write(QStringLiteral("Option3"), QString::fromLatin1(three));
        Form1& f = loadedAndShown();
        if (std::string(three) == "0") {
            // Both cleared: a click selects one and leaves the other clear.
            forgetStore();
            QTest::mouseClick(f.Option4, Qt::LeftButton);
            expectSelected(f, f.Option4);
            // Back to both cleared, the space key selects the focused option.
            settings->write(QStringLiteral("Option4"), QStringLiteral("0"));
            settings->write(QStringLiteral("Option3"), QStringLiteral("0"));
            f.Form_Load();
            ASSERT_FALSE(f.Option4->isChecked());
            f.Option3->setFocus();
            forgetStore();
            QTest::keyClick(f.Option3, Qt::Key_Space);
            expectSelected(f, f.Option3);
        } else {
            // Both stored as selected: the second restore wins and the group holds one.
            EXPECT_TRUE(f.Option3->isChecked());
            EXPECT_FALSE(f.Option4->isChecked());
            f.Option3->setFocus();
            forgetStore();
            QTest::keyClick(f.Option3, Qt::Key_Up);
            expectSelected(f, f.Option4);
        }
    }
}

TEST_F(OptionKeysTest, ReturnAndEnterPressTheFocusedButtonAsSpaceDoes) {
    Form1& f = loadedAndShown();
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Space, Qt::NoModifier}, std::pair{Qt::Key_Return, Qt::NoModifier},
                                         std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
        SCOPED_TRACE(key);
        f.PushButton6_Click();
        for (const char* name : {"/a.mpp", "/b.mpp", "/c.mpp"}) f.AddFileEntry(QString::fromLatin1(name));
        f.ListView1->setCurrentItem(f.ListView1->topLevelItem(0));
        // Held down: the button is pressed once, when the key is let go.
        f.PushButton5->setFocus();
        QTest::keyPress(f.PushButton5, key, modifiers);
        EXPECT_TRUE(f.PushButton5->isDown());
        for (int repeat = 0; repeat < 3; ++repeat) {
            QKeyEvent again(QEvent::KeyPress, key, modifiers, QString(), true);
            QCoreApplication::sendEvent(f.PushButton5, &again);
        }
        EXPECT_EQ(f.entryText(1), QStringLiteral("/a.mpp"));
        QTest::keyRelease(f.PushButton5, key, modifiers);
        EXPECT_EQ(f.entries(), (QStringList{"/b.mpp", "/a.mpp", "/c.mpp"}));
        // Clear List the same way.
        f.PushButton6->setFocus();
        QTest::keyClick(f.PushButton6, key, modifiers);
        EXPECT_EQ(f.entryCount(), 0);
    }
}

TEST_F(OptionKeysTest, ShiftF10AsksForTheMenuOfTheFocusedControlAsTheMenuKeyDoes) {
    Form1& f = loadedAndShown();
    // On the options the frame's menu of further columns opens.
    for (QRadioButton* option : {f.Option4, f.Option3}) {
        option->setFocus();
        QTest::keyClick(option, Qt::Key_F10, Qt::ShiftModifier);
        EXPECT_TRUE(f.ColumnsMenu->isVisible());
        f.ColumnsMenu->hide();
        EXPECT_TRUE(option->isChecked() == (option == f.Option4));
    }
    // F10 alone, or a control without a menu, opens nothing.
    f.Option4->setFocus();
    QTest::keyClick(f.Option4, Qt::Key_F10);
    f.PushButton1->setFocus();
    QTest::keyClick(f.PushButton1, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_FALSE(f.ColumnsMenu->isVisible());
    EXPECT_TRUE(dialogs.calls.empty());
}

}  // namespace
}  // namespace quorrix
