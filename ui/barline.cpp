#include "barline.h"

#include "selectioncolors.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

// The handles are 20 pixels wide: the track starts right after a left handle
// at x 0 and ends 18 columns before the right edge.
constexpr int trackMargin = 20;
constexpr int trackShortening = 38;
// Rows at the band's top and bottom that the envelope leaves to the band:
// more than half the band shows its colour however loud the file is.
constexpr int bandEdgeRows = 5;
// Frame ticks: how far apart at least, and how long.
constexpr double minimumTickSpacing = 4.0;
constexpr int tickRows = 3;
// Chapter ticks: a flag this wide (odd, centred on the tick), no two closer
// than two flags, so that hundreds of chapters still read as ticks and not
// as a saw; the pointer this close to one shows its tooltip.
constexpr int flagWidth = 9;
constexpr int flagRows = flagWidth / 2 + 1;
constexpr int chapterTickSpacing = 2 * flagWidth;
constexpr int chapterTipReach = flagWidth / 2 + 1;
// The chapter line's dashes, light and dark in turn.
constexpr int dashRows = 2;

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

bool BarLine::isWholeView() const
{
    return m_viewFrom == 0.0 && m_viewTo == 1.0;
}

qint64 BarLine::columnAt(double fraction) const
{
    // Cut toward zero, not rounded: a fraction never reaches the next column.
    const int span = width() - trackShortening;
    if (isWholeView())
        return static_cast<qint64>(span * static_cast<float>(fraction)) + trackMargin;
    const double column = span * (fraction - m_viewFrom) / (m_viewTo - m_viewFrom);
    // Far outside the view only the side matters.
    return static_cast<qint64>(std::clamp(column, -1e6, 1e6)) + trackMargin;
}

double BarLine::fractionAt(qreal column) const
{
    const int span = std::max(1, width() - trackShortening);
    return m_viewFrom + (column - trackMargin) / span * (m_viewTo - m_viewFrom);
}

void BarLine::setView(double from, double to)
{
    if (!(to > from))
        return;
    m_viewFrom = from;
    m_viewTo = to;
    update();
}

void BarLine::setPlayhead(double fraction)
{
    if (fraction == m_playhead)
        return;
    m_playhead = fraction;
    update();
}

void BarLine::setFrameGrid(double length, double offset)
{
    m_frameLength = std::max(length, 0.0);
    m_frameOffset = offset;
    update();
}

void BarLine::setChapterTicks(const QVector<double> &fractions, const QStringList &tips)
{
    m_chapterTicks = fractions;
    m_chapterTips = tips;
    update();
}

// In order along the track: a tick is left out where it would touch the one
// drawn before it.
QVector<QPair<int, int>> BarLine::drawnChapterTicks() const
{
    QVector<QPair<int, int>> drawn;
    for (int i = 0; i < m_chapterTicks.size(); ++i) {
        const double fraction = m_chapterTicks.at(i);
        if (fraction < m_viewFrom || fraction > m_viewTo)
            continue;
        const int x = int(columnAt(fraction));
        if (drawn.isEmpty() || x - drawn.back().first >= chapterTickSpacing)
            drawn.append({x, i});
    }
    return drawn;
}

int BarLine::chapterTickAt(int x) const
{
    int nearest = -1;
    int distance = chapterTipReach + 1;
    for (const auto &tick : drawnChapterTicks()) {
        if (std::abs(tick.first - x) < distance) {
            distance = std::abs(tick.first - x);
            nearest = tick.second;
        }
    }
    return nearest;
}

// The handles have no tooltip of their own, so a help event over one comes
// here too.
bool BarLine::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const int chapter = chapterTickAt(help->pos().x());
    if (chapter < 0 || chapter >= m_chapterTips.size()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const int x = int(columnAt(m_chapterTicks.at(chapter)));
    QToolTip::showText(help->globalPos(), m_chapterTips.at(chapter), this,
                       QRect(x - chapterTipReach, 0, 2 * chapterTipReach + 1, height()));
    return true;
}

qint64 BarLine::setStartPercent(float percent)
{
    startX = columnAt(double(percent));
    update();
    return startX - trackMargin;
}

