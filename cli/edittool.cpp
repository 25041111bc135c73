#include "edittool.h"

#include "edit/editjob.h"
#include "format/headerframe.h"
#include "jsonstring.h"
#include "mp3splitter.h"
#include "scan/sourcescan.h"
#include "edit/timeparser.h"

#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

const QString Program = QStringLiteral("snipwave-cut");

// Milliseconds as seconds with three decimals, exactly.
QByteArray seconds(qint64 ms)
{
    return QByteArray::number(ms / 1000) + '.' + QByteArray::number(ms % 1000).rightJustified(3, '0');
}

QByteArray samplesAsSeconds(qint64 samples, qint64 rate)
{
    return seconds(rate > 0 ? samples * 1000 / rate : 0);
}

QString decibels(double db)
{
    return QString::number(db, 'f', 1) + QStringLiteral(" dB");
}

} // namespace

EditTool::EditTool(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{
}

bool EditTool::parseRange(const QString &text, QPair<qint64, qint64> *range, QString *why)
{
    const int dash = text.indexOf(QLatin1Char('-'));
    if (dash < 0) {
        *why = QStringLiteral("a range is START-END");
        return false;
    }
    if (!TimeParser::parse(text.left(dash), &range->first, why)
        || !TimeParser::parse(text.mid(dash + 1), &range->second, why))
        return false;
    if (range->second <= range->first) {
        *why = QStringLiteral("the end must lie after the start");
        return false;
    }
    return true;
}

QVector<QPair<qint64, qint64>> EditTool::keptAround(QVector<QPair<qint64, qint64>> removed, qint64 durationMs)
{
    std::sort(removed.begin(), removed.end());
    QVector<QPair<qint64, qint64>> kept;
    qint64 from = 0;
    for (const auto &range : removed) {
        if (range.first > from && from < durationMs)
            kept.append({from, qMin(range.first, durationMs)});
        from = qMax(from, range.second);
    }
    if (from < durationMs)
        kept.append({from, -1}); // to the end
    return kept;
}

void EditTool::reportLevel(QTextStream &err, const CutPlan &plan, const CutResult &result, bool normalized,
                           const QString &output)
{
    // A batch names the piece each line is about.
    const QString who = output.isEmpty() ? QString(Program) : QStringLiteral("%1: %2").arg(Program, output);
    const int steps = plan.level ? plan.level->gainSteps : 0;
    if (normalized) {
        err << who << ": loudness " << QString::number(plan.loudness, 'f', 1) << " LUFS, peak "
            << decibels(20 * std::log10(qMax(plan.peakBefore, 1e-9))) << "FS; changed by "
            << decibels(LevelMap::decibelsForSteps(steps)) << ", track gain left "
            << decibels(plan.trackGainDb) << '\n';
    }
    if (plan.peakAfter > 1.0) {
        err << who << ": warning: the decoded peak will pass full scale by "
            << decibels(20 * std::log10(plan.peakAfter)) << " and clip\n";
    }
    const LevelShortfall &r = result.level;
    if (r.above > 0) {
        err << who << ": warning: " << r.above << " granules could not get louder past global_gain 255; "
            << "up to " << decibels(LevelMap::decibelsForSteps(r.mostAbove)) << " short\n";
    }
    if (r.below > 0) {
        err << who << ": warning: " << r.below << " granules could not get quieter past global_gain 0; "
            << "up to " << decibels(LevelMap::decibelsForSteps(r.mostBelow)) << " short\n";
    }
    err.flush();
}

QString EditTool::levelFailure(int code, const QString &reason)
{
    if (code == CutResult::LevelNeedsLayer3)
        return reason + QStringLiteral(": the level can only change without decoding in Layer III audio"
                                       " (--gain, --normalize, --fade-in, --fade-out)");
    return QStringLiteral("the audio could not be decoded to measure it (%1)").arg(reason);
}

int EditTool::failed(int code, const QString &reason)
{
    m_err << Program << ": ";
    if (code == CutResult::LevelNeedsLayer3 || code == CutResult::MeasureFailed) {
        m_err << levelFailure(code, reason) << '\n';
        m_err.flush();
        return 1;
    }
    if (code == CutResult::FormatsDiffer)
        m_err << "The files differ in format; joining needs one MPEG version, layer, sampling rate and channel count";
    else
        m_err << Mp3Splitter::errorMessage(code);
    if (!reason.isEmpty())
        m_err << " (" << reason << ')';
    m_err << " (error " << code << ")\n";
    m_err.flush();
    return 1;
}

int EditTool::run(const Command &command)
{
    EditJob job;
    const CutResult opened = job.open(command.inputs, command.output);
    if (!opened.ok())
        return failed(opened.code, opened.reason);

    EditRequest request;
    request.mode = command.exact ? CutRequest::Exact : CutRequest::WholeFrames;
    request.keepTags = command.keepTags;
    request.freshHeader = command.kind != Command::Cut;
    request.level = command.level;
    QVector<QPair<qint64, qint64>> ranges = command.ranges;
    if (command.kind == Command::Remove) {
        ranges = keptAround(ranges, job.scan(0).durationMs());
        if (ranges.isEmpty())
            return failed(CutResult::NothingToCut, QStringLiteral("nothing is left"));
    }
    if (command.kind == Command::Join) {
        for (int i = 0; i < command.inputs.size(); ++i)
            request.spans.append({i, 0, EditSpan::ToTheEnd});
    } else {
        for (const auto &range : qAsConst(ranges))
            request.spans.append({0, range.first, range.second < 0 ? EditSpan::ToTheEnd : range.second});
    }

    const CutPlan plan = job.plan(request);
    if (plan.error != CutResult::Ok)
        return failed(plan.error, plan.reason);
    if (command.dryRun) {
        m_out << planJson(plan, command.inputs) << '\n';
        m_out.flush();
        return 0;
    }
    EditJob::Options options;
    options.sync = command.sync;
    const CutResult written = job.write(plan, command.output, options);
    if (!written.ok())
        return failed(written.code, written.reason);
    reportLevel(m_err, plan, written, command.level.normalize);
    return 0;
}

QByteArray EditTool::planJson(const CutPlan &plan, const QStringList &sources)
{
    const HeaderFrameInfo header = HeaderFrame::read(plan.headerFrame.constData(), plan.headerFrame.size());
    const char *kind = header.kind == HeaderFrameInfo::Kind::Xing ? "Xing"
                     : header.kind == HeaderFrameInfo::Kind::Info ? "Info" : "none";
    QByteArray json = "{\"sources\":[";
    for (int i = 0; i < sources.size(); ++i)
        json += (i > 0 ? "," : "") + jsonString(sources.at(i));
    json += "],\"frames\":" + QByteArray::number(plan.frames() + (plan.synthesised.isEmpty() ? 0 : 1));
    json += ",\"bytes\":" + QByteArray::number(plan.outputBytes());
    json += ",\"headerFrame\":{\"kind\":\"" + QByteArray(kind) + '"';
    json += ",\"delay\":" + QByteArray::number(header.delay);
    json += ",\"padding\":" + QByteArray::number(header.padding) + '}';
    QByteArray seams;
    json += ",\"spans\":[";
    for (int i = 0; i < plan.spans.size(); ++i) {
        const PlanSpan &span = plan.spans.at(i);
        const QByteArray at = samplesAsSeconds(span.outputStart, plan.rate);
        json += i > 0 ? ",\n  " : "\n  ";
        json += "{\"source\":" + QByteArray::number(span.source);
        json += ",\"start\":" + samplesAsSeconds(span.heardStart, plan.rate);
        json += ",\"end\":" + samplesAsSeconds(span.heardEnd, plan.rate);
        json += ",\"firstFrame\":" + QByteArray::number(span.firstFrame);
        json += ",\"frames\":" + QByteArray::number(span.frames());
        json += ",\"at\":" + at + '}';
        if (i > 0)
            seams += (seams.isEmpty() ? "" : ",") + at;
    }
    json += "\n],\"seams\":[" + seams + "]";
    if (plan.level) {
        json += ",\"level\":{\"gainSteps\":" + QByteArray::number(plan.level->gainSteps);
        json += ",\"fadeInGranules\":" + QByteArray::number(plan.level->fadeInGranules);
        json += ",\"fadeOutGranules\":" + QByteArray::number(plan.level->fadeOutGranules) + '}';
    }
    return json + '}';
}
