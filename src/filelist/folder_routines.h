#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "filelist/file_entries.h"
#include "platform/dialogs.h"
#include "platform/file_facts.h"

// Folder browser and folder walk.
namespace AddFolder {

// Shows the folder browser; the chosen folder (the root with its separator, any other folder
// without a trailing one), or the empty text.
QString PickFolder(quorrix::DialogProvider& dialogs, const QString& title);

// True when the name holds a character the walk must not pass on: a Windows-1252 code below 32,
// from 127 to 159, or 63 ("?"), a character outside that code page counting as 63.
bool HasUnsafeChars(const QString& name);

// Lets the window process its pending events.
using Yield = std::function<void()>;

// True for a folder the walk enters: any attribute value but exactly hidden + system + directory
// (22) or that with the reparse point (1046); a root folder always.
bool IsWalkable(const QString& folder, const quorrix::FileSystem& fs = quorrix::realFileSystem());

// How many times one walk enters a folder again by another way than the first (a link to a
// folder found elsewhere in the tree, or two links to one folder): enough for any tree a user
// keeps, and a bound on links that fan out, whose ways grow in number with each level.
inline constexpr int kRepeatedFolderLimit = 10000;

// Appends to the folder list every walkable folder below its walkable entries, breadth first,
// grouped by parent in the order of the level above, each group in the listing order. Entries
// end with the separator. A folder the user may not read is removed from the list. Every way
// down to a folder is taken, except a way back into the folder itself or one above it on the way
// there (a link back up the tree, which would loop), and except ways to folders already found
// once the walk has taken kRepeatedFolderLimit of them. A folder that cannot be examined (it
// vanished) ends the walk with its failure.
void CollectSubfolders(QStringList& folders, bool recurse, const Yield& yield,
                       const quorrix::FileSystem& fs = quorrix::realFileSystem());

// The most entries one walk adds (and one folder listing holds): enough for any tree a user
// keeps, and a bound on trees whose links reach the same files again and again. Past it the walk
// stops with one failure, walkLimitFailure, at line 128.
inline constexpr int kWalkEntryLimit = 100000;
inline constexpr int kTooManyFiles = 67;  // the number of the failure that says so, as the runtime's
// "Only the first 100,000 files of the folder "F" were added: ...", number kTooManyFiles.
quorrix::Failure walkLimitFailure(const QString& folder);

// Appends to the file list the openable files of each folder of the list that match the pattern,
// leaving out names that begin with "~" and files that are exactly hidden + archive, at most
// kWalkEntryLimit of them; the first folder of the list names the walk in its report.
// `step` runs each numbered statement (118 to 130) so the caller's error trap can report it;
// a plain call of the statement when the caller has no trap (an empty Step).
using Step = std::function<void(int line, const std::function<void()>& statement)>;
void AddFilesOfFolders(const QStringList& folders, const QString& pattern, const quorrix::filelist::AddEntry& add,
                       const Step& step, const quorrix::FileSystem& fs = quorrix::realFileSystem());

}  // namespace AddFolder

// Folder listing and the file open test.
namespace IsInstalled {

// The bare names of the openable files of one folder that match the pattern, in the platform's
// listing order, at positions 1 to the upper bound; position 0 holds an empty text, so a list
// without names has the upper bound 0. Hidden files are listed, folders never; a name holding a
// character the code page cannot show, a "?" or a control code is not listed. A folder that does
// not exist gives no names; a listing that fails throws. At most kWalkEntryLimit names are listed.
struct NameList {
    QStringList names;  // names[0] is the empty text; names[1..upperBound()]
    bool cut = false;   // more names matched than kWalkEntryLimit: these are the first ones
    int upperBound() const { return static_cast<int>(names.size()) - 1; }
};
NameList ListFolderFiles(const QString& folder, const QString& pattern,
                         const quorrix::FileSystem& fs = quorrix::realFileSystem());

// True when the path opens as an existing file: ordinary, read-only and hidden files; false for
// folders, missing paths and paths the platform rejects. Never fails.
bool FileIsOpenable(const QString& path, const quorrix::FileSystem& fs = quorrix::realFileSystem());

}  // namespace IsInstalled
