#ifndef CUTWRITER_H
#define CUTWRITER_H

#include "edit/cutplan.h"
#include "io/cutresult.h"

#include <QString>
#include <QVector>

#include <functional>

class QFileDevice;

// Carries out a cut plan: writes the output beside its name and gives it the
// name only when every byte is there. A failure leaves no output and leaves
// whatever stood under the name untouched.
class CutWriter
{
public:
    // done and total in bytes of the copied frames.
    using Progress = std::function<void(qint64 done, qint64 total)>;
    // Called once all is copied, before the output takes its name: false
    // when the source changed under the cut.
    using SourceCheck = std::function<bool()>;
    // Called last, before the output takes its name: false discards it. A
    // job that writes many files lets them take their names in order.
    using CommitGate = std::function<bool()>;

    void setSyncToDisk(bool on) { m_sync = on; }
    // See AtomicFile::setRemoveStale().
    void setRemoveStale(bool on) { m_removeStale = on; }
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    void setSourceCheck(SourceCheck check) { m_sourceCheck = std::move(check); }
    void setCommitGate(CommitGate gate) { m_commitGate = std::move(gate); }

    // source: the file the plan was made from, open unbuffered for reading.
    CutResult write(const CutPlan &plan, QFileDevice &source, const QString &output);
    // sources: the files the plan's spans come from, in the planner's order.
    CutResult write(const CutPlan &plan, const QVector<QFileDevice *> &sources, const QString &output);

private:
    bool sync() const { return m_sync; }
    CutResult copySegment(const CutPlan &plan, const PlanSegment &segment, QFileDevice &source,
                          QFileDevice &target, qint64 &done);
    CutResult copyFrames(const CutPlan &plan, const PlanSegment &segment, QFileDevice &source,
                         QFileDevice &target);
    // Changes the level of the whole frames at the start of data, size
    // bytes, as plan.level says; returns how many bytes they fill.
    int applyLevel(const CutPlan &plan, char *data, int size);

    bool m_sync = true;
    bool m_removeStale = true;
    Progress m_progress;
    SourceCheck m_sourceCheck;
    CommitGate m_commitGate;
    // Across one write: the output granule the next frame starts with, and
    // the granules whose level fell short.
    qint64 m_granule = 0;
    LevelShortfall m_levelReport;
};

#endif // CUTWRITER_H
