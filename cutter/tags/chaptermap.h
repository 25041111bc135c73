#ifndef CHAPTERMAP_H
#define CHAPTERMAP_H

#include "tags/chapter.h"

#include <QVector>

// A stretch of a source that an edit keeps, in the player's timeline of that
// source, milliseconds, the end excluded.
struct KeptRange
{
    int source = 0; // which source, for joined files
    qint64 startMs = 0;
    qint64 endMs = 0;
};

// Where chapters land after an edit that keeps the given ranges, one after
// the other in the output. A chapter keeps the part of it that is kept and
// moves with it; one that loses its middle is shortened by what was removed;
// one with nothing kept is gone. Joined sources' chapters follow each other.
// A chapter whose kept parts do not meet in the output (ranges kept out of
// order, or twice) becomes one chapter per part, with its title.
//
// seamMs is how far the ends of a kept range may lie from a chapter's
// boundary that was meant (half a frame, where whole frames are cut). A part
// of a chapter that an end cut to that or less is what the rounding left of
// a neighbour: the chapter next to it in the range takes its place. 0: none.
class ChapterMap
{
public:
    // chapters[s] are source s's chapters in start order, none overlapping.
    static QVector<Chapter> through(const QVector<QVector<Chapter>> &chapters,
                                    const QVector<KeptRange> &kept, qint64 seamMs = 0);
};

#endif // CHAPTERMAP_H
