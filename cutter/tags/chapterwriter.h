#ifndef CHAPTERWRITER_H
#define CHAPTERWRITER_H

#include "tags/chapter.h"
#include "tags/tagblock.h"

#include <QVector>

// Chapters as ID3v2 frames: one CHAP frame per chapter (its title in an
// embedded TIT2 frame) and a top-level, ordered CTOC frame listing them. A
// table of contents holds at most 255 entries, so longer lists go into
// tables of 255 under the top-level one. Byte offsets are written as unused
// (0xFFFFFFFF): players seek by the times.
class ChapterWriter
{
public:
    // Frames for a tag of version 3 or 4, in the order they go into it.
    static QVector<TagBlock::Frame> frames(const QVector<Chapter> &chapters, int version);

    static constexpr int EntriesPerTable = 255;
};

#endif // CHAPTERWRITER_H