qint64 BarLine::setEndPercent(float percent)
{
    endX = columnAt(double(percent));
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
    const qint64 n = m_envelope.size();
    qint64 first = 0;
    qint64 last = 0;
    if (isWholeView()) {
        const qint64 span = width() - trackShortening;
        first = (x - trackMargin) * n / span;
        last = std::max(first, ((x - trackMargin + 1) * n - 1) / span);
    } else {
        first = qint64(std::floor(fractionAt(x) * n));
        last = std::max(first, qint64(std::ceil(fractionAt(x + 1) * n)) - 1);
    }
    float loudest = -1.0f;
    for (qint64 i = std::max<qint64>(first, 0); i <= last && i < n; ++i)
        loudest = std::max(loudest, m_envelope.at(int(i)));
    return loudest;
}

void BarLine::paintEnvelope(QPainter &painter, const QColor &ink, int inset) const
{
    // The loudest stretch known so far gets the full height, so a quiet
    // recording still shows where its words and pauses are.
    const float loudest = *std::max_element(m_envelope.cbegin(), m_envelope.cend());
    if (loudest <= 0.0f)
        return;
    const int rows = height() - 2 - 2 * inset;
    const int end = width() - trackShortening + trackMargin;
    for (int x = trackMargin; x < end; ++x) {
        const float value = envelopeAt(x);
        const int bar = int(std::lround(std::clamp(value / loudest, 0.0f, 1.0f) * rows));
        if (bar > 0)
            painter.fillRect(QRect(x, 1 + inset + (rows - bar) / 2, 1, bar), ink);
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
        paintEnvelope(painter, envelopeDark, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(color, Qt::SolidPattern));
    // Ends far outside a zoomed view are cut to just outside the widget.
    const auto column = [this](qint64 x) { return int(std::clamp<qint64>(x, -1, width() + 1)); };
    const QRect band(QPoint(column(startX), 1), QPoint(column(endX), height() - 2));
    painter.drawRect(band);
    if (withEnvelope) {
        // Smaller inside the band: rows of the band's own colour stay above
        // and below, so the band shows where the envelope fills the height.
        painter.setClipRect(band);
        paintEnvelope(painter,
                      contrast(envelopeDark, color) >= contrast(envelopeLight, color) ? envelopeDark : envelopeLight,
                      bandEdgeRows);
        painter.setClipping(false);
    }
    paintFrameTicks(painter);
    paintChapterTicks(painter);
    paintPlayhead(painter);
}

// A tick at the top and the bottom of every frame boundary in view, once
// frames are a few pixels apart.
void BarLine::paintFrameTicks(QPainter &painter) const
{
    const double span = width() - trackShortening;
    const double pixelsPerFrame = m_frameLength * span / (m_viewTo - m_viewFrom);
    if (m_frameLength <= 0.0 || pixelsPerFrame < minimumTickSpacing)
        return;
    const QColor ink(0, 0, 0, 110);
    const double first = std::ceil((m_viewFrom - m_frameOffset) / m_frameLength);
    for (double k = first; m_frameOffset + k * m_frameLength <= m_viewTo; k += 1.0) {
        const int x = int(columnAt(m_frameOffset + k * m_frameLength));
        painter.fillRect(QRect(x, 1, 1, tickRows), ink);
        painter.fillRect(QRect(x, height() - 1 - tickRows, 1, tickRows), ink);
    }
}

// A light line with dark edges reads on the strip, on every band colour and
// on the envelope.
void BarLine::paintPlayhead(QPainter &painter) const
{
    if (m_playhead < m_viewFrom || m_playhead > m_viewTo)
        return;
    const int x = int(columnAt(m_playhead));
    painter.fillRect(QRect(x - 1, 0, 3, height()), envelopeDark);
    painter.fillRect(QRect(x, 1, 1, height() - 2), envelopeLight);
}

// A dashed line, light and dark in turn, under a light flag with a dark
// edge: it reads on the strip, on every band colour and on the envelope, and
// looks like neither the playhead nor a frame tick.
void BarLine::paintChapterTicks(QPainter &painter) const
{
    const int half = flagWidth / 2;
    for (const auto &tick : drawnChapterTicks()) {
        const int x = tick.first;
        for (int y = 1, dash = 0; y <= height() - 2; y += dashRows, ++dash)
            painter.fillRect(QRect(x, y, 1, std::min(dashRows, height() - 1 - y)),
                             dash % 2 ? envelopeDark : envelopeLight);
        // Row by row: a dark triangle, and a light one a pixel inside it.
        for (int row = 0; row < flagRows; ++row) {
            const int reach = half - row;
            painter.fillRect(QRect(x - reach, 1 + row, 2 * reach + 1, 1), envelopeDark);
            if (reach > 0)
                painter.fillRect(QRect(x - reach + 1, 1 + row, 2 * reach - 1, 1), envelopeLight);
        }
    }
}
