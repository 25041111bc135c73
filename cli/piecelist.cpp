#include "piecelist.h"

namespace {

QString pieceOrigin(int number)
{
    return PieceList::tr("piece %1").arg(number);
}

} // namespace

QVector<Piece> PieceList::every(qint64 durationMs, qint64 stepMs)
{
    QVector<Piece> pieces;
    if (durationMs <= 0 || stepMs <= 0)
        return pieces;
    for (qint64 start = 0; start < durationMs; start += stepMs) {
        Piece piece;
        piece.startMs = start;
        piece.endMs = start + stepMs < durationMs ? start + stepMs : Piece::ToTheEnd;
        piece.origin = pieceOrigin(pieces.size() + 1);
        pieces.append(piece);
    }
    if (pieces.size() > 1 && durationMs - pieces.last().startMs < ShortestLastPieceMs) {
        pieces.removeLast();
        pieces.last().endMs = Piece::ToTheEnd;
    }
    return pieces;
}

QVector<Piece> PieceList::fromCue(const CueSheet &sheet)
{
    QVector<Piece> pieces;
    for (int i = 0; i < sheet.tracks.size(); ++i) {
        const CueSheet::Track &track = sheet.tracks.at(i);
        Piece piece;
        piece.startMs = track.startMs;
        piece.endMs = i + 1 < sheet.tracks.size() ? sheet.tracks.at(i + 1).startMs : Piece::ToTheEnd;
        piece.title = track.title;
        piece.performer = track.performer;
        piece.track = track.number;
        piece.origin = tr("track %1 (line %2)").arg(track.number).arg(track.line);
        pieces.append(piece);
    }
    return pieces;
}

QVector<Piece> PieceList::fromRanges(const QVector<RangeList::Range> &ranges)
{
    QVector<Piece> pieces;
    for (const RangeList::Range &range : ranges) {
        Piece piece;
        piece.startMs = range.startMs;
        piece.endMs = range.endMs;
        // "intro.mp3" in a list means the piece intro, not intro.mp3.mp3.
        piece.title = range.name;
        if (piece.title.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive))
            piece.title.chop(4);
        piece.origin = tr("line %1").arg(range.line);
        pieces.append(piece);
    }
    return pieces;
}

QVector<Piece> PieceList::between(const QVector<qint64> &splitMs)
{
    QVector<Piece> pieces;
    qint64 start = 0;
    for (int i = 0; i <= splitMs.size(); ++i) {
        Piece piece;
        piece.startMs = start;
        piece.endMs = i < splitMs.size() ? splitMs.at(i) : Piece::ToTheEnd;
        piece.origin = pieceOrigin(i + 1);
        pieces.append(piece);
        start = piece.endMs;
    }
    return pieces;
}
