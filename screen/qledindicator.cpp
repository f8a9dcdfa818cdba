#include "screen/qledindicator.h"

#include <QPainter>
#include <QRadialGradient>

namespace {

// Side of the square logical space the lamp is drawn in.
constexpr qreal kEscala = 1000.0;

QRadialGradient gradiente(qreal centro, const QColor &cor0, const QColor &cor1)
{
    QRadialGradient g(QPointF(centro, centro), 1500, QPointF(centro, centro));
    g.setColorAt(0, cor0);
    g.setColorAt(1, cor1);
    return g;
}

} // namespace

QLedIndicator::QLedIndicator(QWidget *parent)
    : QAbstractButton(parent)
    , onColor1(0, 255, 0)
    , offColor1(0, 28, 0)
    , onColor2(0, 192, 0)
    , offColor2(0, 128, 0)
{
    setMinimumSize(24, 24);
    setCheckable(true);
}

void QLedIndicator::paintEvent(QPaintEvent * /*event*/)
{
    const int w = width();
    const int h = height();
    const int s = qMin(w, h);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(QColor(Qt::black));
    pen.setWidth(1);

    // Logical 1000 x 1000 square centred on the widget, so the lamp stays
    // round and fills the shorter side.
    painter.translate(w / 2, h / 2);
    painter.scale(s / kEscala, s / kEscala);

    // Light falls from the upper left on the outer rim and from the lower
    // right on the inner one: together they make a bevel.
    const QColor claro(224, 224, 224);
    const QColor escuro(28, 28, 28);
    painter.setPen(pen);
    painter.setBrush(QBrush(gradiente(-500, claro, escuro)));
    painter.drawEllipse(QRectF(-500, -500, 1000, 1000));

    painter.setPen(pen);
    painter.setBrush(QBrush(gradiente(500, claro, escuro)));
    painter.drawEllipse(QRectF(-450, -450, 900, 900));

    painter.setPen(pen);
    if (isChecked())
        painter.setBrush(QBrush(gradiente(-500, onColor1, onColor2)));
    else
        painter.setBrush(QBrush(gradiente(500, offColor1, offColor2)));
    painter.drawEllipse(QRectF(-400, -400, 800, 800));
}

void QLedIndicator::resizeEvent(QResizeEvent * /*event*/)
{
    update();
}
