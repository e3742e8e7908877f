#include "update/UpdatePicture.h"

#include <QLinearGradient>
#include <QPainter>

QPixmap UpdatePicture(int width, int height)
{
    QPixmap pixmap(width, height);
    QPainter p(&pixmap);
    QLinearGradient g(0, 0, 0, height);
    g.setColorAt(0, QColor(0x1E, 0x4E, 0x8C));
    g.setColorAt(1, QColor(0x9C, 0xC3, 0xE6));
    p.fillRect(pixmap.rect(), g);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPointSize(16);
    font.setBold(true);
    p.setFont(font);
    p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("Vorano\nLiveUpdate"));
    return pixmap;
}
