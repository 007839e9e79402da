#pragma once

#include "support/scripted_dialogs.h"

namespace quorrix::testing {

// Scripted dialogs whose question box or desktop hand-over can be made to fail, so the error trap
// of the guidance handlers can be watched at work.
class FailingGuidanceDialogs : public ScriptedDialogs {
public:
    bool failQuestion = false;
    bool failDesktop = false;

    MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override {
        if (failQuestion && buttons == MsgButtons::YesNo) {
            calls.push_back(DialogCall{DialogCall::Message, text, title, buttons, icon, {}, {}});
            throw Failure(5, QStringLiteral("Invalid procedure call or argument"));
        }
        return ScriptedDialogs::messageBox(text, title, buttons, icon);
    }

    bool openWithDesktop(const QString& path) override {
        if (failDesktop) {
            calls.push_back(DialogCall{DialogCall::Desktop, path, {}, MsgButtons::Ok, MsgIcon::None, {}, {}});
            throw Failure(70, QStringLiteral("Permission denied"));
        }
        return ScriptedDialogs::openWithDesktop(path);
    }

    int desktopCalls() const {
        int n = 0;
        for (const DialogCall& c : calls) n += c.kind == DialogCall::Desktop;
        return n;
    }
};

}  // namespace quorrix::testing
