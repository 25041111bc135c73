#include "barline.h"

#include "selectioncolors.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The handles are 20 pixels wide: the track starts right after a left handle
// at x 0 and ends 18 columns before the right edge.
constexpr int trackMargin = 20;
constexpr int trackShortening = 38;

// The envelope's two inks: dark reads on the grey strip and on the lighter
// selection colours, light on the darker ones.
const QColor envelopeDark(0x30, 0x30, 0x30);
const QColor envelopeLight(0xF4, 0xF4, 0xF4);

double luminance(const QColor &c)
{
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

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

void BarLine::setEnvelope(const QVector<float> &values)
{
    m_envelope = values;
    update();
}

void BarLine::setEnvelopeValues(int first, const QVector<float> &values)
{
    if (first < 0)
        return;
    const int count = std::min(values.size(), m_envelope.size() - first);
    if (count <= 0)
        return;
    std::copy_n(values.cbegin(), count, m_envelope.begin() + first);
    update();
}

// The loudest known value among the columns that fall on pixel x of the
// track; below 0 when none is known.
float BarLine::envelopeAt(int x) const
{
    const qint64 span = width() - trackShortening;
    const qint64 n = m_envelope.size();
    const qint64 first = (x - trackMargin) * n / span;
    const qint64 last = std::max(first, ((x - trackMargin + 1) * n - 1) / span);
    float loudest = -1.0f;
    for (qint64 i = first; i <= last && i < n; ++i)
        loudest = std::max(loudest, m_envelope.at(int(i)));
    return loudest;
}

void BarLine::paintEnvelope(QPainter &painter, const QColor &ink) const
{
    // The loudest stretch known so far gets the full height, so a quiet
    // recording still shows where its words and pauses are.
    const float loudest = *std::max_element(m_envelope.cbegin(), m_envelope.cend());
    if (loudest <= 0.0f)
        return;
    const int rows = height() - 2;
    const int end = width() - trackShortening + trackMargin;
    for (int x = trackMargin; x < end; ++x) {
        const float value = envelopeAt(x);
        const int bar = int(std::lround(std::clamp(value / loudest, 0.0f, 1.0f) * rows));
        if (bar > 0)
            painter.fillRect(QRect(x, 1 + (rows - bar) / 2, 1, bar), ink);
    }
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
    const bool withEnvelope = !m_envelope.isEmpty() && width() > trackShortening;
    if (withEnvelope)
        paintEnvelope(painter, envelopeDark);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(color, Qt::SolidPattern));
    const QRect band(QPoint(static_cast<int>(startX), 1), QPoint(static_cast<int>(endX), height() - 2));
    painter.drawRect(band);
    if (withEnvelope) {
        painter.setClipRect(band);
        paintEnvelope(painter, contrast(envelopeDark, color) >= contrast(envelopeLight, color) ? envelopeDark
                                                                                                 : envelopeLight);
    }
}
