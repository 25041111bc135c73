#ifndef LEVELCOPIER_H
#define LEVELCOPIER_H

#include "level/framegain.h"
#include "level/levelmap.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QFileDevice;

// Copies whole Layer III frames from a source file to the end of a target
// file, changing each frame's level on the way as a level map says. The
// frames pass through a buffer (the kernel cannot change them); granules are
// counted across every copy, so the map sees the output as one stream.
// Bytes between frames that are none are copied as they are.
//
// Both files must be open unbuffered; the target is written at its current
// position.
class LevelCopier
{
public:
    LevelCopier(QFileDevice &source, QFileDevice &target, const LevelMap &map);

    // Copies length bytes from offset, which should start a frame. False when
    // the target did not get every byte (a write failed, or the source ended
    // early).
    bool copy(qint64 offset, qint64 length);

    const FrameGain::Report &report() const { return m_report; }
    // After a failure: the source had fewer bytes than asked for.
    bool sourceEnded() const { return m_sourceEnded; }
    QString errorString() const { return m_error; }

private:
    // Changes the frames in m_buffer[0, size); returns the bytes done (whole
    // frames, or all when final).
    int applyLevel(int size, bool final);

    QFileDevice &m_source;
    QFileDevice &m_target;
    LevelMap m_map;
    QByteArray m_buffer;
    qint64 m_granule = 0;
    FrameGain::Report m_report;
    bool m_sourceEnded = false;
    QString m_error;
};

#endif // LEVELCOPIER_H
