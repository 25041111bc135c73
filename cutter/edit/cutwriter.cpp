#include "edit/cutwriter.h"

#include "io/atomicfile.h"
#include "io/rangecopier.h"

#include <QFileDevice>

namespace {

// The copy is handed to the kernel in pieces of about a hundredth of the
// whole (a megabyte at least), with the progress reported between them.
constexpr qint64 MinPiece = 1024 * 1024;
constexpr qint64 MaxPiece = 8 * 1024 * 1024;

bool writeAll(QFileDevice &out, const QByteArray &bytes)
{
    return RangeCopier::writeAll(out, bytes.constData(), bytes.size());
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
    if (!writeAll(file, plan.tagBack))
        return CutResult::failure(CutResult::OutputCreateFailed, file.errorString());
    if (m_sourceCheck && !m_sourceCheck())
        return CutResult::failure(CutResult::SourceChanged);
    if (!out.commit())
        return CutResult::failure(CutResult::OutputCreateFailed, out.errorString());
    return {};
}
