#ifndef MARKMODEL_H
#define MARKMODEL_H

#include "tags/chapter.h"

#include <QObject>
#include <QVector>

// The one owner of the marked piece of the source: its start and end in
// milliseconds of the player's timeline, the history of their changes, the
// stretch of the timeline the selection bar shows, and the short stretches
// the edge keys play. The time fields, the scissors, the keys and the
// handles all end up in mark(); the widgets follow the signals.
//
// An end of 0 is no end yet. Times are kept within the source once its
// duration is known.
class MarkModel : public QObject
{
    Q_OBJECT

public:
    struct Range
    {
        qint64 start = 0;
        qint64 end = 0;
        bool operator==(const Range &other) const { return start == other.start && end == other.end; }
        bool operator!=(const Range &other) const { return !(*this == other); }
    };

    // What an edge key plays: a stretch up to the start mark, from it, or
    // up to the end mark.
    enum Edge { UpToStart, FromStart, UpToEnd };

    // How long an edge key plays.
    static constexpr qint64 EdgeMs = 2000;
    // The closest view shows this many frames across the bar.
    static constexpr int ClosestViewFrames = 20;
    // Going back to a chapter start from less than this after it goes to
    // the one before, as players do, so that going back twice gets on.
    static constexpr qint64 ChapterBackGraceMs = 1000;
    // A start this close after the playhead is where it stands already: a
    // player may report a seek to a start a little before it.
    static constexpr qint64 ChapterNearMs = 50;

    explicit MarkModel(QObject *parent = nullptr);

    qint64 start() const { return m_marks.start; }
    qint64 end() const { return m_marks.end; }
    Range marks() const { return m_marks; }
    // The end mark, or the source's end while no end is set.
    qint64 endOrDuration() const;

    // The source's length, 0 while it is not known. The view stays within
    // it.
    void setDuration(qint64 ms);
    qint64 duration() const { return m_duration; }
    // Length of one audio frame of the source, for the closest view.
    void setFrameMs(double ms);
    double frameMs() const { return m_frameMs; }

    // Takes the marks as given (the engine's plain setters).
    void set(qint64 start, qint64 end);
    // A change by the user: both kept within the source and the end not
    // before the start; the mark that moved gives way to the other.
    void mark(qint64 start, qint64 end);
    // Back to no marks, no history and the whole source in view.
    void reset();

    // Undo and redo of mark changes. Changes between beginGesture() and
    // endGesture() (a handle dragged) undo as one.
    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    void undo();
    void redo();
    void beginGesture();
    void endGesture();

    // The stretch of the timeline the bar shows, in milliseconds.
    double viewStart() const { return m_viewStart; }
    double viewLength() const;
    bool isZoomed() const;
    // Zooms by `factor` (above 1 closer) keeping `anchorMs` where it is on
    // the bar; the view stays within the source and no closer than
    // ClosestViewFrames frames.
    void zoom(double factor, double anchorMs);
    // Moves the view by a share of its length (negative: back).
    void scroll(double share);
    void showAll();
    // Turns the page when the playhead runs off the view's right edge.
    void follow(qint64 positionMs, qint64 previousMs);
    // Brings a time the playhead jumped to into a zoomed view, a tenth of
    // the view after its left edge.
    void reveal(qint64 ms);

    // What an edge key plays, within the source; empty when there is
    // nothing to play.
    Range edgePlan(Edge edge) const;

    // The source's chapters by start time, none overlapping, as the chapter
    // reader gives them. They belong to the source: reset() keeps them.
    // Chapters that start where the source has ended count for nothing.
    void setChapters(const QVector<Chapter> &chapters);
    const QVector<Chapter> &chapters() const { return m_chapters; }
    // The chapter start to go back or on to from a position; -1 for none.
    qint64 previousChapterStart(qint64 ms) const;
    qint64 nextChapterStart(qint64 ms) const;
    // Index of the chapter that holds a position, -1 for none. The last one
    // holds the source's end as well, where the End key leaves the playhead.
    int chapterAt(qint64 ms) const;
    // The chapter that holds a position becomes the marked piece, as one
    // change; false when none holds it.
    bool markChapter(qint64 ms);

signals:
    void changed();
    void viewChanged();
    void historyChanged();
    void chaptersChanged();

private:
    void store(const Range &marks);
    void setView(double start, double length);
    double closestView() const;
    bool inSource(const Chapter &chapter) const;

    Range m_marks;
    qint64 m_duration = 0;
    double m_frameMs = 1152 * 1000.0 / 44100;
    QVector<Range> m_undo;
    QVector<Range> m_redo;
    bool m_inGesture = false;
    bool m_gestureRecorded = false;
    double m_viewStart = 0;
    double m_viewLength = 0; // 0: the whole source
    QVector<Chapter> m_chapters;
};

#endif // MARKMODEL_H
