#pragma once

#include <QString>

#include "platform/dialogs.h"
#include "platform/error_trap.h"

namespace quorrix::guidance {

// The whole text of the help message: the advice, an empty line, the question.
QString helpAdviceText();

// The picture of the messages a plan may open with.
QString advicePicturePath(const QString& installFolder);

// "Help": shows the advice and, on Yes, opens the picture with the desktop. Each numbered statement
// runs through the caller's trap.
void ShowHelpAdvice(ErrorTrap& trap, const QString& installFolder, DialogProvider& dialogs);

}  // namespace quorrix::guidance
