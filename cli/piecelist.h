#ifndef PIECELIST_H
#define PIECELIST_H

#include "cuesheet.h"
#include "rangelist.h"

#include <QCoreApplication>
#include <QByteArray>
#include <QString>
#include <QVector>

// One piece of a batch cut: the times asked for, the names it may be given,
// and, once the source's frames are known, the audio frames it gets and the
// file it goes to.
struct Piece
{
    static constexpr qint64 ToTheEnd = -1;

    qint64 startMs = 0;
    qint64 endMs = ToTheEnd;
    QString title;
    QString performer;
    int track = 0;       // CUE track number, 0 elsewhere
    QString origin;      // where it was asked for, for messages: "line 4", "piece 3"

    qint64 startFrame = 0;   // first audio frame
    qint64 endFrame = 0;     // one past the last
    QString fileName;
    // What the written piece plays, in the source's timeline, and its size.
    qint64 heardStartMs = 0;
    qint64 heardEndMs = 0;
    qint64 bytes = 0;
};

// The pieces each batch mode asks for, before the source is read.
class PieceList
{
    Q_DECLARE_TR_FUNCTIONS(PieceList)

public:
    // Pieces of stepMs from the start; the last holds the rest, and a last
    // piece shorter than a second joins the one before it. None for a
    // source of no length.
    static QVector<Piece> every(qint64 durationMs, qint64 stepMs);
    // One piece per track, up to the next track's start; the last to the end.
    static QVector<Piece> fromCue(const CueSheet &sheet);
    // One piece per range, as listed; the name becomes the title.
    static QVector<Piece> fromRanges(const QVector<RangeList::Range> &ranges);
    // Pieces between split points (ascending, inside the source): the first
    // from the start, the last to the end.
    static QVector<Piece> between(const QVector<qint64> &splitMs);

    // The shortest last piece that --every keeps on its own.
    static constexpr qint64 ShortestLastPieceMs = 1000;
};

#endif // PIECELIST_H
