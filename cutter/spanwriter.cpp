#include "spanwriter.h"

#include "atomicfile.h"
#include "rangecopier.h"

#include <cerrno>
#include <cstring>

namespace {

bool failed(QString *error, int code)
{
    *error = code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : QStringLiteral("the source ended early");
    return false;
}

} // namespace

bool SpanWriter::write(QFile &source, qint64 from, qint64 to, const QString &path, bool sync,
                       const Progress &progress, QString *error)
{
    AtomicFile out(path);
    out.setSyncToDisk(sync);
    errno = 0;
    if (!out.open())
        return failed(error, errno);
    RangeCopier copier(source, out.file());
    for (qint64 at = from; at < to; at += Step) {
        errno = 0;
        if (!copier.append(at, qMin(Step, to - at)) || !copier.flush())
            return failed(error, errno);
        if (progress)
            progress(qMin(at + Step, to) - from);
    }
    errno = 0;
    if (!out.commit())
        return failed(error, errno);
    return true;
}
