#include "batch/console_dialogs.h"

#include <cstdio>

namespace quorrix::batch {

MsgAnswer ConsoleDialogs::messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon) {
    const bool report = title == QStringLiteral("Application Error");
    if (withheld_ && !report) return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    FILE* out = report ? stderr : stdout;
    std::fputs(withLineFeeds(text).toLocal8Bit().constData(), out);
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
