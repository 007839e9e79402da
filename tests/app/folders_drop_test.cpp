// Drops from the file manager onto the file list.
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

#include "app/form1.h"
#include "filelist/folder_test_support.h"
#include "support/form_fixture.h"

namespace quorrix {
namespace {

using testing::FormFixture;
using testing::TempTree;

std::unique_ptr<QMimeData> filesData(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    return data;
}

class FolderDropTest : public FormFixture {
protected:
    // Drags the data over the list as the window system does; true when the list accepts it.
    bool dragOver(const QMimeData* data) {
        QWidget* viewport = form->ListView1->viewport();
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(QPoint(12, 12), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data, Qt::LeftButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        EXPECT_EQ(enter.isAccepted(), move.isAccepted());
        return move.isAccepted();
    }
    // Releases the data over the list; true when the list took the drop.
    bool dropOn(const QMimeData* data) {
        QDropEvent drop(QPointF(12, 12), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data, Qt::LeftButton,
                        Qt::NoModifier);
        QCoreApplication::sendEvent(form->ListView1->viewport(), &drop);
        return drop.isAccepted();
    }
    bool dragAndDrop(const QMimeData* data) { return dragOver(data) && dropOn(data); }

    QStringList relativeEntries() const {
        QStringList out;
        for (const QString& e : form->entries()) out << (e.startsWith(tree.root()) ? e.mid(tree.root().size()) : e);
        return out;
    }
    void makeFolder(const QString& folder) {
        tree.file(folder + QStringLiteral("/plan.mpp"));
        tree.file(folder + QStringLiteral("/notes.txt"));
        tree.file(folder + QStringLiteral("/~$plan.mpp"));
        tree.file(folder + QStringLiteral("/.hidden.mpp"));
    }

    TempTree tree;
};

TEST_F(FolderDropTest, TextImagesAndWebLinksAreRefusedAndAddNothing) {
    Form1& f = makeForm();
    QMimeData text;
    text.setText(QStringLiteral("/home/pat/plan.mpp"));
    QMimeData image;
    image.setImageData(QImage(4, 4, QImage::Format_RGB32));
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.com/plan.mpp"))});
    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(tree.file(QStringLiteral("a.mpp"))), QUrl(QStringLiteral("https://example.com/b"))});
    QMimeData empty;

