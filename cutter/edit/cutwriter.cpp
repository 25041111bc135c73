#include "edit/cutwriter.h"

#include "format/mpegheader.h"
#include "io/atomicfile.h"
#include "io/rangecopier.h"
#include "level/framegain.h"
#include "level/levelmap.h"

#include <QFileDevice>

namespace {

// The copy is handed to the kernel in pieces of about a hundredth of the
// whole (a megabyte at least), with the progress reported between them.
constexpr qint64 MinPiece = 1024 * 1024;
constexpr qint64 MaxPiece = 8 * 1024 * 1024;

// A write cut short (the disk filled up) is tried again for the rest, so
// that the failure comes with the system's reason.
bool writeAll(QFileDevice &out, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = out.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

CutResult CutWriter::write(const CutPlan &plan, QFileDevice &source, const QString &output)
{
    return write(plan, QVector<QFileDevice *>{&source}, output);
}

CutResult CutWriter::write(const CutPlan &plan, const QVector<QFileDevice *> &sources, const QString &output)
{
    if (plan.error != CutResult::Ok)
        return CutResult::failure(plan.error, plan.reason);
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

    m_granule = 0;
    m_levelReport = {};
    qint64 done = 0;
    for (const PlanSegment &segment : plan.copy) {
        if (segment.source >= sources.size())
            return CutResult::failure(CutResult::SourceChanged);
        QFileDevice &source = *sources.at(qMax(0, segment.source));
        const CutResult copied = copySegment(plan, segment, source, file, done);
        if (!copied.ok())
            return copied;
    }
    if (!writeAll(file, plan.tagBack))
        return CutResult::failure(CutResult::OutputCreateFailed, file.errorString());
    if (m_sourceCheck && !m_sourceCheck())
        return CutResult::failure(CutResult::SourceChanged);
    if (m_commitGate && !m_commitGate())
        return CutResult::failure(CutResult::OutputCreateFailed);
    if (!out.commit())
        return CutResult::failure(CutResult::OutputCreateFailed, out.errorString());
    CutResult result;
    result.level = m_levelReport;
    return result;
}

CutResult CutWriter::copySegment(const CutPlan &plan, const PlanSegment &segment, QFileDevice &source,
                                 QFileDevice &target, qint64 &done)
{
    if (segment.source < 0) {
        // Frames the plan made (a seam's) hold audio like the others.
        QByteArray bytes = segment.bytes;
        if (plan.level)
            applyLevel(plan, bytes.data(), bytes.size());
        if (!writeAll(target, bytes))
            return CutResult::failure(CutResult::OutputCreateFailed, target.errorString());
        done += segment.length;
        return {};
    }
    if (plan.level) {
        const CutResult copied = copyFrames(plan, segment, source, target);
        done += segment.length;
        if (m_progress)
            m_progress(done, plan.copyBytes);
        return copied;
    }
    RangeCopier copier(source, target);
    const qint64 piece = qBound(MinPiece, plan.copyBytes / 100, MaxPiece);
    for (qint64 at = 0; at < segment.length; at += piece) {
        const qint64 length = qMin(piece, segment.length - at);
        if (!copier.append(segment.offset + at, length) || !copier.flush()) {
            if (copier.sourceEnded())
                return CutResult::failure(CutResult::SourceChanged);
            return CutResult::failure(CutResult::OutputCreateFailed, copier.errorString());
        }
        done += length;
        if (m_progress)
            m_progress(done, plan.copyBytes);
    }
    return {};
}

// Frame by frame, for a plan that changes what is in them. A segment holds
// whole frames back to back, so each header says where the next one starts.
CutResult CutWriter::copyFrames(const CutPlan &plan, const PlanSegment &segment, QFileDevice &source,
                                QFileDevice &target)
{
    constexpr qint64 Block = 256 * 1024;
    // One buffer for the whole copy: a fresh one a block would cost the
    // first touch of each of its pages every time.
    QByteArray block(int(qMin(Block, segment.length)), Qt::Uninitialized);
    qint64 at = 0;
    while (at < segment.length) {
        const qint64 want = qMin(Block, segment.length - at);
        if (!source.seek(segment.offset + at) || source.read(block.data(), want) < want)
            return CutResult::failure(CutResult::SourceChanged);
        const int pos = applyLevel(plan, block.data(), int(want));
        if (pos == 0)
            return CutResult::failure(CutResult::SourceChanged);
        if (target.write(block.constData(), pos) != pos)
            return CutResult::failure(CutResult::OutputCreateFailed, target.errorString());
        at += pos;
    }
    return {};
}

int CutWriter::applyLevel(const CutPlan &plan, char *data, int size)
{
    int pos = 0;
    while (pos + MpegHeader::HeaderSize <= size) {
        const int length = MpegHeader::frameBytes(data + pos);
        if (length <= 0 || pos + length > size)
            break;
        if (plan.level && FrameGain::apply(data + pos, length, *plan.level, m_granule, &m_levelReport))
            m_granule += FrameGain::granules(data + pos);
        pos += length;
    }
    return pos;
}
