#include "edit/cutjob.h"

#include "edit/cutplanner.h"
#include "io/sourcefile.h"
#include "format/mpegheader.h"
#include "level/framegain.h"
#include "level/lamereplaygain.h"
#include "level/loudnessmeter.h"
#include "level/loudnessscan.h"
#include "tags/tagcopier.h"

#include <QFile>

#include <cmath>

namespace {

// The peak the source's LAME extension states for the whole file (an upper
// bound for any piece of it), 0 when it states none.
double statedPeak(const QString &source, qint64 headerFrameOffset)
{
    QFile file(source);
    if (headerFrameOffset < 0 || !file.open(QIODevice::ReadOnly) || !file.seek(headerFrameOffset))
        return 0;
    const QByteArray frame = file.read(MpegHeader::MaxFrameLength);
    return LameReplayGain::read(frame).peak;
}

// The level map for the plan's frames; with normalize, or a gain that makes
// them louder, the copied audio is decoded first to measure it.
void planLevel(CutPlan &plan, const QString &source, const LevelRequest &request)
{
    if (plan.stream.layer() != 3) {
        plan.error = CutResult::LevelNeedsLayer3;
        return;
    }
    const int granules = plan.stream.version() == 1 ? 2 : 1;
    plan.level = LevelMap::forOutput(request, plan.frames(), granules, plan.rate);
    // Where the heard audio begins and ends, in decoded samples from the
    // first copied frame; a granule comes out of the decoder 529 samples late.
    constexpr qint64 GranuleSamples = 576;
    const qint64 base = plan.firstFrame * plan.samplesPerFrame - plan.source.leadingTrim()
        + SourceTimeline::DecoderDelay;
    const qint64 lastGranule = qMax<qint64>(0, plan.heardEnd - 1 - base) / GranuleSamples;
    plan.level.leadGranules = qMax<qint64>(0, plan.heardStart - base) / GranuleSamples;
    plan.level.tailGranules = qMax<qint64>(0, plan.level.totalGranules - 1 - lastGranule);
    if (!request.normalize && request.gainSteps <= 0)
        return;
    const double factor = std::pow(2.0, plan.level.gainSteps / 4.0);
    const double stated = request.normalize ? 0 : statedPeak(source, plan.headerFrameOffset);
    if (stated > 0 && stated * factor <= 1.0) {
        plan.peakAfter = stated * factor;
        return;
    }
    QVector<LoudnessScan::Range> ranges;
    for (const ByteSpan &span : plan.copy)
        ranges.append({span.offset, span.length});
    const LoudnessScan::Result measured = LoudnessScan::measure(source, ranges, !request.normalize);
    if (!measured.ok) {
        plan.error = CutResult::MeasureFailed;
        plan.errorReason = measured.error;
        return;
    }
    plan.peakBefore = measured.peak;
    if (request.normalize) {
        plan.loudness = measured.loudness;
        const NormalizeChoice choice
            = NormalizeChoice::choose(measured.loudness, measured.peak, LoudnessMeter::TargetLufs);
        plan.level.gainSteps += choice.steps;
        plan.trackGainDb = choice.trackGainDb;
    }
    plan.peakAfter = measured.peak * std::pow(2.0, plan.level.gainSteps / 4.0);
    if (request.normalize && !plan.headerFrame.isEmpty())
        LameReplayGain::write(plan.headerFrame, plan.trackGainDb, plan.peakAfter);
}

} // namespace

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
    CutPlan plan = CutPlanner::plan(&input.file(), request);
    if (plan.error == CutResult::Ok && !request.level.isNone())
        planLevel(plan, source, request.level);
    if (plan.error == CutResult::Ok && request.keepTags) {
        ReplayGainTags replayGain;
        if (request.level.normalize) {
            replayGain.trackGain = QStringLiteral("%1 dB").arg(plan.trackGainDb, 0, 'f', 2);
            replayGain.trackPeak = QString::number(plan.peakAfter, 'f', 6);
        } else {
            replayGain.levelChangeDb = LevelMap::decibelsForSteps(plan.level.gainSteps);
        }
        const CutTags tags = TagCopier::forCut(source, {}, replayGain);
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
    writer.setSourceCheck([&input] { return input.unchanged(); });
    return writer.write(plan, input.file(), output);
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
        return CutResult::failure(plan.error, plan.errorReason);
    return write(plan, input, output, options);
}
