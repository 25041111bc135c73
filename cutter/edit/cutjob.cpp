#include "edit/cutjob.h"

#include "edit/cutplanner.h"
#include "edit/levelstep.h"
#include "io/sourcefile.h"
#include "scan/sourcescan.h"
#include "tags/tagcopier.h"

CutResult CutJob::open(SourceFile &input, const QString &source, const QString &output)
{
    if (!input.open(source))
        return CutResult::failure(CutResult::SourceOpenFailed, input.errorString());
    if (input.isSameFile(output))
        return CutResult::failure(CutResult::OutputIsSource);
    return {};
}

CutPlan CutJob::plan(SourceFile &input, const QString &source, const CutRequest &request)
{
    const SourceScan scan = SourceScan::run(&input.file());
    CutRequest asked = request;
    if (isWholeFile(request)) {
        const bool trims = scan.timeline.lame && (scan.timeline.delay > 0 || scan.timeline.padding > 0);
        asked.mode = trims ? CutRequest::Exact : CutRequest::WholeFrames;
    }
    CutPlan plan = CutPlanner::plan(&input.file(), scan, asked);
    LevelStep::apply(plan, request.level, {source});
    if (plan.error == CutResult::Ok && request.keepTags) {
        // Chapters that survive the cut move to where the piece plays them.
        const CutTags tags = TagCopier::forEdit({source}, {{0, plan.heardStartMs(), plan.heardEndMs()}},
                                                LevelStep::replayGainTags(plan, request.level), plan.halfFrameMs());
        plan.tagFront = tags.id3v2;
        plan.tagBack = tags.id3v1;
    }
    return plan;
}

CutResult CutJob::write(const CutPlan &plan, SourceFile &input, const QString &output,
                        const Options &options)
{
    CutWriter writer;
    writer.setSyncToDisk(options.sync);
    writer.setRemoveStale(options.removeStale);
    writer.setProgress(options.progress);
    writer.setCommitGate(options.commitGate);
    writer.setSourceCheck([&input] { return input.unchanged(); });
    return writer.write(plan, input.file(), output);
}

CutRequest CutJob::wholeFile()
{
    CutRequest request;
    request.endMs = EditSpan::ToTheEnd;
    return request;
}

bool CutJob::isWholeFile(const CutRequest &request)
{
    return request.startMs == 0 && request.endMs == EditSpan::ToTheEnd;
}

CutResult CutJob::run(const QString &source, const QString &output, const Options &options,
                      CutPlan *planOut)
{
    SourceFile input;
    const CutResult opened = open(input, source, output);
    if (!opened.ok())
        return opened;
    const CutPlan plan = CutJob::plan(input, source, options.request);
    if (planOut)
        *planOut = plan;
    if (plan.error != CutResult::Ok)
        return CutResult::failure(plan.error, plan.reason);
    return write(plan, input, output, options);
}
