#ifndef FRAMEINDEX_H
#define FRAMEINDEX_H

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <atomic>

// Where the frames of an MP3 file lie, from one walk over their headers: how
// many there are, their common format, and the offset of every
// CheckpointInterval-th frame. A reader can start a frame walk at any
// checkpoint and count frames from there exactly as this walk did.
class FrameIndex
{
public:
    static constexpr int CheckpointInterval = 16;

    // Walks the file. Returns an index with found false when no frame is
    // there, the file cannot be read, or cancel turned true on the way.
    static FrameIndex build(const QString &fileName, const std::atomic<bool> *cancel = nullptr);

    // The first frame of the walk that starts at checkpoint k is frame
    // k * CheckpointInterval.
    qint64 checkpoint(int k) const { return m_checkpoints.at(k); }
    int checkpointCount() const { return m_checkpoints.size(); }

    bool found = false;
    QString error;            // why nothing was found
    QByteArray header;        // the first frame's header: which stream the walk follows
    qint64 frames = 0;
    int samplesPerFrame = 0;
    qint64 sampleRate = 0;
    // The first frame holds a Xing, Info or VBRI tag: players skip it.
    bool infoFrame = false;
    // From its LAME extension: samples the encoder put in front and added at
    // the end; -1 without one.
    int encoderDelay = -1;
    int encoderPadding = -1;

private:
    void readInfoTag(const char *frame, int length);

    QVector<qint64> m_checkpoints;
};

#endif // FRAMEINDEX_H
