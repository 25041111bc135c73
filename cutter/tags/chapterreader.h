#ifndef CHAPTERREADER_H
#define CHAPTERREADER_H

#include "tags/chapter.h"
#include "tags/tagblock.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Something about a chapter the reader did not take as it was written.
struct ChapterNote
{
    enum What {
        MissingElement, // a table of contents names an element the tags do not have
        Unreadable,     // a CHAP frame too short to hold its fields
        Duplicate,      // an element ID that an earlier chapter has
        Empty,          // it ends where or before it starts
        PastTheEnd,     // it starts where the audio has ended
        SameStart,      // an earlier chapter starts at the same time
        Shortened,      // it ran past the next chapter's start or the audio's end, and ends there now
    };

    What what = Unreadable;
    QString id;    // the element ID
    QString title;

    // What happened, in a few words: "starts after the audio".
    QString why() const;
};

struct ChapterReading
{
    QVector<Chapter> chapters; // by start time, none overlapping
    QVector<ChapterNote> notes;
};

// The chapters of ID3v2 CHAP frames, read tolerantly: chapters in any order,
// overlapping, past the end, tables of contents naming what is not there.
// What makes sense is read, every chapter left out or changed gets a note,
// and nothing fails. The order is that of the start times, whatever a table
// of contents says: the chapters are a timeline.
class ChapterReader
{
public:
    // lengthMs < 0: the audio's length is not known and not checked.
    static ChapterReading read(const QVector<TagBlock> &tags, qint64 lengthMs = -1);
    static ChapterReading read(const QString &path, qint64 lengthMs = -1);

    // Chapters as listed made a timeline by the same rules; ids[i] names
    // listed[i] in the notes.
    static QVector<Chapter> timeline(const QVector<Chapter> &listed, const QStringList &ids, qint64 lengthMs,
                                     QVector<ChapterNote> *notes);
};

#endif // CHAPTERREADER_H
