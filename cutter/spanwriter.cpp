#include "spanwriter.h"

#include "atomicfile.h"
#include "rangecopier.h"
#include "sourcefile.h"

#include <cerrno>

namespace {

bool failed(QString *error, const QString &why)
{
    *error = why.isEmpty() ? SpanWriter::tr("the source ended early") : why;
    return false;
}

} // namespace

bool SpanWriter::write(SourceFile &source, const Piece &piece, const QString &path, bool sync,
                       const Progress &progress, QString *error)
{
    AtomicFile out(path);
    out.setSyncToDisk(sync);
    if (!out.open())
        return failed(error, out.errorString());
    out.reserve(piece.front.size() + (piece.to - piece.from) + piece.back.size());
    QFile &target = out.file();
    if (target.write(piece.front) != piece.front.size())
        return failed(error, out.errorString());
    RangeCopier copier(source.file(), target);
    for (qint64 at = piece.from; at < piece.to; at += Step) {
        errno = 0;
        if (!copier.append(at, qMin(Step, piece.to - at)) || !copier.flush()) {
            // The kernel copies past file(), so its errno is the reason.
            out.setError(errno);
            return failed(error, out.errorString());
        }
        if (progress)
            progress(qMin(at + Step, piece.to) - piece.from + piece.front.size());
    }
    if (target.write(piece.back) != piece.back.size())
        return failed(error, out.errorString());
    // The frames were found in the file as it was when opened; bytes copied
    // after it changed could be anything.
    if (!source.unchanged())
        return failed(error, tr("the source changed during the cut"));
    if (!out.commit())
        return failed(error, out.errorString());
    return true;
}
