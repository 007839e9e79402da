#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include "platform/error_trap.h"

namespace quorrix::testing {

MsgAnswer ScriptedDialogs::messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) {
    DialogCall call{DialogCall::Message, text, title, buttons, icon, {}, {}};
    calls.push_back(call);
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    if (messages_.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return MsgAnswer::No;
    }
    const MsgAnswer answer = messages_.front();
    messages_.pop_front();
    return answer;
}

MsgAnswer ScriptedDialogs::messageBoxOnTop(const QString& text, const QString& title, MsgButtons buttons,
                                           MsgIcon icon) {
    const MsgAnswer answer = messageBox(text, title, buttons, icon);
    calls.back().onTop = true;
    return answer;
}

QString ScriptedDialogs::inputBox(const QString& prompt, const QString& title, const QString& proposed) {
    calls.push_back(DialogCall{DialogCall::Input, prompt, title, MsgButtons::Ok, MsgIcon::None, proposed, {}});
    if (inputs_.empty()) {
        ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
        return {};
    }
    const QString answer = inputs_.front();
    inputs_.pop_front();
    return answer;
}

QString ScriptedDialogs::showOpen(const OpenFilesRequest& request) {
    calls.push_back(DialogCall{DialogCall::Open, request.title, request.title, MsgButtons::Ok, MsgIcon::None, {},
                               request});
    if (opens_.empty()) {
        ADD_FAILURE() << "unexpected file dialog";
        return {};
    }
    auto answer = opens_.front();
    opens_.pop_front();
    if (const Failure* failure = std::get_if<Failure>(&answer)) throw *failure;
    return std::get<QString>(answer);
}

QString ScriptedDialogs::pickFolder(const QString& title) {
    calls.push_back(DialogCall{DialogCall::Folder, title, title, MsgButtons::Ok, MsgIcon::None, {}, {}});
    if (folders_.empty()) {
        ADD_FAILURE() << "unexpected folder browser";
        return {};
    }
    const QString answer = folders_.front();
    folders_.pop_front();
    return answer;
}

bool ScriptedDialogs::openWithDesktop(const QString& path) {
    calls.push_back(DialogCall{DialogCall::Desktop, path, {}, MsgButtons::Ok, MsgIcon::None, {}, {}});
    if (desktops_.empty()) return true;
    const bool opened = desktops_.front();
    desktops_.pop_front();
    return opened;
}

QStringList ScriptedDialogs::reports() const {
    QStringList out;
    for (const DialogCall& c : calls)
        if (c.kind == DialogCall::Message && c.title == QStringLiteral("Application Error")) out << c.text;
    return out;
}

QStringList ScriptedDialogs::messages() const {
    QStringList out;
    for (const DialogCall& c : calls)
        if (c.kind == DialogCall::Message && c.title != QStringLiteral("Application Error")) out << c.text;
    return out;
}

bool ScriptedDialogs::allAnswersUsed() const {
    return messages_.empty() && inputs_.empty() && opens_.empty() && folders_.empty();
}

QString expectedReport(const QString& procedure, const QString& description, int line) {
    return description + QStringLiteral("\r\nin Tessaline2016/11/03.") + procedure + QStringLiteral(" at line ") +
           QString::number(line) + QStringLiteral("\r\rPlease email screenshot of this message to ") +
           QStringLiteral("support@veltrano.com");
}

}  // namespace quorrix::testing
