#include "filelist/folder_routines.h"

#include "platform/file_names.h"

#include <QHash>
#include <QLocale>
#include <memory>
#include <set>
#include <vector>

namespace IsInstalled {
namespace {

constexpr int kFirstReservation = 100;
constexpr int kGrowth = 50;

// A name the platform can be given back: every character in the code page, no "?" (the code
// page's stand-in for what it cannot show) and no control code.
bool nameReachesPlatform(const QString& name) {
    for (const QChar c : name) {
        const int code = quorrix::codePageCode(c);
        if (code < 32 || code == 63) return false;
    }
    return true;
}

// The name list of ListFolderFiles, and for each position whether the listing itself saw a
// regular file there (no link), which the open test would only confirm.
struct Listing {
    NameList list;
    std::vector<bool> regular;
};

Listing listFolder(const QString& folder, const QString& pattern, const quorrix::FileSystem& fs) {
    Listing listing;
    QStringList& names = listing.list.names;
    names.resize(kFirstReservation + 1);
    listing.regular.resize(kFirstReservation + 1);
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    int count = 0;
    for (const quorrix::ListedName& listed : fs.list(prefix)) {
        if (!nameReachesPlatform(listed.name) || !quorrix::wildcardMatch(pattern, listed.name)) continue;
        const bool regular = listed.kind == quorrix::ListedName::File;
        if (!regular && (listed.kind == quorrix::ListedName::Folder || !FileIsOpenable(prefix + listed.name, fs)))
            continue;
        if (count == AddFolder::kWalkEntryLimit) {
            listing.list.cut = true;
            break;
        }
        ++count;
        if (count > listing.list.upperBound()) {
            names.resize(names.size() + kGrowth);
            listing.regular.resize(listing.regular.size() + kGrowth);
        }
        names[count] = listed.name;
        listing.regular[count] = regular;
    }
    if (count < listing.list.upperBound()) {
        names.resize(count + 1);
        listing.regular.resize(count + 1);
    }
    return listing;
}

}  // namespace
}  // namespace IsInstalled

namespace AddFolder {

using quorrix::FileSystem;
using quorrix::FolderId;

QString PickFolder(quorrix::DialogProvider& dialogs, const QString& title) {
    QString path = dialogs.pickFolder(title);
    // Whatever stands after a NUL is no part of the path; a place without a path is empty.
    const qsizetype nul = path.indexOf(QChar(0));
    if (nul >= 0) path.truncate(nul);
    // The root keeps its separator, every other folder comes without a trailing one.
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return path;
}

bool HasUnsafeChars(const QString& name) {
    for (const QChar c : name) {
        const int code = quorrix::codePageCode(c);
        if (code < 32 || (code >= 127 && code <= 159) || code == 63) return true;
    }
    return false;
}

namespace {

bool walkableAttributes(int attributes) { return attributes != 22 && attributes != 1046; }

// The way the walk came to a folder: that folder and every folder above it on the way, back to
// the folder the walk was given. Routes share the part they have in common.
struct Route {
    FolderId id;
    std::shared_ptr<const Route> above;

    // True when the folder is this one or one above it on the way here: entering it would loop.
    bool passes(const FolderId& folder) const {
        for (const Route* r = this; r; r = r->above.get())
            if (r->id == folder) return true;
        return false;
    }
};
using RouteRef = std::shared_ptr<const Route>;

// One walk. A folder is not entered again from below itself (a link back up the tree), so every
// route ends; any other route to a folder is taken, within kRepeatedFolderLimit.
class Walk {
public:
    Walk(const Yield& yield, const FileSystem& fs) : yield_(yield), fs_(fs) {}

    // `routes` holds, for each entry of `folders`, the route to the folder above it (none for the
    // folders the walk was given).
    void collect(QStringList& folders, std::vector<RouteRef> routes, bool recurse) {
        QStringList found;  // the walkable folders one level down, grouped by parent
        std::vector<RouteRef> foundRoutes;
        qsizetype i = 0;
        while (i < folders.size()) {
            const QString folder = folders[i];
            const quorrix::FolderFacts facts = fs_.folder(folder);
            entered_.insert(facts.id);
            attributes_.insert(folder, facts.attributes);
            yield();
            if (!walkableAttributes(facts.attributes) && !fs_.isRootFolder(folder)) {
                ++i;
                continue;
            }
            const auto route = std::make_shared<const Route>(Route{facts.id, routes[static_cast<size_t>(i)]});
            try {
                fs_.forEachSubfolder(folder, [&](const QString& name, const FolderId& id) {
                    yield();
                    if (HasUnsafeChars(name) || name.contains(QLatin1Char('?')) || name == QLatin1String(".") ||
                        name == QLatin1String(".."))
                        return;
                    // A link back to this folder or one above it.
                    if (route->passes(id)) return;
                    // Another way to a folder already found; links that fan out could make their
                    // number grow without end.
                    if (!entered_.insert(id).second) {
                        if (repeated_ >= kRepeatedFolderLimit) return;
                        ++repeated_;
                    }
                    found.append(folder + name + QLatin1Char('/'));
                    foundRoutes.push_back(route);
                });
            } catch (const quorrix::Failure& failure) {
                if (failure.number() == quorrix::failure_number::kPermissionDenied) {
                    // The folder goes, with its files; the walk goes on with the one that followed.
                    const qsizetype at = folders.indexOf(folder);
                    folders.removeAt(at);
                    routes.erase(routes.begin() + at);
                    continue;
                }
            }
            ++i;
        }
        if (recurse && !found.isEmpty()) collect(found, std::move(foundRoutes), true);
        for (const QString& folder : found) {
            yield();
            if (walkable(folder)) folders.append(folder);
        }
    }

private:
    // Whether a folder found below is walkable, by the attributes it had when the walk examined it.
    bool walkable(const QString& folder) const {
        const auto known = attributes_.constFind(folder);
        if (known == attributes_.constEnd()) return IsWalkable(folder, fs_);
        return walkableAttributes(*known) || fs_.isRootFolder(folder);
    }

