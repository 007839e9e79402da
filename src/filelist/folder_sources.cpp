#include "filelist/folder_sources.h"

#include <exception>

namespace quorrix::filelist {

namespace {

// A folder is named without a trailing separator; the root keeps its own.
QString folderName(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return path;
}

void addPath(const QString& path, const AddEntry& add, const AddFolder::Yield& yield, const FileSystem& fs,
             bool keepUnexamined, const WalkStopped& stopped) {
    // Each statement's failure is passed over without a word, but for the end at the bound.
    const AddFolder::Step silentStep = [&stopped](int, const std::function<void()>& statement) {
        try {
            statement();
        } catch (const Failure& f) {
            if (f.number() == AddFolder::kTooManyFiles && stopped) stopped(f);
        } catch (const std::exception&) {
        }
    };
    if (path.isEmpty()) return;
    bool isFolder = false;
    try {
        const EntryFacts facts = fs.entry(path);
        isFolder = facts.exists && (facts.attributes & attribute::kDirectory) != 0;
    } catch (const std::exception&) {
        if (keepUnexamined) add(path);
        return;
    }
    if (!isFolder) {
        add(path);
        return;
    }
    QStringList folders{folderName(path) + QLatin1Char('/')};
    try {
        AddFolder::CollectSubfolders(folders, true, yield, fs);
    } catch (const std::exception&) {
        // The walk ended early; the folders it reached are still listed.
    }
    AddFolder::AddFilesOfFolders(folders, QStringLiteral("*.*"), add, silentStep, fs);
}

}  // namespace

void AddDroppedPath(const QString& path, const AddEntry& add, const AddFolder::Yield& yield, const FileSystem& fs,
                    const WalkStopped& stopped) {
    addPath(path, add, yield, fs, false, stopped);
}

void AddNamedPath(const QString& path, const AddEntry& add, const AddFolder::Yield& yield, const FileSystem& fs,
                  const WalkStopped& stopped) {
    addPath(path, add, yield, fs, true, stopped);
}

void AddFolderTree(const QString& folder, const QString& extension, const AddEntry& add,
                   const AddFolder::Yield& yield, const AddFolder::Step& step, const FileSystem& fs) {
    const AddFolder::Step run = step ? step : AddFolder::Step([](int, const std::function<void()>& statement) {
        statement();
    });
    QStringList folders;
    run(112, [&] { folders = QStringList{folderName(folder) + QLatin1Char('/')}; });
    run(114, [&] { AddFolder::CollectSubfolders(folders, true, yield, fs); });
    run(116, [&] { AddFolder::AddFilesOfFolders(folders, QStringLiteral("*.") + extension, add, run, fs); });
}

}  // namespace quorrix::filelist
