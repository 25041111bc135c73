#ifndef SOURCEWALK_H
#define SOURCEWALK_H

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <functional>

class QFile;

// One walk over the audio frames of an MP3 file, for jobs that cut it into
// many pieces. Audio frames are counted from 0 at the first frame that holds
// audio: an encoder's header frame (Xing, Info or VBRI) is not one. Times are
// the player's timeline, as CutPlanner has it: decoded samples less the
// encoder delay and the decoder's that a LAME header frame announces. The walk
// ends at the end of the stream: the end of the file, a trailing tag, or the
// first header of another version, layer or sampling rate.
//
// The walk keeps only what it is asked for: the file offsets of the frames
// whose indices the caller marks, so memory stays small for a source of any
// length. Offset(frameCount()) is where the audio ends.
class SourceWalk
{
    Q_DECLARE_TR_FUNCTIONS(SourceWalk)

public:
    // Returns the next frame index to remember after the given one (-1 at
    // the start), or -1 when no more are wanted.
    using Marks = std::function<qint64(qint64 previous)>;
    // Sees every audio frame: its index, file offset and bytes.
    using Visitor = std::function<void(qint64 index, qint64 offset, const char *frame, int length)>;

    // The file must be open for reading, unbuffered.
    explicit SourceWalk(QFile &file);

    // Finds the first frame and whether it is a header frame. False and a
    // reason when the file holds no MPEG audio.
    bool locate(QString *error);

    // Walks every audio frame once. False when the file could not be read.
    bool walk(const Marks &marks, const Visitor &visit = Visitor());

    const QByteArray &header() const { return m_header; }
    qint64 sampleRate() const { return m_rate; }
    int samplesPerFrame() const { return m_samples; }
    bool hasHeaderFrame() const { return m_headerFrame; }
    qint64 audioOffset() const { return m_audioOffset; }

    qint64 frameCount() const { return m_frameCount; }
    // The offset of a marked frame, or of the end of the audio for
    // frameCount(); -1 for a frame that was not marked or does not exist.
    qint64 offset(qint64 frame) const;

    // Adds a frame whose offset was learnt elsewhere (a visitor saw it).
    void remember(qint64 frame, qint64 offset) { m_marked.insert(frame, offset); }

    // The frame boundary nearest to a time: round((floor(ms x rate / 1000)
    // + lead) / samples per frame), as CutPlanner chooses whole frames;
    // frame 0 for 0.
    qint64 frameAt(qint64 ms) const;
    // Where a frame starts in the player's timeline, in milliseconds,
    // rounded down (0 for frames the player trims away).
    qint64 msOf(qint64 frame) const;
    // Where a piece starting at frame plays from when its decoder trims
    // trim samples more in front (a piece's own header frame makes it 529).
    qint64 msOf(qint64 frame, int trim) const;
    // Decoded samples the player drops in front (LAME delay + 529, or 0).
    int lead() const { return m_lead; }

    // Whether the audio frames differ in bitrate (after walk()).
    bool bitRatesDiffer() const { return m_bitRatesDiffer; }
    // The header frame (Xing and LAME extension, delay and padding 0) for a
    // piece of the audio frames [first, end): their count, bytes and table of
    // contents, so that players tell its length and seek in it right. Empty
    // when the frames all have one bitrate, where players need none.
    QByteArray pieceHeaderFrame(qint64 first, qint64 end) const;

private:
    QFile &m_file;
    QByteArray m_header;
    qint64 m_rate = 0;
    int m_samples = 0;
    bool m_headerFrame = false;
    int m_lead = 0;
    qint64 m_audioOffset = -1;
    qint64 m_frameCount = 0;
    qint64 m_end = -1;
    QHash<qint64, qint64> m_marked;
    bool m_bitRatesDiffer = false;
    QByteArray m_audioHeader;   // of the first audio frame
    // The offsets of every m_tocStep-th frame, for the pieces' tables of
    // contents; the step keeps them few for a source of any length.
    QVector<qint64> m_tocOffsets;
    qint64 m_tocStep = 1;
};

#endif // SOURCEWALK_H