    void yield() const {
        if (yield_) yield_();
    }

    const Yield& yield_;
    const FileSystem& fs_;
    std::set<FolderId> entered_;
    int repeated_ = 0;
    QHash<QString, int> attributes_;
};

void plainStep(int, const std::function<void()>& statement) { statement(); }

// The walk's folder as the user named it: without its trailing separator, the root as "/".
QString walkedFolder(const QStringList& folders) {
    if (folders.isEmpty()) return {};
    QString folder = quorrix::filelist::FixDriveRootPath(folders.front());
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder;
}

}  // namespace

quorrix::Failure walkLimitFailure(const QString& folder) {
    const QString bound = QLocale(QLocale::English).toString(kWalkEntryLimit);
    return quorrix::Failure(kTooManyFiles, QStringLiteral("Only the first %1 files of the folder \"%2\" were added: a "
                                                          "folder adds at most %1 files, its subfolders included.")
                                               .arg(bound, quorrix::quotedFileName(folder)));
}

bool IsWalkable(const QString& folder, const FileSystem& fs) {
    return walkableAttributes(fs.folder(folder).attributes) || fs.isRootFolder(folder);
}

void CollectSubfolders(QStringList& folders, bool recurse, const Yield& yield, const FileSystem& fs) {
    std::vector<RouteRef> routes(static_cast<size_t>(folders.size()));
    Walk(yield, fs).collect(folders, std::move(routes), recurse);
}

void AddFilesOfFolders(const QStringList& folders, const QString& pattern, const quorrix::filelist::AddEntry& add,
                       const Step& step, const FileSystem& fs) {
    const auto run = [&](int line, const std::function<void()>& statement) {
        if (step)
            step(line, statement);
        else
            plainStep(line, statement);
    };
    // Entries added so far; the walk stops when one more would pass the bound.
    int added = 0;
    bool stopped = false;
    const auto stop = [&] {
        stopped = true;
        run(128, [&] { throw walkLimitFailure(walkedFolder(folders)); });
    };
    const auto addBounded = [&](const QString& path) {
        if (added == kWalkEntryLimit) return stop();
        ++added;
        add(path);
    };
    for (const QString& entry : folders) {
        QString folder;
        IsInstalled::Listing listing;
        int upper = 0;
        run(118, [&] { folder = entry.left(entry.size() - 1); });
        run(120, [&] { listing = IsInstalled::listFolder(folder, pattern, fs); });
        run(122, [&] { upper = listing.list.upperBound(); });
        for (int i = 1; i <= upper; ++i) {
            const QString& name = listing.list.names[i];
            bool skip = true;  // a test that fails counts as passed
            run(124, [&] { skip = name.startsWith(QLatin1Char('~')); });
            if (skip) continue;
            QString path;
            run(126, [&] { path = folder + QLatin1Char('/') + name; });
            run(128, [&] {
                // A regular file the listing has just seen opens, and without the hidden bit it
                // cannot be hidden + archive; the listing phase does not yield, so only another
                // program could have changed it since.
                if (listing.regular[static_cast<size_t>(i)] && !name.startsWith(QLatin1Char('.'))) {
                    addBounded(quorrix::filelist::FixDriveRootPath(path));
                    return;
                }
                const quorrix::EntryFacts facts = fs.entry(path);
                if (!facts.openable) return;
                if (facts.attributes == quorrix::attribute::kHidden + quorrix::attribute::kArchive) return;
                addBounded(quorrix::filelist::FixDriveRootPath(path));
            });
            if (stopped) return;
        }
        if (listing.list.cut) return stop();
    }
}

}  // namespace AddFolder

namespace IsInstalled {

NameList ListFolderFiles(const QString& folder, const QString& pattern, const quorrix::FileSystem& fs) {
    return listFolder(folder, pattern, fs).list;
}

bool FileIsOpenable(const QString& path, const quorrix::FileSystem& fs) {
    try {
        return fs.entry(path).openable;
    } catch (...) {
        return false;
    }
}

}  // namespace IsInstalled
