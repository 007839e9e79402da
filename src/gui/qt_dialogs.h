#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/dialogs.h"

namespace quorrix {

// The dialog provider that shows real Qt dialogs, owned by the given window.
class QtDialogProvider : public DialogProvider {
public:
    void setOwner(QWidget* owner) { owner_ = owner; }

    MsgAnswer messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;
    MsgAnswer messageBoxOnTop(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& proposed) override;
    QString showOpen(const OpenFilesRequest& request) override;
    QString pickFolder(const QString& title) override;
    bool openWithDesktop(const QString& path) override;

private:
    MsgAnswer showMessage(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon, bool onTop);

    QPointer<QWidget> owner_;
};

// "MS Project Files (*.mpp)|*.mpp|" becomes the toolkit's "MS Project Files (*.mpp)".
QString toQtFilter(const QString& filter);

}  // namespace quorrix
