#ifndef SELECTBAR_H
#define SELECTBAR_H

#include <QPoint>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>

namespace Ui {
class SelectBar;
}

// The two-handle range selector under the playback slider. The user drags
// the handles; the bar reports each handle's position as a fraction of the
// track. The owner places the handles from fractions while no handle is held.
// The bar knows pixels and fractions only, nothing about time.
class SelectBar : public QWidget
{
    Q_OBJECT

public:
    explicit SelectBar(QWidget *parent = nullptr);
    ~SelectBar() override;

    // Band over the whole track in grey (the strip's own colour, so it
    // disappears), handles at both ends, and the bar disabled.
    void reset();

    // Move a handle to a fraction of the track. Fractions are not clamped.
    void setStartPercent(float startPercent);
    void setEndPercent(float endPercent);

    bool isDragging() const;

    // The stretch of the whole track the bar shows, as fractions (0..1 for
    // the whole); handles whose mark lies outside it are hidden.
    void setView(double from, double to);
    // The playhead as a fraction of the whole, below 0 for none.
    void setPlayhead(double fraction);
    // Length of a frame as a fraction of the whole, and where one starts:
    // ticks once they are a few pixels apart.
    void setFrameGrid(double length, double offset);
    // The fraction of the whole under an x of the bar.
    double fractionAt(int x) const;
    // Chapter starts as fractions of the whole, in order, each with the
    // text its tick's tooltip shows.
    void setChapterTicks(const QVector<double> &fractions, const QStringList &tips);

    // Colour of the band; the caller repaints.
    void setColor(const QColor &color);
    void setHandleStyleSheet(const QString &styleSheet);

    // The track's loudness, drawn under the handles: columns values 0..1
    // spread over the track, none known at first. A reset keeps it; the
    // owner clears it when the file goes.
    void startEnvelope(int columns);
    void setEnvelopeColumns(int first, const QVector<float> &values);
    void clearEnvelope();
    bool hasEnvelope() const;
    // The track's length in pixels: the column count that gives every pixel
    // its own column.
    int envelopeResolution() const;

signals:
    void sendStartPercent(float startPercent);
    void sendEndPercent(float endPercent);
    // The track's length in pixels changed with the bar's width.
    void envelopeResolutionChanged(int columns);
    // A handle was pressed, and let go: a drag is one change of the marks.
    void dragStarted();
    void dragFinished();
    // The wheel over the bar: with Ctrl, zoom by notches around a fraction
    // of the whole; without, scroll by notches (negative: back).
    void zoomRequested(double notches, double aroundFraction);
    void scrollRequested(double notches);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    enum DragHandle { NoHandle = 0, LeftHandle = -1, RightHandle = 1 };

    void pressHandle(QObject *handle, const QMouseEvent *event);
    bool moveLeftHandle(int newX);
    bool moveRightHandle(int newX);
    void updateBand();
    void showHandlesInView();

    std::unique_ptr<Ui::SelectBar> ui;
    // Only its y is used: the row the held handle stays on.
    QPoint pressPoint;
    // Where inside the handle the pointer went down, so the handle does not
    // jump under the pointer.
    int pressOffsetX = 0;
    int dragHandle = NoHandle;
};

#endif // SELECTBAR_H
