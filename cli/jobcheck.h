#ifndef JOBCHECK_H
#define JOBCHECK_H

#include <QCoreApplication>
#include <QStringList>
#include <QVector>

struct Piece;

// Checks a planned batch cut before anything is written, and finds every
// problem at once so that the user can mend them in one go: a missing or
// unwritable output folder, pieces that hold no audio, names a file cannot
// have, two pieces with one name, and files that already stand under a name
// (unless they may be replaced). The source itself is never a piece's file.
class JobCheck
{
    Q_DECLARE_TR_FUNCTIONS(JobCheck)

public:
    struct Job
    {
        QString source;
        QString folder;
        qint64 frameCount = 0;   // audio frames in the source
        bool overwrite = false;
        bool createFolder = false; // a folder that does not exist is made
    };

    static QStringList problems(const Job &job, const QVector<Piece> &pieces);

    // The longest file name the common Linux file systems take, in bytes.
    static constexpr int MaxNameBytes = 255;
    // The most pieces one job cuts: 24 hours in pieces of a second, with
    // room to spare. More is a slip (--every 0.001), and would only fill the
    // memory while it is planned.
    static constexpr qint64 MaxPieces = 100000;
    // Why a job of count pieces is refused; empty when it is not.
    static QString tooManyPieces(qint64 count);
};

#endif // JOBCHECK_H
