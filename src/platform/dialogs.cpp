#include "platform/dialogs.h"

#include "platform/error_trap.h"

namespace quorrix {

QString withLineFeeds(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

void DialogProvider::reportError(const QString& locationText, const QString& description, int line) {
    messageBox(reportText(locationText, description, line), QStringLiteral("Application Error"), MsgButtons::Ok,
               MsgIcon::Warning);
}

}  // namespace quorrix
