#ifndef FRAMEWALKER_H
#define FRAMEWALKER_H

#include <QByteArray>
#include <QtGlobal>

#include <array>

class BufferedSource;

// Walks the frames of an MPEG audio stream one by one, reading every frame's
// header for its length. Where a frame should start but no valid header stands,
// sync is lost: the walk searches on for the next frame of the same stream
// (same version, layer and sampling rate as the reference header, confirmed by
// the header that follows it or by the end of the file) and drops the bytes in
// between. No such frame means the audio has ended, so trailing tags are never
// taken for frames. A frame cut short by the end of the file is not returned,
// and a valid header of another version, layer or sampling rate where a frame
// should start ends the stream.
class FrameWalker
{
public:
    // offset: where the first frame should start; reference: the 4 header
    // bytes that say which stream a resynchronised frame must belong to.
    FrameWalker(BufferedSource &source, qint64 offset, const QByteArray &reference);

    // Moves to the next whole frame; false at the end of the audio.
    bool next();
    // The same as count calls of next(); false when the audio ends first.
    bool advance(qint64 count);

    qint64 offset() const { return m_offset; }
    int length() const { return m_length; }
    // The frame's bytes, header first; valid until the next call of next().
    const char *data() const;
    // Bytes dropped so far between frames because sync was lost.
    qint64 droppedBytes() const { return m_dropped; }

    // First position at or after from where a frame starts: a valid header
    // followed at its length by a valid header of the same stream, or by the
    // exact end of the file. With a reference the frame must belong to the
    // reference's stream; without one any Layer III header qualifies.
    // -1 when there is none.
    static qint64 findFrame(BufferedSource &source, qint64 from, const char *reference);
    // Whether a valid header at pos is followed by one of the same stream,
    // or its frame ends exactly where the data does.
    static bool isFrameAt(BufferedSource &source, qint64 pos);

private:
    bool finish();

    BufferedSource &m_source;
    std::array<char, 4> m_reference;
    qint64 m_next;
    qint64 m_offset = -1;
    int m_length = 0;
    qint64 m_dropped = 0;
    bool m_ended = false;
};

#endif // FRAMEWALKER_H
