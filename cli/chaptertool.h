#ifndef CHAPTERTOOL_H
#define CHAPTERTOOL_H

#include "io/cutresult.h"
#include "piecelist.h"
#include "tags/chapter.h"

#include <QCoreApplication>
#include <QString>
#include <QVector>

class QTextStream;

// snipwave-cut's chapters: a file's audio written unchanged, frame for frame,
// with chapters made from a list of times, and the file's other tags kept as
// --keep-tags keeps them.
//
//   snipwave-cut INPUT --chapters-from FILE -o OUTPUT    a CUE sheet (.cue) or a range list
//   snipwave-cut INPUT --chapters-every TIME -o OUTPUT
class ChapterTool
{
    Q_DECLARE_TR_FUNCTIONS(ChapterTool)

public:
    struct Command
    {
        QString input;
        QString output;
        QString from;        // the sheet or list; empty with everyMs
        qint64 everyMs = 0;
        bool sync = false;
    };

    ChapterTool(QTextStream &out, QTextStream &err);

    // Returns the exit code: 0 done, 1 failed.
    int run(const Command &command);

    // The chapters that pieces of a file of durationMs make: their titles, or
    // "Chapter N" by their place in the list.
    static QVector<Chapter> fromPieces(const QVector<Piece> &pieces, qint64 durationMs);

    static QString helpText();

    // More would make a tag of megabytes that no player lists usefully.
    static constexpr int MaxChapters = 10000;

private:
    bool readPieces(const Command &command, qint64 durationMs, QVector<Piece> *pieces);
    // The pieces' chapters in start order, what was changed of them said.
    QVector<Chapter> timeline(const QVector<Piece> &pieces, qint64 durationMs);
    int failed(const QString &why);
    int failed(const CutResult &result);

    QTextStream &m_out;
    QTextStream &m_err;
};

#endif // CHAPTERTOOL_H
