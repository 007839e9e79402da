#pragma once

#include <QString>

namespace quorrix {

// The folder that holds the program's auxiliary files (pointer images, samples, help picture):
// the executable's own folder when they lie next to it (a build tree), otherwise
// "../share/quorrix" relative to it (an installed program). Returned as the real path, without a
// trailing separator; the executable's folder when neither holds them.
QString auxiliaryFolder(const QString& executableFolder);

}  // namespace quorrix
