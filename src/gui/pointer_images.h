#pragma once

#include <QCursor>
#include <QString>

namespace quorrix {

// Loads a pointer from a Windows .cur or .ico file. A .cur file keeps the hotspot it stores; an
// icon points with its centre. Throws Failure when the file cannot be read or is no such image.
QCursor loadPointerImage(const QString& path);

}  // namespace quorrix
