#pragma once

#include <QString>
#include <functional>

namespace quorrix::filelist {

// Appends one entry at the end of the file list.
using AddEntry = std::function<void(const QString&)>;

// Every ":\\" of the path becomes ":\", scanning from the first character; on this platform the
// doubled separator that follows the root ("//name") becomes one as well.
QString FixDriveRootPath(const QString& path);

}  // namespace quorrix::filelist
