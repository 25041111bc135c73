#ifndef CUTTOOL_H
#define CUTTOOL_H

#include "cutjob.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class Mp3FileInfo;
class QTextStream;

// The command snipwave-cut: reads its arguments, runs a cut with the same
// splitter the window uses (without the pauses between messages) or prints a
// file's frame facts as JSON, and answers with an exit code.
//
//   snipwave-cut INPUT --start TIME --end TIME --output OUTPUT [--exact] [--keep-tags] [--sync]
//   snipwave-cut --info INPUT
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
    // One JSON object, keys in a fixed order, no trailing newline.
    static QByteArray infoJson(const Mp3FileInfo &info);

private:
    int cut(const QString &input, const QString &output, const CutJob::Options &options);
    int info(const QString &input);
    int usageError(const QString &why);
    bool readable(const QString &input);

    QTextStream &m_out;
    QTextStream &m_err;
};

#endif // CUTTOOL_H
