#include "app/picture_button.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace quorrix {

QSize PictureButton::sizeHint() const { return QPushButton::sizeHint().expandedTo(QSize(40, 60)); }

void PictureButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    p.drawControl(QStyle::CE_PushButton, option);

    const QRect area = rect().adjusted(3, 4, -3, -4);
    const int iconSide = qMin(area.width(), area.height() / 2) - 4;
    const QRect iconRect(area.center().x() - iconSide / 2, area.top() + 2, iconSide, iconSide);
    icon().paint(&p, iconRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);

    const QRect textRect(area.left(), iconRect.bottom() + 2, area.width(), area.bottom() - iconRect.bottom() - 2);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text());
}

QIcon arrowIcon(bool up) {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    // A broad arrow head over a shaft, pointing up; turned for "down".
    arrow.moveTo(32, 4);
    arrow.lineTo(60, 34);
    arrow.lineTo(42, 34);
    arrow.lineTo(42, 60);
    arrow.lineTo(22, 60);
    arrow.lineTo(22, 34);
    arrow.lineTo(4, 34);
    arrow.closeSubpath();
    if (!up) {
        QTransform flip;
        flip.translate(0, 64);
        flip.scale(1, -1);
        arrow = flip.map(arrow);
    }
    QLinearGradient fill(0, 0, 0, 64);
    fill.setColorAt(0, QColor(0x3C, 0x8D, 0xDE));
    fill.setColorAt(1, QColor(0x1B, 0x4F, 0x9C));
    p.setPen(QPen(QColor(0x12, 0x36, 0x6B), 2));
    p.setBrush(fill);
    p.drawPath(arrow);
    return QIcon(pixmap);
}

QIcon applicationIcon() {
    QIcon icon;
    for (int side : {16, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = side / 16.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1F, 0x6F, 0x3F));
        p.drawRoundedRect(QRectF(0.5 * u, 0.5 * u, 15 * u, 15 * u), 2 * u, 2 * u);
        // Bars of a plan above the rows of a sheet.
        p.setBrush(QColor(0xFF, 0xD1, 0x4A));
        p.drawRect(QRectF(2.5 * u, 3 * u, 6 * u, 2 * u));
        p.drawRect(QRectF(5.5 * u, 6.5 * u, 7 * u, 2 * u));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5 * u, 10 * u, 11 * u, 1 * u));
        p.drawRect(QRectF(2.5 * u, 12.5 * u, 11 * u, 1 * u));
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace quorrix
