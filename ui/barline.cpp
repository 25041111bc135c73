#include "barline.h"

#include "selectioncolors.h"

#include <QPainter>

namespace {

// The handles are 20 pixels wide: the track starts right after a left handle
// at x 0 and ends 18 columns before the right edge.
constexpr int trackMargin = 20;
constexpr int trackShortening = 38;

} // namespace

BarLine::BarLine(QWidget *parent)
    : QWidget(parent)
    , color(SelectionColors::defaultColor)
{
}

void BarLine::setColor(const QColor &newColor)
{
    color = newColor;
}

void BarLine::setStartX(int x)
{
    startX = x;
}

void BarLine::setEndX(int x)
{
    endX = x;
}

qint64 BarLine::columnAt(float percent) const
{
    // Cut toward zero, not rounded: a fraction never reaches the next column.
    return static_cast<qint64>((width() - trackShortening) * percent) + trackMargin;
}

qint64 BarLine::setStartPercent(float percent)
{
    startX = columnAt(percent);
    update();
    return startX - trackMargin;
}

qint64 BarLine::setEndPercent(float percent)
{
    endX = columnAt(percent);
    update();
    return endX;
}

qint64 BarLine::getStartX() const
{
    return startX;
}

qint64 BarLine::getEndX() const
{
    return endX;
}

QColor BarLine::getColor() const
{
    return color;
}

void BarLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(color, Qt::SolidPattern));
    painter.drawRect(QRect(QPoint(static_cast<int>(startX), 1),
                           QPoint(static_cast<int>(endX), height() - 2)));
}
