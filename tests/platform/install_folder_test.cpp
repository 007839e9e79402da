#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/install_folder.h"

namespace quorrix {
namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(AuxiliaryFolder, NextToTheProgramThenTheSharedFolderAsItsRealPath) {
    QTemporaryDir root;
    const QString prefix = root.path() + QStringLiteral("/usr");
    const QString bin = prefix + QStringLiteral("/bin");
    QDir().mkpath(bin);

    // Installed: the files are in ../share/quorrix, handed out as a real path without "..".
    touch(prefix + QStringLiteral("/share/quorrix/HAND-M.CUR"));
    const QString installed = auxiliaryFolder(bin);
    EXPECT_EQ(installed, QFileInfo(prefix + QStringLiteral("/share/quorrix")).canonicalFilePath());
    EXPECT_FALSE(installed.contains(QStringLiteral("..")));

    // A build tree: the files next to the program win.
    touch(bin + QStringLiteral("/HAND-M.CUR"));
    EXPECT_EQ(auxiliaryFolder(bin), bin);

    // Neither: the program's own folder, so that every file is looked for where it always was.
    QTemporaryDir bare;
    EXPECT_EQ(auxiliaryFolder(bare.path()), bare.path());
}

TEST(AuxiliaryProgram, NextToTheProgramThenInItsPrivateFolderAndOnlyWhenExecutable) {
    QTemporaryDir root;
    const QString bin = root.path() + QStringLiteral("/usr/bin");
    const QString name = QStringLiteral("quorrix-mpd-reader");
    const QString installed = root.path() + QStringLiteral("/usr/lib/quorrix/") + name;
    touch(installed);
    EXPECT_EQ(auxiliaryProgram(bin, name), bin + QLatin1Char('/') + name);  // not executable: not it
    QFile::setPermissions(installed, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(auxiliaryProgram(bin, name), installed);
    touch(bin + QLatin1Char('/') + name);
    QFile::setPermissions(bin + QLatin1Char('/') + name, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(auxiliaryProgram(bin, name), bin + QLatin1Char('/') + name);
}

}  // namespace
}  // namespace quorrix
