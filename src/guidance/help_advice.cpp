#include "guidance/help_advice.h"

#include "platform/application_title.h"

namespace quorrix::guidance {

QString helpAdviceText() {
    return QStringLiteral(
               "Please make sure you are able to open your MPP Project  files normally and they display correct "
               "without error or warning message. If there is a message when you first open your files, this "
               "software will not be able to process them.") +
           QStringLiteral("\r\n\r\n") +
           QStringLiteral(
               "Would you like to see a screenshot of these error messages so you know what I'm talking about?");
}

QString advicePicturePath(const QString& installFolder) {
    return installFolder + QStringLiteral("/possible-error-messages/error.jpg");
}

void ShowHelpAdvice(ErrorTrap& trap, const QString& installFolder, DialogProvider& dialogs) {
    MsgAnswer answer = MsgAnswer::No;
    trap.step(100, [&] {
        answer = dialogs.messageBox(helpAdviceText(), applicationTitle(), MsgButtons::YesNo, MsgIcon::None);
    });
    // A missing picture, or a desktop that cannot show it, is not reported.
    trap.step(102, [&] {
        if (answer == MsgAnswer::Yes) dialogs.openWithDesktop(advicePicturePath(installFolder));
    });
}

}  // namespace quorrix::guidance