    for (const QMimeData* data : {&text, &image, &web, &mixed, &empty}) {
        EXPECT_FALSE(dragOver(data));
        EXPECT_FALSE(dropOn(data));
        EXPECT_FALSE(f.ListView1_OLEDragOver(data));
    }
    EXPECT_FALSE(f.ListView1_OLEDragOver(nullptr));
    EXPECT_EQ(f.entryCount(), 0);
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(FolderDropTest, DroppedFilesAreAddedUnchangedInTheDragOrder) {
    Form1& f = makeForm();
    f.AddFileEntry(QStringLiteral("/existing.mpp"));
    const QString c = tree.file(QStringLiteral("c.mpp"));
    const QString a = tree.file(QStringLiteral("a.txt"));
    const QString lock = tree.file(QStringLiteral("~$b.mpp"));
    const QString missing = tree.path(QStringLiteral("not there.mpp"));
    const auto data = filesData({c, a, lock, missing, c});
    EXPECT_TRUE(dragAndDrop(data.get()));
    EXPECT_EQ(f.entries(), (QStringList{QStringLiteral("/existing.mpp"), c, a, lock, missing, c}));

    // The same file again in a second drop.
    const auto again = filesData({c});
    EXPECT_TRUE(dragAndDrop(again.get()));
    EXPECT_EQ(f.entries().last(), c);
    EXPECT_EQ(f.entryCount(), 7);
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(f.mousePointer(), kPointerDefault);
}

TEST_F(FolderDropTest, ADroppedFolderAddsEveryFileOfItsTreeLevelByLevel) {
    makeFolder(QStringLiteral("R"));
    makeFolder(QStringLiteral("R/A"));
    makeFolder(QStringLiteral("R/B"));
    makeFolder(QStringLiteral("R/A/A1"));
    tree.link(QStringLiteral("R/B/loop"), QStringLiteral(".."));
    makeForm();
    const auto data = filesData({tree.path(QStringLiteral("R"))});
    EXPECT_TRUE(dragAndDrop(data.get()));
    EXPECT_EQ(relativeEntries(),
              (QStringList{QStringLiteral("/R/notes.txt"), QStringLiteral("/R/plan.mpp"), QStringLiteral("/R/A/notes.txt"),
                           QStringLiteral("/R/A/plan.mpp"), QStringLiteral("/R/B/notes.txt"),
                           QStringLiteral("/R/B/plan.mpp"), QStringLiteral("/R/A/A1/notes.txt"),
                           QStringLiteral("/R/A/A1/plan.mpp")}));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(FolderDropTest, FoldersAndFilesKeepTheDragOrder) {
    makeFolder(QStringLiteral("F"));
    makeFolder(QStringLiteral("G/sub"));
    const QString file = tree.file(QStringLiteral("single.mpp"));
    Form1& f = makeForm();

    const auto folderFirst = filesData({tree.path(QStringLiteral("F")), file});
    EXPECT_TRUE(dragAndDrop(folderFirst.get()));
    EXPECT_EQ(relativeEntries(),
              (QStringList{QStringLiteral("/F/notes.txt"), QStringLiteral("/F/plan.mpp"), QStringLiteral("/single.mpp")}));

    f.ListView1->clear();
    const auto fileFirst = filesData({file, tree.path(QStringLiteral("F"))});
    EXPECT_TRUE(dragAndDrop(fileFirst.get()));
    EXPECT_EQ(relativeEntries(),
              (QStringList{QStringLiteral("/single.mpp"), QStringLiteral("/F/notes.txt"), QStringLiteral("/F/plan.mpp")}));

    f.ListView1->clear();
    const auto twoFolders = filesData({tree.path(QStringLiteral("G")), tree.path(QStringLiteral("F"))});
    EXPECT_TRUE(dragAndDrop(twoFolders.get()));
    EXPECT_EQ(relativeEntries(), (QStringList{QStringLiteral("/G/sub/notes.txt"), QStringLiteral("/G/sub/plan.mpp"),
                                              QStringLiteral("/F/notes.txt"), QStringLiteral("/F/plan.mpp")}));
}

TEST_F(FolderDropTest, TheDropNeitherWaitsNorShowsAnything) {
    makeFolder(QStringLiteral("R"));
    makeFolder(QStringLiteral("R/A"));
    Form1& f = makeForm();
    QList<int> pointers;
    QMetaObject::invokeMethod(&f, [&] { pointers << f.mousePointer(); }, Qt::QueuedConnection);
    const auto data = filesData({tree.path(QStringLiteral("R"))});
    EXPECT_TRUE(dragAndDrop(data.get()));
    EXPECT_EQ(pointers, QList<int>{kPointerDefault});  // it ran during the walk, outside the busy state
    EXPECT_EQ(f.entryCount(), 4);
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(FolderDropTest, PathsThatCannotBeExaminedAreSkippedSilently) {
    makeFolder(QStringLiteral("R"));
    makeForm();
    QMimeData data;
    QUrl tooLong = QUrl::fromLocalFile(tree.path(QString(5000, QLatin1Char('n'))));
    data.setUrls({tooLong, QUrl::fromLocalFile(tree.path(QStringLiteral("R")))});
    EXPECT_TRUE(dragAndDrop(&data));
    EXPECT_EQ(relativeEntries(), (QStringList{QStringLiteral("/R/notes.txt"), QStringLiteral("/R/plan.mpp")}));
    EXPECT_TRUE(dialogs.calls.empty());
}

}  // namespace
}  // namespace quorrix
