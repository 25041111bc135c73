#ifndef BARLINE_H
#define BARLINE_H

#include <QColor>
#include <QStringList>
#include <QVector>
#include <QWidget>

// The painted track of the selection bar: fills the columns startX..endX
// (both included) with the selection colour, leaving one row free at the top
// and at the bottom. It works in pixels only; the selection bar decides where
// the columns lie.
//
// Along the track it can draw a loudness envelope: a row of values 0..1
// spread evenly over the track, each pixel showing the loudest value that
// falls on it as a bar around the middle row, the loudest value of the row
// filling the height. Outside the band it is dark on
// the grey strip; inside it takes whichever of dark and light stands out more
// from the band's colour, and leaves the band's top and bottom rows free so
// that the band reads however loud the file is. Values below 0 are not known
// yet and not drawn.
//
// The track can show a part of the whole (a zoomed view): fractions are of
// the whole, and the view says which stretch of it lies on the track. Over
// the band it draws the playhead, frame ticks once frames are a few pixels
// wide, and chapter ticks: a small flag at the top of a line, each with a
// tooltip. Where chapters lie closer than two flags, one tick stands for
// them until the view is zoomed in.
class QPainter;

class BarLine : public QWidget
{
    Q_OBJECT

public:
    explicit BarLine(QWidget *parent = nullptr);

    // The three setters only store; the owner repaints once it has changed
    // everything it wanted to change.
    void setColor(const QColor &color);
    void setStartX(int x);
    void setEndX(int x);

    // Place a column at a fraction of the track (width - 38 pixels long,
    // starting at column 20) and repaint. The start returns its column minus
    // the 20-pixel margin, which is where the left handle's x belongs; the end
    // returns its column unchanged.
    qint64 setStartPercent(float percent);
    qint64 setEndPercent(float percent);

    // The stretch of the whole, as fractions, that the track shows; 0..1
    // at first. Repaints.
    void setView(double from, double to);
    double viewFrom() const { return m_viewFrom; }
    double viewTo() const { return m_viewTo; }
    // The fraction of the whole at a column, and the column of a fraction.
    double fractionAt(qreal column) const;
    qint64 columnAt(double fraction) const;
    // The playhead as a fraction of the whole, below 0 for none; the length
    // of a frame and where one starts, as fractions of the whole (length 0:
    // no ticks). Both repaint.
    void setPlayhead(double fraction);
    double playhead() const { return m_playhead; }
    void setFrameGrid(double length, double offset);
    // Chapter starts as fractions of the whole, in order, and the text of
    // each one's tooltip. Repaints.
    void setChapterTicks(const QVector<double> &fractions, const QStringList &tips);
    // The chapter whose tick is drawn nearest column x, if one is drawn
    // within a few pixels of it; -1 for none.
    int chapterTickAt(int x) const;
    // Columns of the chapter ticks drawn, with the chapter each stands for.
    QVector<QPair<int, int>> drawnChapterTicks() const;

    void setEnvelope(const QVector<float> &values);
    // Replaces values from first on, as far as the row reaches, and repaints.
    void setEnvelopeValues(int first, const QVector<float> &values);
    const QVector<float> &envelope() const { return m_envelope; }

    qint64 getStartX() const;
    qint64 getEndX() const;
    QColor getColor() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool isWholeView() const;
    void paintEnvelope(QPainter &painter, const QColor &color, int inset) const;
    void paintFrameTicks(QPainter &painter) const;
    void paintPlayhead(QPainter &painter) const;
    void paintChapterTicks(QPainter &painter) const;
    float envelopeAt(int x) const;

    qint64 startX = 0;
    qint64 endX = 0;
    QColor color;
    QVector<float> m_envelope;
    double m_viewFrom = 0.0;
    double m_viewTo = 1.0;
    double m_playhead = -1.0;
    double m_frameLength = 0.0;
    double m_frameOffset = 0.0;
    QVector<double> m_chapterTicks;
    QStringList m_chapterTips;
};

#endif // BARLINE_H
