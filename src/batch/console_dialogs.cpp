#include "batch/console_dialogs.h"

#include <cstdio>

namespace quorrix::batch {

QString terminalText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

MsgAnswer ConsoleDialogs::messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon) {
    const bool report = title == QStringLiteral("Application Error");
    FILE* out = report ? stderr : stdout;
    std::fputs(terminalText(text).toLocal8Bit().constData(), out);
    std::fputc('\n', out);
    if (report) std::fputc('\n', out);
    std::fflush(out);
    if (buttons == MsgButtons::YesNo) {
        std::fputs("(answered Yes)\n", out);
        return MsgAnswer::Yes;
    }
    return MsgAnswer::Ok;
}

QString ConsoleDialogs::inputBox(const QString&, const QString&, const QString&) { return {}; }
QString ConsoleDialogs::showOpen(const OpenFilesRequest&) { return {}; }
QString ConsoleDialogs::pickFolder(const QString&) { return {}; }
bool ConsoleDialogs::openWithDesktop(const QString&) { return false; }

}  // namespace quorrix::batch
