#ifndef RANGECOPIER_H
#define RANGECOPIER_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QFileDevice;

// Copies byte ranges of a source file to the end of a target file. Ranges
// that follow each other are merged and copied in large runs; on Linux the
// kernel copies them from file to file (copy_file_range), so the bytes never
// pass through this process. Where the kernel cannot, the run is read and
// written through a buffer instead.
//
// Both files must be open unbuffered; the target is written at its current
// position.
class RangeCopier
{
public:
    RangeCopier(QFileDevice &source, QFileDevice &target);

    // Queues length bytes from offset. False when a run had to be copied
    // to make room and that failed.
    bool append(qint64 offset, qint64 length);
    // Copies whatever is queued. False when the target did not get every
    // byte (a write failed, or the source ended early).
    bool flush();

    // After a failure: the source had fewer bytes than asked for (it shrank).
    bool sourceEnded() const { return m_sourceEnded; }
    // After a failure: the system's reason, when it gave one.
    QString errorString() const { return m_error; }

private:
    bool copyInKernel(qint64 &offset, qint64 &length);
    bool copyThroughBuffer(qint64 offset, qint64 length);

    QFileDevice &m_source;
    QFileDevice &m_target;
    QByteArray m_buffer;     // only for copies through a buffer
    qint64 m_runStart = 0;
    qint64 m_runLength = 0;
    bool m_kernelCopy = true;
    bool m_sourceEnded = false;
    QString m_error;
};

#endif // RANGECOPIER_H
