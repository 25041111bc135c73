#ifndef EDITJOB_H
#define EDITJOB_H

#include "edit/cutplan.h"
#include "edit/cutwriter.h"
#include "io/cutresult.h"
#include "scan/sourcescan.h"

#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class SourceFile;

// An edit of one or more sources into one output, without narration: open
// every source once and scan it, plan, fetch the tags when asked, write. The
// command line removes ranges, keeps several and joins files through this.
class EditJob
{
public:
    struct Options
    {
        bool sync = true;
        bool removeStale = true; // see AtomicFile::setRemoveStale()
        CutWriter::Progress progress;
    };

    EditJob();
    ~EditJob();
    EditJob(const EditJob &) = delete;
    EditJob &operator=(const EditJob &) = delete;

    // Opens and scans the sources. Refuses what is not a regular file, a
    // source without audio, and an output that is one of the sources. The
    // first source's scan shows its frames to visitFirst on the way.
    CutResult open(const QStringList &sources, const QString &output,
                   const SourceScan::Visitor &visitFirst = SourceScan::Visitor());
    const SourceScan &scan(int source) const;
    int sourceCount() const { return int(m_sources.size()); }

    // The plan, with the first source's tags rendered into it when asked.
    CutPlan plan(const EditRequest &request) const;
    CutResult write(const CutPlan &plan, const QString &output, const Options &options);

private:
    QStringList m_paths;
    std::vector<std::unique_ptr<SourceFile>> m_sources;
    std::vector<std::unique_ptr<SourceScan>> m_scans;
};

#endif // EDITJOB_H
