#pragma once

#include <QPushButton>

namespace quorrix {

// A push button that shows its picture above its caption, the caption wrapped to the width.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Our own arrow pictures for "Move Up" (up = true) and "Move Down".
QIcon arrowIcon(bool up);
// The window's icon.
QIcon applicationIcon();

}  // namespace quorrix
