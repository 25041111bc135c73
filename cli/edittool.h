#ifndef EDITTOOL_H
#define EDITTOOL_H

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include "edit/cutplan.h"

struct CutResult;
class QTextStream;

// snipwave-cut's edits of whole files: a file without some ranges, several
// ranges of a file as one, files one after the other, and any of them, or a
// single cut, planned and shown without writing.
//
//   snipwave-cut INPUT --remove START-END [--remove ...] -o OUTPUT
//   snipwave-cut INPUT --keep START-END [--keep ...] -o OUTPUT
//   snipwave-cut --join A B [C ...] -o OUTPUT
//   ... --dry-run --json
class EditTool
{
public:
    struct Command
    {
        enum Kind { Cut, Remove, Keep, Join };
        Kind kind = Cut;
        QStringList inputs;
        QVector<QPair<qint64, qint64>> ranges; // milliseconds, as given
        QString output;
        bool exact = false;
        bool keepTags = false;
        bool sync = false;
        bool dryRun = false;
        LevelRequest level;
    };

    EditTool(QTextStream &out, QTextStream &err);

    // "START-END", each a time TimeParser reads, the end after the start.
    static bool parseRange(const QString &text, QPair<qint64, qint64> *range, QString *why);
    // The spans left after removing ranges from a source of durationMs.
    static QVector<QPair<qint64, qint64>> keptAround(QVector<QPair<qint64, qint64>> removed, qint64 durationMs);

    // Returns the exit code: 0 done, 1 failed.
    int run(const Command &command);

    // The plan as one JSON object: the spans, where each seam lands as
    // heard, the frames and bytes the output will have.
    static QByteArray planJson(const CutPlan &plan, const QStringList &sources);

    // What a level change did, on err: with normalize, the loudness found
    // and the change; warnings where the decoded peak would clip or granules
    // fell short of the change.
    static void reportLevel(QTextStream &err, const CutPlan &plan, const CutResult &result, bool normalized,
                            const QString &output = QString());
    // The message for a level change that could not be made.
    static QString levelFailure(int code, const QString &reason);

private:
    int failed(int code, const QString &reason);

    QTextStream &m_out;
    QTextStream &m_err;
};

#endif // EDITTOOL_H
