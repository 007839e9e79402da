#pragma once

// The two ways a folder becomes entries of the file list, shared by the window and the command
// line: a dropped path, and the folder scan for one extension.

#include <QString>

#include "filelist/file_entries.h"
#include "filelist/folder_routines.h"

namespace quorrix::filelist {

// Told once when a walk stops at AddFolder::kWalkEntryLimit, with the failure that says so.
using WalkStopped = std::function<void(const Failure&)>;

// What a drop does with one dropped path: a folder is walked and every file of its tree is
// appended (pattern "*.*"); anything else is appended unchanged. Nothing is reported but the end
// of a walk at its bound (to `stopped`): a path that cannot be examined adds nothing, a walk that
// ends early lists the folders it reached, and a folder whose listing fails is passed over.
void AddDroppedPath(const QString& path, const AddEntry& add, const AddFolder::Yield& yield,
                    const FileSystem& fs = realFileSystem(), const WalkStopped& stopped = {});

// What the command line does with a path it names: as a drop, except that a path that cannot be
// examined is appended unchanged too, so that it fails at import with its own report instead of
// vanishing from the run.
void AddNamedPath(const QString& path, const AddEntry& add, const AddFolder::Yield& yield,
                  const FileSystem& fs = realFileSystem(), const WalkStopped& stopped = {});

// What the folder scan does once the folder is chosen: the folder list starts as the folder
// followed by the separator, the walk collects its subfolders, and the files matching
// "*." + extension are appended. `step` runs the numbered statements 112 to 130.
void AddFolderTree(const QString& folder, const QString& extension, const AddEntry& add,
                   const AddFolder::Yield& yield, const AddFolder::Step& step,
                   const FileSystem& fs = realFileSystem());

}  // namespace quorrix::filelist
