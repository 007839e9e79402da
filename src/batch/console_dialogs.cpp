#include "batch/console_dialogs.h"

#include <cstdio>

namespace quorrix::batch {

MsgAnswer ConsoleDialogs::messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon) {
    const bool report = title == QStringLiteral("Application Error");
    const MsgAnswer answer = buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    if ((quiet_ || withheld_) && !report) return answer;
    FILE* out = report ? stderr : stdout;
    if (guard_) guard_->beforeOutput();
    std::fputs(withLineFeeds(text).toLocal8Bit().constData(), out);
    std::fputc('\n', out);
    if (report) std::fputc('\n', out);
    if (answer == MsgAnswer::Yes) std::fputs("(answered Yes)\n", out);
    std::fflush(out);
    if (guard_) guard_->afterOutput();
    return answer;
}

QString ConsoleDialogs::inputBox(const QString&, const QString&, const QString&) { return {}; }
QString ConsoleDialogs::showOpen(const OpenFilesRequest&) { return {}; }
QString ConsoleDialogs::pickFolder(const QString&) { return {}; }
bool ConsoleDialogs::openWithDesktop(const QString&) { return false; }

}  // namespace quorrix::batch
