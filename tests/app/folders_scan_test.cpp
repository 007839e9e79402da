// "Add All Project Files In Folder": the prompts, the setting, the busy state and the entries.
#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

#include "app/form1.h"
#include "filelist/folder_test_support.h"
#include "platform/application_title.h"
#include "support/form_fixture.h"

namespace quorrix {
namespace {

using testing::DialogCall;
using testing::FormFixture;
using testing::TempTree;

const QString kPrompt = QStringLiteral(
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc files, etc.)");
const QString kNotSaved = QStringLiteral("<not saved>");

// Runs the action while the window processes events for the n-th time from now: each pass of
// the event loop takes the calls posted before it, so a call that posts the next one moves the
// action one pass on.
void atPass(QObject* context, int n, std::function<void()> action) {
    QMetaObject::invokeMethod(
        context,
        [context, n, action] {
            if (n <= 1)
                action();
            else
                atPass(context, n - 1, action);
        },
        Qt::QueuedConnection);
}

class FolderScanTest : public FormFixture {
protected:
    // The example tree: R holding A and B, A holding A1, each with two plans, a lock file, a
    // text file and a hidden plan.
    void makeExampleTree() {
        for (const char* folder : {"R", "R/A", "R/B", "R/A/A1"}) {
            const QString f = QString::fromLatin1(folder);
            tree.file(f + QStringLiteral("/b-plan.mpp"));
            tree.file(f + QStringLiteral("/A-plan.MPP"));
            tree.file(f + QStringLiteral("/~$b-plan.mpp"));
            tree.file(f + QStringLiteral("/notes.txt"));
            tree.file(f + QStringLiteral("/.hidden.mpp"));
        }
    }
    QStringList relativeEntries() const {
        QStringList out;
        for (const QString& e : form->entries()) out << (e.startsWith(tree.root()) ? e.mid(tree.root().size()) : e);
        return out;
    }
    QString savedExtension() const { return settings->read(QStringLiteral("Extension"), kNotSaved); }

    TempTree tree;
};

TEST_F(FolderScanTest, AsksForTheExtensionThenTheFolderAndAddsTheTreeBreadthFirst) {
    makeExampleTree();
    Form1& f = makeForm();
    f.AddFileEntry(QStringLiteral("/already/there.mpp"));
    dialogs.answerInput(QStringLiteral("mpp"));
    dialogs.answerFolder(tree.path(QStringLiteral("R")));
    f.PushButton4_Click();

    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[0].kind, DialogCall::Input);
    EXPECT_EQ(dialogs.calls[0].text, kPrompt);
    EXPECT_EQ(dialogs.calls[0].title, applicationTitle());
    EXPECT_EQ(dialogs.calls[0].proposed, QStringLiteral("mpp"));
    EXPECT_EQ(dialogs.calls[1].kind, DialogCall::Folder);
    EXPECT_EQ(dialogs.calls[1].title, QStringLiteral("Please select folder:"));

