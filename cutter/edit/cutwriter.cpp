#include "edit/cutwriter.h"

#include "io/atomicfile.h"
#include "io/rangecopier.h"
#include "level/levelcopier.h"

#include <QFileDevice>

namespace {

// The copy is handed to the kernel in pieces of about a hundredth of the
// whole (a megabyte at least), with the progress reported between them.
constexpr qint64 MinPiece = 1024 * 1024;
constexpr qint64 MaxPiece = 8 * 1024 * 1024;

bool writeAll(QFileDevice &out, const QByteArray &bytes)
{
    return bytes.isEmpty() || out.write(bytes) == bytes.size();
}

} // namespace

CutResult CutWriter::write(const CutPlan &plan, QFileDevice &source, const QString &output)
{
    if (plan.error != CutResult::Ok)
        return CutResult::failure(plan.error);
    AtomicFile out(output);
    out.setSyncToDisk(sync());
    out.setRemoveStale(m_removeStale);
    if (!out.open())
        return CutResult::failure(CutResult::OutputCreateFailed, out.errorString());
    out.reserve(plan.outputBytes());
    QFileDevice &file = out.file();
    if (!writeAll(file, plan.tagFront) || !writeAll(file, plan.headerFrame)
        || !writeAll(file, plan.synthesised))
        return CutResult::failure(CutResult::OutputCreateFailed, file.errorString());

    CutResult result;
    const CutResult copied = plan.level.isIdentity() ? copyFrames(plan, source, file)
                                                     : copyLeveled(plan, source, file, &result.level);
    if (!copied.ok())
        return copied;
    if (!writeAll(file, plan.tagBack))
        return CutResult::failure(CutResult::OutputCreateFailed, file.errorString());
    if (m_sourceCheck && !m_sourceCheck())
        return CutResult::failure(CutResult::SourceChanged);
    if (!out.commit())
        return CutResult::failure(CutResult::OutputCreateFailed, out.errorString());
    return result;
}

CutResult CutWriter::copyFrames(const CutPlan &plan, QFileDevice &source, QFileDevice &file)
{
    RangeCopier copier(source, file);
    const qint64 piece = qBound(MinPiece, plan.copyBytes / 100, MaxPiece);
    qint64 done = 0;
    for (const ByteSpan &span : plan.copy) {
        for (qint64 at = 0; at < span.length; at += piece) {
            const qint64 length = qMin(piece, span.length - at);
            if (!copier.append(span.offset + at, length) || !copier.flush()) {
                if (copier.sourceEnded())
                    return CutResult::failure(CutResult::SourceChanged);
                return CutResult::failure(CutResult::OutputCreateFailed, copier.errorString());
            }
            done += length;
            if (m_progress)
                m_progress(done, plan.copyBytes);
        }
    }
    return {};
}

// The same bytes, each frame's level changed on the way through a buffer.
CutResult CutWriter::copyLeveled(const CutPlan &plan, QFileDevice &source, QFileDevice &file,
                                 FrameGain::Report *report)
{
    LevelCopier copier(source, file, plan.level);
    qint64 done = 0;
    for (const ByteSpan &span : plan.copy) {
        if (!copier.copy(span.offset, span.length)) {
            if (copier.sourceEnded())
                return CutResult::failure(CutResult::SourceChanged);
            return CutResult::failure(CutResult::OutputCreateFailed, copier.errorString());
        }
        done += span.length;
        if (m_progress)
            m_progress(done, plan.copyBytes);
    }
    *report = copier.report();
    return {};
}
