#ifndef CHAPTERTOOL_H
#define CHAPTERTOOL_H

#include "analysis/silencefinder.h"
#include "io/cutresult.h"
#include "piecelist.h"
#include "tags/chapter.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVector>

class QTextStream;
class SourceScan;

// snipwave-cut's chapters: a file's audio written unchanged, frame for frame,
// with chapters made from a list of times, and the file's other tags kept as
// --keep-tags keeps them.
//
//   snipwave-cut INPUT --chapters-from FILE -o OUTPUT    a CUE sheet (.cue) or a range list
//   snipwave-cut INPUT --chapters-every TIME -o OUTPUT
//   snipwave-cut INPUT --chapters-at-silences -o OUTPUT [--min-silence TIME] [--threshold DB]
class ChapterTool
{
    Q_DECLARE_TR_FUNCTIONS(ChapterTool)

public:
    enum Source { From, Every, AtSilences };
    struct Command
    {
        Source source = From;
        QString input;
        QString output;
        QString from;        // the sheet or list, with From
        qint64 everyMs = 0;  // with Every
        SilenceFinder::Settings silence; // with AtSilences
        bool sync = false;
    };

    ChapterTool(QTextStream &out, QTextStream &err);

    // True when the arguments ask for chapters to be written.
    static bool handles(const QStringList &arguments);
    // arguments: as the process got them, the program name first. Returns
    // the exit code: 0 done, 1 failed, 2 wrong command line.
    int run(const QStringList &arguments);
    int run(const Command &command);

    // The chapters that pieces of a file of durationMs make: their titles, or
    // "Chapter N" by their place in the list.
    static QVector<Chapter> fromPieces(const QVector<Piece> &pieces, qint64 durationMs);

    static QString helpText();

    // More would make a tag of megabytes that no player lists usefully.
    static constexpr int MaxChapters = 10000;

private:
    int parse(const QStringList &arguments, Command *command);
    bool readPieces(const Command &command, const SourceScan &scan, SilenceFinder *finder, QVector<Piece> *pieces);
    bool readList(const Command &command, QVector<Piece> *pieces);
    // The pieces' chapters in start order, what was changed of them said.
    QVector<Chapter> timeline(const QVector<Piece> &pieces, qint64 durationMs);
    int usageError(const QString &why);
    int failed(const QString &why);
    int failed(const CutResult &result);

    QTextStream &m_out;
    QTextStream &m_err;
};

#endif // CHAPTERTOOL_H
