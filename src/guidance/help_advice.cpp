#include "guidance/help_advice.h"

#include <QDir>

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
    // A desktop with nothing to show the picture with (or a picture that is missing) says so,
    // rather than leaving the answer unseen.
    trap.step(102, [&] {
        const QString picture = advicePicturePath(installFolder);
        if (answer == MsgAnswer::Yes && !dialogs.openWithDesktop(picture))
            dialogs.messageBox(QStringLiteral("The screenshot could not be shown: no program on this desktop "
                                              "shows it. The picture is:\r\n") +
                                   QDir::toNativeSeparators(picture),
                               applicationTitle(), MsgButtons::Ok, MsgIcon::None);
    });
}

}  // namespace quorrix::guidance
