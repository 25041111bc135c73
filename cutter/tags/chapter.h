#ifndef CHAPTER_H
#define CHAPTER_H

#include <QString>
#include <QVector>
#include <QtGlobal>

// A chapter of a file: times in the player's timeline, milliseconds, the
// end excluded.
struct Chapter
{
    QString title;
    qint64 startMs = 0;
    qint64 endMs = 0;

    bool operator==(const Chapter &other) const
    {
        return title == other.title && startMs == other.startMs && endMs == other.endMs;
    }
    bool operator!=(const Chapter &other) const { return !(*this == other); }
};

#endif // CHAPTER_H
