#ifndef CUTTOOL_H
#define CUTTOOL_H

#include "edit/cutjob.h"
#include "edittool.h"
#include "tags/chapterreader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class Mp3FileInfo;
class QTextStream;

// The command snipwave-cut: reads its arguments, runs a cut with the same
// splitter the window uses (without the pauses between messages) or prints a
// file's frame facts or its loudness envelope as JSON, and answers with an
// exit code.
//
//   snipwave-cut INPUT --start TIME --end TIME --output OUTPUT [--exact] [--keep-tags] [--sync] [LEVEL]
//   snipwave-cut INPUT --output OUTPUT LEVEL
//     LEVEL: --gain DB | --normalize, --fade-in TIME, --fade-out TIME
//   snipwave-cut --info INPUT
//   snipwave-cut --envelope INPUT [--columns N]
class CutTool
{
public:
    enum ExitCode {
        Success = 0,
        Failed = 1,      // the cut or the file query failed
        UsageError = 2,  // the command line was wrong; nothing was done
    };

    CutTool(QTextStream &out, QTextStream &err);

    // arguments: as the process got them, the program name first.
    int run(const QStringList &arguments);

    static QString usage();
    static QString helpText();
    static QString versionText();
    // One JSON object, keys in a fixed order, no trailing newline. The
    // chapters, and what was skipped of them, are listed when there are any.
    static QByteArray infoJson(const Mp3FileInfo &info, const ChapterReading &chapters = {});
    // One JSON array of numbers, no trailing newline.
    static QByteArray envelopeJson(const QVector<float> &values);

private:
    int cut(const QString &input, const QString &output, const CutJob::Options &options);
    int edit(EditTool::Command command, bool dryRun, bool json, const QString &output, bool exact,
             bool keepTags, bool sync);
    int info(const QString &input);
    int envelope(const QString &input, int columns);
    int usageError(const QString &why);
    bool readable(const QString &input);
    int noFrame(const QString &input);
    int printed();

    QTextStream &m_out;
    QTextStream &m_err;
};

#endif // CUTTOOL_H
