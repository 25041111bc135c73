#ifndef BATCHTOOL_H
#define BATCHTOOL_H

#include "analysis/silencefinder.h"
#include "edit/cutplan.h"
#include "edit/cutwriter.h"
#include "piecelist.h"
#include "tags/tagcopier.h"

#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class QFile;
class QIODevice;
class QTextStream;
class SourceFile;
class SourceScan;

// snipwave-cut's batch modes: one source into many pieces in one run.
//
//   snipwave-cut INPUT --every TIME -d DIR
//   snipwave-cut INPUT --cue SHEET -d DIR
//   snipwave-cut INPUT --ranges LIST -d DIR
//   snipwave-cut INPUT --silences -d DIR [--min-silence TIME] [--threshold DB]
//   snipwave-cut INPUT --split-chapters -d DIR
//
// The whole job is planned first: one scan of the source, then every piece
// planned from it by the cutter's planner, exactly as a single cut of the
// same range is, and every problem (a name clash, a piece without audio) is
// reported before anything is written. Pieces then go out, a few at a time,
// each complete or not at all.
//
// In whole-frame mode a piece boundary falls on the audio frame boundary
// nearest to the time asked for. Where a piece gets a header frame of its own
// (its frames differ in bitrate), decoders trim 529 samples of it, and its
// first frame moves one earlier when that is nearer: there neighbouring
// pieces may share a frame.
class BatchTool
{
    Q_DECLARE_TR_FUNCTIONS(BatchTool)

public:
    BatchTool(QTextStream &out, QTextStream &err);

    // True when the arguments ask for a batch mode.
    static bool handles(const QStringList &arguments);
    // The lines --help shows for the batch modes.
    static QString helpText();
    // --min-silence and --threshold (null strings when not given) read into
    // settings; why they are wrong, or an empty string.
    static QString readSilenceSettings(const QString &minSilence, const QString &threshold,
                                       SilenceFinder::Settings *settings);

    // arguments: as the process got them, the program name first. Returns
    // the exit code: 0 all written, 1 failed, 2 wrong command line.
    int run(const QStringList &arguments);

    // Where a list given as '-' is read from (standard input by default).
    void setStandardInput(QIODevice *input) { m_stdin = input; }
    // Whether the progress bar is drawn (by default when stderr is a terminal).
    void setShowProgress(bool show) { m_progress = show; }

private:
    enum Mode { Every, Cue, Ranges, Silences, Chapters };
    struct Job
    {
        Mode mode = Every;
        QString input;
        QString folder;
        QString pattern;
        qint64 stepMs = 0;
        SilenceFinder::Settings silence;
        bool dryRun = false;
        bool json = false;
        bool overwrite = false;
        bool sync = false;
        bool exact = false;
        bool keepTags = false;
        LevelRequest level;      // for every piece; normalised each on its own
        QVector<CutPlan> plans;  // one per piece
        // With --keep-tags, the pieces whose tags are their own (a title, a
        // chapter), by index: rendered as each is written, so that a large
        // cover is held once however many pieces there are.
        QHash<int, PreparedTags> ownTags;
        QVector<Piece> pieces;   // cue and ranges: known before the walk
        bool titled = false;     // some piece has a title of its own
        bool performers = false; // every piece has a performer
    };

    int parse(const QStringList &arguments, Job *job);
    int readPieces(const QString &mode, const QString &value, Job *job);
    bool readText(const QString &path, QByteArray *bytes);
    int findPieces(QFile &source, SourceScan &scan, SilenceFinder *finder, Job *job);
    int chapterPieces(const SourceScan &scan, Job *job);
    void name(const SourceScan &scan, Job *job) const;
    void addTags(Job *job) const;
    int planPieces(SourceFile &source, const SourceScan &scan, Job *job) const;
    int write(SourceFile &source, const Job &job);
    static QByteArray pieceJson(const QString &folder, const Piece &piece);
    QByteArray planJson(const SourceScan &scan, const Job &job) const;
    bool writePiece(SourceFile &source, const Job &job, int index, const CutWriter::Progress &progress,
                    const CutWriter::CommitGate &gate, QString *why,
                    LevelShortfall *shortfall) const;
    void drawProgress(qint64 done, qint64 total, int piece, int count);
    void say(const QString &what);
    int usageError(const QString &why);
    int failure(const QString &why);
    int refuseTooMany(const QString &what, qint64 count);

    QTextStream &m_out;
    QTextStream &m_err;
    QIODevice *m_stdin = nullptr;
    bool m_progress;
    int m_drawnPercent = -1;
};

#endif // BATCHTOOL_H
