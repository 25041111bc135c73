#include "edit/levelstep.h"

#include "format/headerframe.h"
#include "format/mpegheader.h"
#include "io/cutresult.h"
#include "level/lamereplaygain.h"
#include "level/levelmap.h"
#include "level/loudnessmeter.h"
#include "level/loudnessscan.h"

#include <QFile>

#include <cmath>

namespace {

constexpr qint64 GranuleSamples = 576;

// The peak the source's LAME extension states for the whole file (an upper
// bound for any piece of it), 0 when it states none.
double statedPeak(const QString &source, qint64 headerFrameOffset)
{
    QFile file(source);
    if (headerFrameOffset < 0 || !file.open(QIODevice::ReadOnly) || !file.seek(headerFrameOffset))
        return 0;
    return LameReplayGain::read(file.read(MpegHeader::MaxFrameLength)).peak;
}

bool fromFirstSourceOnly(const CutPlan &plan)
{
    for (const PlanSegment &segment : plan.copy) {
        if (segment.source > 0)
            return false;
    }
    return true;
}

// Granules at the ends that the output's own header frame has decoders trim:
// its delay past the frame written in front, and its padding. A granule
// comes out of the decoder 529 samples late.
void placeFades(LevelMap &map, const CutPlan &plan)
{
    const HeaderFrameInfo header = HeaderFrame::read(plan.headerFrame.constData(), plan.headerFrame.size());
    if (!header.lame)
        return;
    const qint64 inFront = plan.synthesised.isEmpty() ? 0 : plan.samplesPerFrame;
    map.leadGranules = qMax<qint64>(0, header.delay - inFront) / GranuleSamples;
    const qint64 samples = map.totalGranules * GranuleSamples;
    const qint64 lastHeard = qMax<qint64>(0, samples - header.padding - 1) / GranuleSamples;
    map.tailGranules = qMax<qint64>(0, map.totalGranules - 1 - lastHeard);
}

} // namespace

void LevelStep::apply(CutPlan &plan, const LevelRequest &request, const QStringList &sources)
{
    if (plan.error != CutResult::Ok || request.isNone())
        return;
    if (plan.stream.layer() != 3) {
        plan.error = CutResult::LevelNeedsLayer3;
        plan.reason = MpegHeader::formatText(plan.stream.toBytes().constData());
        return;
    }
    const int granules = plan.stream.version() == 1 ? 2 : 1;
    LevelMap map = LevelMap::forOutput(request, plan.frames(), granules, plan.rate);
    placeFades(map, plan);
    auto done = [&plan, &map] { plan.level = std::make_shared<const LevelMap>(map); };
    if (!request.normalize && request.gainSteps <= 0)
        return done();

    const double factor = std::pow(2.0, map.gainSteps / 4.0);
    const double stated = request.normalize || !fromFirstSourceOnly(plan) || sources.isEmpty()
        ? 0 : statedPeak(sources.first(), plan.headerFrameOffset);
    if (stated > 0 && stated * factor <= 1.0) {
        plan.peakAfter = stated * factor;
        return done();
    }
    QVector<LoudnessScan::Range> ranges;
    for (const PlanSegment &segment : plan.copy) {
        if (segment.source < 0)
            ranges.append({QString(), 0, segment.bytes.size(), segment.bytes});
        else
            ranges.append({sources.value(segment.source), segment.offset, segment.length, QByteArray()});
    }
    const LoudnessScan::Result measured = LoudnessScan::measure(ranges, !request.normalize);
    // A gain goes ahead unmeasured: the peak only serves its warning.
    if (!measured.ok && !request.normalize)
        return done();
    if (!measured.ok) {
        plan.error = CutResult::MeasureFailed;
        plan.reason = measured.error;
        return;
    }
    plan.peakBefore = measured.peak;
    if (request.normalize) {
        plan.loudness = measured.loudness;
        const NormalizeChoice choice
            = NormalizeChoice::choose(measured.loudness, measured.peak, LoudnessMeter::TargetLufs);
        map.gainSteps += choice.steps;
        plan.trackGainDb = choice.trackGainDb;
    }
    plan.peakAfter = measured.peak * std::pow(2.0, map.gainSteps / 4.0);
    if (request.normalize && !plan.headerFrame.isEmpty())
        LameReplayGain::write(plan.headerFrame, plan.trackGainDb, plan.peakAfter);
    done();
}

ReplayGainTags LevelStep::replayGainTags(const CutPlan &plan, const LevelRequest &request)
{
    ReplayGainTags tags;
    if (request.normalize) {
        tags.trackGain = QStringLiteral("%1 dB").arg(plan.trackGainDb, 0, 'f', 2);
        tags.trackPeak = QString::number(plan.peakAfter, 'f', 6);
    } else if (plan.level) {
        tags.levelChangeDb = LevelMap::decibelsForSteps(plan.level->gainSteps);
    }
    return tags;
}
