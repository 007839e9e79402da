#pragma once

#include <QString>

#include "filelist/file_entries.h"
#include "platform/dialogs.h"
#include "platform/error_trap.h"

namespace quorrix::guidance {

// The question asked after the samples were added.
QString sampleFolderQuestion();

// The folder that is listed for samples (no trailing separator).
QString sampleFolder(const QString& installFolder);

// The folder handed to the desktop, and the start of every entry text (with the separator).
QString sampleFolderWithSeparator(const QString& installFolder);

// "Load Sample/Example Files": appends every openable file of the installation's sample folder to
// the list, in listing order, then offers to open the folder with the desktop. Each numbered
// statement runs through the caller's trap, which reports a failure with its line and goes on.
void LoadSampleFiles(ErrorTrap& trap, const QString& installFolder, DialogProvider& dialogs,
                     const filelist::AddEntry& addEntry);

}  // namespace quorrix::guidance