    EXPECT_EQ(relativeEntries(),
              (QStringList{QStringLiteral("/already/there.mpp"), QStringLiteral("/R/A-plan.MPP"),
                           QStringLiteral("/R/b-plan.mpp"), QStringLiteral("/R/A/A-plan.MPP"),
                           QStringLiteral("/R/A/b-plan.mpp"), QStringLiteral("/R/B/A-plan.MPP"),
                           QStringLiteral("/R/B/b-plan.mpp"), QStringLiteral("/R/A/A1/A-plan.MPP"),
                           QStringLiteral("/R/A/A1/b-plan.mpp")}));
    EXPECT_EQ(savedExtension(), QStringLiteral("mpp"));
    EXPECT_EQ(f.mousePointer(), kPointerDefault);
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_TRUE(dialogs.messages().isEmpty());
}

TEST_F(FolderScanTest, TheAnswerIsUsedAndSavedAsTyped) {
    makeExampleTree();
    Form1& f = makeForm();
    dialogs.answerInput(QStringLiteral("*"));
    dialogs.answerFolder(tree.path(QStringLiteral("R/A/A1")));
    f.PushButton4_Click();
    EXPECT_EQ(relativeEntries(), (QStringList{QStringLiteral("/R/A/A1/A-plan.MPP"), QStringLiteral("/R/A/A1/b-plan.mpp"),
                                              QStringLiteral("/R/A/A1/notes.txt")}));
    EXPECT_EQ(savedExtension(), QStringLiteral("*"));

    dialogs.answerInput(QStringLiteral(".mpp"));
    dialogs.answerFolder(tree.path(QStringLiteral("R")));
    f.PushButton4_Click();
    EXPECT_EQ(f.entryCount(), 3);  // two dots in a row match nothing
    EXPECT_EQ(savedExtension(), QStringLiteral(".mpp"));

    dialogs.answerInput(QStringLiteral(" TXT"));
    dialogs.answerFolder(tree.path(QStringLiteral("R")));
    f.PushButton4_Click();
    EXPECT_EQ(f.entryCount(), 3);  // no trimming: " TXT" is no extension here
    EXPECT_EQ(savedExtension(), QStringLiteral(" TXT"));

    dialogs.answerInput(QStringLiteral("TXT"));
    dialogs.answerFolder(tree.path(QStringLiteral("R/B")));
    f.PushButton4_Click();
    EXPECT_EQ(f.entries().mid(3), QStringList{tree.path(QStringLiteral("R/B/notes.txt"))});
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(FolderScanTest, CancellingThePromptEndsWithoutSavingAnything) {
    makeExampleTree();
    Form1& f = makeForm();
    dialogs.answerInput(QString());
    f.PushButton4_Click();
    ASSERT_EQ(dialogs.calls.size(), 1u);  // no folder browser
    EXPECT_EQ(savedExtension(), kNotSaved);
    EXPECT_EQ(f.entryCount(), 0);
    EXPECT_EQ(f.mousePointer(), kPointerDefault);
}

TEST_F(FolderScanTest, CancellingTheFolderBrowserEndsAfterTheExtensionWasSaved) {
    makeExampleTree();
    Form1& f = makeForm();
    dialogs.answerInput(QStringLiteral("txt"));
    dialogs.answerFolder(QString());
    f.PushButton4_Click();
    EXPECT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(savedExtension(), QStringLiteral("txt"));
    EXPECT_EQ(f.entryCount(), 0);
    EXPECT_EQ(f.mousePointer(), kPointerDefault);
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(FolderScanTest, TheWalkRunsInTheBusyStateAndLetsTheWindowWork) {
    makeExampleTree();
    Form1& f = makeForm();
    dialogs.answerInput(QStringLiteral("mpp"));
    dialogs.answerFolder(tree.path(QStringLiteral("R")));
    // Runs when the walk first yields: the pointer then, and an entry added in the middle.
    QList<int> pointers;
    atPass(&f, 1, [&] {
        pointers << f.mousePointer();
        f.AddFileEntry(QStringLiteral("/added/meanwhile.mpp"));
    });
    f.PushButton4_Click();
    EXPECT_EQ(pointers, QList<int>{kPointerHourglass});
    EXPECT_EQ(f.mousePointer(), kPointerDefault);
    // The walk comes first, the listing after it: the entry added meanwhile precedes the files.
    ASSERT_EQ(f.entryCount(), 9);
    EXPECT_EQ(f.entryText(1), QStringLiteral("/added/meanwhile.mpp"));
}

TEST_F(FolderScanTest, AFolderThatCannotBeWalkedIsReportedAtLine114AndItsFilesStillListed) {
    makeExampleTree();
    Form1& f = makeForm();
    const QString missing = tree.path(QStringLiteral("gone"));
    dialogs.answerInput(QStringLiteral("mpp"));
    dialogs.answerFolder(missing);
    f.PushButton4_Click();
    EXPECT_EQ(dialogs.reports(),
              QStringList{testing::expectedReport(QStringLiteral("Form1.PushButton4_Click"),
                                                  QStringLiteral("Path not found: ") + missing + QLatin1Char('/'), 114)});
    EXPECT_EQ(f.entryCount(), 0);
    EXPECT_EQ(f.mousePointer(), kPointerDefault);

    // A folder that vanishes during the walk ends it; the chosen folder is still listed.
    dialogs.answerInput(QStringLiteral("mpp"));
    dialogs.answerFolder(tree.path(QStringLiteral("R")));
    // The walk yields once it has R, and again before it takes each of R's subfolders A and B.
    atPass(&f, 2, [&] { QDir(tree.path(QStringLiteral("R/B"))).removeRecursively(); });
    f.PushButton4_Click();
    ASSERT_EQ(dialogs.reports().size(), 2);
    EXPECT_EQ(dialogs.reports()[1],
              testing::expectedReport(QStringLiteral("Form1.PushButton4_Click"),
                                      QStringLiteral("Path not found: ") + tree.path(QStringLiteral("R/B/")), 114));
    EXPECT_EQ(relativeEntries(), (QStringList{QStringLiteral("/R/A-plan.MPP"), QStringLiteral("/R/b-plan.mpp")}));
    EXPECT_EQ(f.mousePointer(), kPointerDefault);
}

TEST_F(FolderScanTest, LinksBackUpTheTreeDoNotHangTheScan) {
    makeExampleTree();
    tree.link(QStringLiteral("R/A/A1/loop"), QStringLiteral("../.."));
    tree.link(QStringLiteral("R/B/self"), QStringLiteral("."));
    Form1& f = makeForm();
    dialogs.answerInput(QStringLiteral("mpp"));
    dialogs.answerFolder(tree.path(QStringLiteral("R")));
    f.PushButton4_Click();
    EXPECT_EQ(f.entryCount(), 8);
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(FolderScanTest, UnreadableFoldersAndForeignNamesAreLeftOut) {
    makeExampleTree();
    tree.file(QString::fromUtf8("R/日本.mpp"));
    tree.file(QString::fromUtf8("R/日本/inside.mpp"));
    tree.file(QString::fromUtf8("R/Café/inside.mpp"));
    const bool closable = !testing::permissionsIgnored();
    if (closable) tree.mode(QStringLiteral("R/B"), 0);
    Form1& f = makeForm();
    dialogs.answerInput(QStringLiteral("mpp"));
    dialogs.answerFolder(tree.path(QStringLiteral("R")));
    f.PushButton4_Click();
    if (closable) tree.mode(QStringLiteral("R/B"), 0755);

    QStringList expected{QStringLiteral("/R/A-plan.MPP"), QStringLiteral("/R/b-plan.mpp"),
                         QStringLiteral("/R/A/A-plan.MPP"), QStringLiteral("/R/A/b-plan.mpp")};
    if (!closable) expected << QStringLiteral("/R/B/A-plan.MPP") << QStringLiteral("/R/B/b-plan.mpp");
    expected << QString::fromUtf8("/R/Café/inside.mpp") << QStringLiteral("/R/A/A1/A-plan.MPP")
             << QStringLiteral("/R/A/A1/b-plan.mpp");
    EXPECT_EQ(relativeEntries(), expected);
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

}  // namespace
}  // namespace quorrix
