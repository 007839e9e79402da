#pragma once

#include <QString>

namespace quorrix {

// The folder that holds the program's auxiliary files (pointer images, samples, help picture):
// the executable's own folder when they lie next to it (a build tree), otherwise
// "../share/quorrix" relative to it (an installed program). Returned as the real path, without a
// trailing separator; the executable's folder when neither holds them.
QString auxiliaryFolder(const QString& executableFolder);

// The program `name` that the programs start themselves: next to the executable (a build tree),
// otherwise in "../lib/quorrix" relative to it (an installed program; not on PATH). The path it
// would have next to the executable when neither holds it, so that a failure names it.
QString auxiliaryProgram(const QString& executableFolder, const QString& name);

// The folder of the running executable, known without a QCoreApplication.
QString executableFolder();

}  // namespace quorrix
