// Samples and help.
#include "app/form1.h"
#include "guidance/help_advice.h"
#include "guidance/sample_files.h"
#include "platform/error_trap.h"

namespace quorrix {

void Form1::PushButton7_Click() {
    ErrorTrap trap(QStringLiteral("Form1.PushButton7_Click"), dialogs());
    guidance::LoadSampleFiles(trap, installFolder(), dialogs(), [this](const QString& text) { AddFileEntry(text); });
}

void Form1::PushButton8_Click() {
    ErrorTrap trap(QStringLiteral("Form1.PushButton8_Click"), dialogs());
    guidance::ShowHelpAdvice(trap, installFolder(), dialogs());
}

}  // namespace quorrix
