#pragma once

#include <QString>
#include <QStringList>

namespace quorrix {

inline constexpr int kOpenFilesBufferChars = 30000;

// Turns the files chosen in a file dialog into the dialog's text form: the full path of a single
// file, or the first file's folder, NUL, and the names separated by NUL, where a file from another
// folder stands with its whole path. Throws Failure 20476 when the text would not fit the
// dialog's 30000-character buffer.
QString openFilesText(const QStringList& chosenPaths);

}  // namespace quorrix
