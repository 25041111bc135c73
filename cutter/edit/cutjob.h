#ifndef CUTJOB_H
#define CUTJOB_H

#include "edit/cutplan.h"
#include "io/cutresult.h"
#include "edit/cutwriter.h"

#include <QString>

class SourceFile;

// One cut from start to end without narration: open the source once, plan,
// fetch the tags when asked, write. The command line, the fuzz target and the
// tests cut through this; Mp3Splitter runs the same steps one by one.
class CutJob
{
public:
    struct Options
    {
        CutRequest request;
        bool sync = true;
        bool removeStale = true; // see AtomicFile::setRemoveStale()
        CutWriter::Progress progress;
        CutWriter::CommitGate commitGate;
    };

    // The request for every frame of a source. Its mode is chosen when the
    // source is scanned for the plan: where a LAME header tells the encoder's
    // delay and padding, exact, to keep the same trims; else whole frames,
    // bare as the source is.
    static CutRequest wholeFile();
    static bool isWholeFile(const CutRequest &request);

    static CutResult run(const QString &source, const QString &output, const Options &options,
                         CutPlan *plan = nullptr);

    // The steps. open() refuses what is not a regular file, and an output
    // that is the source itself (after links).
    static CutResult open(SourceFile &input, const QString &source, const QString &output);
    // The plan, with the source's tags rendered into it when asked.
    static CutPlan plan(SourceFile &input, const QString &source, const CutRequest &request);
    static CutResult write(const CutPlan &plan, SourceFile &input, const QString &output,
                           const Options &options);
};

#endif // CUTJOB_H
