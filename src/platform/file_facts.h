#pragma once

// Facts about files and folders as the folder walk and the file listing see them: attribute
// values, the listing order, the single-byte code page, wildcard matching, and the file-system
// layer through which the walk examines folders (tests put their own in its place).

#include <QList>
#include <QString>
#include <QStringList>
#include <compare>
#include <cstdint>
#include <functional>

#include "platform/failure.h"

namespace quorrix {

// Attribute bits of a file or folder, as one number.
namespace attribute {
inline constexpr int kReadOnly = 1;       // the owner may not write
inline constexpr int kHidden = 2;         // the name begins with "."
inline constexpr int kSystem = 4;         // never set on this platform
inline constexpr int kDirectory = 16;
inline constexpr int kArchive = 32;       // every regular file
inline constexpr int kReparsePoint = 1024;  // a symbolic link
}  // namespace attribute

namespace failure_number {
inline constexpr int kBadFileName = 52;
inline constexpr int kDeviceIoError = 57;
inline constexpr int kPathFileAccessError = 75;
}  // namespace failure_number

// The failure for an errno value of a file operation on the path; `folder` chooses "Path not
// found" rather than "File not found" for a missing path.
Failure fileFailure(int errorNumber, const QString& path, bool folder);

// Identifies a file's content as far as the file system tells: a rewrite or replacement of the
// file changes one of these. A missing path (or none) has the stamp of nothing.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0, changedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp fileStampOf(const QString& path);

// ---- Code page ------------------------------------------------------------------------------

// The character's code in the single-byte code page (Windows-1252); 63, the code of "?", for a
// character the code page cannot represent (including each half of a surrogate pair). A byte of a
// file name that is no UTF-8 (see file_names.h) has the code of that byte.
int codePageCode(QChar c);

// ---- Listing order and wildcards --------------------------------------------------------------

// True when name a comes before name b in a folder listing: the names are compared code unit by
// code unit in upper case, as the file systems of the desktop keep them; names equal but for case
// keep their ordinal order, so the order is total.
bool listsBefore(const QString& a, const QString& b);

// True when the name matches the wildcard pattern: "*" stands for any run of characters, "?" for
// exactly one, case is ignored, and a pattern ending in ".*" also matches a name without that
// dot, so "*.*" matches every name.
bool wildcardMatch(const QString& pattern, const QString& name);

// ---- The file-system layer --------------------------------------------------------------------

// Identity of a folder on the machine.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend auto operator<=>(const FolderId&, const FolderId&) = default;
};

// What the walk learns about one folder.
struct FolderFacts {
    int attributes = 0;
    FolderId id;
};

// One name of a folder listing, with what the listing itself tells about the entry.
struct ListedName {
    enum Kind { File, Folder, Other };  // a regular file, a folder, anything else (a link, ...)
    QString name;
    Kind kind = Other;
};

// What an open test and an attribute query tell about one path.
struct EntryFacts {
    bool exists = false;    // the path names an entry (a dangling link exists)
    bool openable = false;  // it opens as an existing regular file
    int attributes = 0;     // valid when the entry exists
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The folder at the path (a trailing separator is allowed). Throws "Path not found" (76)
    // when the path names no folder, and the matching failure when it cannot be examined.
    virtual FolderFacts folder(const QString& path) const = 0;

    // True when the folder is the root of a file system.
    virtual bool isRootFolder(const QString& path) const = 0;

    // Calls `visit` for each direct subfolder of the folder, links to folders included, in the
    // listing order. When the enumeration fails, the subfolders found before the failure are
    // visited and then the failure is thrown: "Permission denied" (70) when the user may not
    // read the folder.
    using SubfolderVisit = std::function<void(const QString& name, const FolderId& id)>;
    virtual void forEachSubfolder(const QString& folder, const SubfolderVisit& visit) const = 0;

    // Every name of the folder except "." and "..", in the listing order; nothing for a folder
    // that does not exist. Throws when the listing itself fails.
    virtual QList<ListedName> list(const QString& folder) const = 0;

    // The open test and the attributes of one path. A missing path gives `exists` false; a path
    // that cannot be examined (a parent the user may not search, a name too long) throws.
    virtual EntryFacts entry(const QString& path) const = 0;

    // The attribute value of the path; "File not found" (53) when there is no such entry.
    int attributes(const QString& path) const;
};

// The machine's own file system.
const FileSystem& realFileSystem();

}  // namespace quorrix

namespace Main {
// The part of a path after its last separator; a path without one is returned whole.
QString FileNameOf(const QString& path);
}  // namespace Main
