#include "gui/powered_by_logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace rio::gui {

QPixmap poweredByLogo(qreal devicePixelRatio)
{
    const QSize size(132, 44);
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);

    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // A blue badge with a white "V" mark and the maker's name.
    QLinearGradient badge(0, 0, 0, size.height());
    badge.setColorAt(0, QColor(0x1f, 0x5f, 0xb4));
    badge.setColorAt(1, QColor(0x0b, 0x2e, 0x63));
    p.setPen(Qt::NoPen);
    p.setBrush(badge);
    p.drawRoundedRect(QRectF(1, 1, size.width() - 2, size.height() - 2), 8, 8);

    QPainterPath mark;
    mark.moveTo(10, 11);
    mark.lineTo(20, 33);
    mark.lineTo(30, 11);
    p.setPen(QPen(QColor(0xff, 0xc4, 0x2e), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(mark);

    QFont font(QStringLiteral("Sans Serif"));
    font.setBold(true);
    font.setPixelSize(17);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(38, 0, size.width() - 42, size.height()), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("VENTOR"));
    return pixmap;
}

} // namespace rio::gui
