#include "edit/editjob.h"

#include "edit/cutplanner.h"
#include "edit/levelstep.h"
#include "io/sourcefile.h"
#include "scan/sourcescan.h"
#include "tags/tagcopier.h"

EditJob::EditJob() = default;
EditJob::~EditJob() = default;

CutResult EditJob::open(const QStringList &sources, const QString &output, const SourceScan::Visitor &visitFirst)
{
    m_paths = sources;
    for (const QString &path : sources) {
        auto source = std::make_unique<SourceFile>();
        if (!source->open(path))
            return CutResult::failure(CutResult::SourceOpenFailed, path + QStringLiteral(": ") + source->errorString());
        if (source->isSameFile(output))
            return CutResult::failure(CutResult::OutputIsSource);
        auto scan = std::make_unique<SourceScan>(
            SourceScan::run(&source->file(), m_sources.empty() ? visitFirst : SourceScan::Visitor()));
        if (scan->error != CutResult::Ok)
            return CutResult::failure(scan->error, path);
        if (scan->frames == 0)
            return CutResult::failure(CutResult::FirstFrameNotFound, path);
        m_sources.push_back(std::move(source));
        m_scans.push_back(std::move(scan));
    }
    return {};
}

const SourceScan &EditJob::scan(int source) const
{
    return *m_scans.at(size_t(source));
}

CutPlan EditJob::plan(const EditRequest &request) const
{
    QVector<CutPlanner::Source> sources;
    for (size_t i = 0; i < m_sources.size(); ++i)
        sources.append({&m_sources[i]->file(), m_scans[i].get()});
    CutPlan plan = CutPlanner::plan(sources, request);
    LevelStep::apply(plan, request.level, m_paths);
    if (plan.error == CutResult::Ok && request.keepTags && !m_paths.isEmpty()) {
        // Chapters that survive the edit move to where the output plays them.
        QVector<KeptRange> kept;
        for (const PlanSpan &span : qAsConst(plan.spans)) {
            if (plan.rate > 0)
                kept.append({span.source, span.heardStart * 1000 / plan.rate, span.heardEnd * 1000 / plan.rate});
        }
        const CutTags tags = TagCopier::forEdit(m_paths, kept, LevelStep::replayGainTags(plan, request.level),
                                                plan.halfFrameMs());
        plan.tagFront = tags.id3v2;
        plan.tagBack = tags.id3v1;
    }
    return plan;
}

CutResult EditJob::write(const CutPlan &plan, const QString &output, const Options &options)
{
    CutWriter writer;
    writer.setSyncToDisk(options.sync);
    writer.setRemoveStale(options.removeStale);
    writer.setProgress(options.progress);
    writer.setSourceCheck([this] {
        for (const auto &source : m_sources) {
            if (!source->unchanged())
                return false;
        }
        return true;
    });
    QVector<QFileDevice *> files;
    for (const auto &source : m_sources)
        files.append(&source->file());
    return writer.write(plan, files, output);
}
