#ifndef SOURCETIMELINE_H
#define SOURCETIMELINE_H

#include <QString>
#include <QtGlobal>

// The encoder's header frame in front of the audio, when there is one.
enum class HeaderFrameKind { None, Xing, Info, Vbri };

// The source's encoder facts that set its timeline: what the header frame
// says, and the LAME extension's delay and padding that players trim.
struct SourceTimeline
{
    static constexpr int DecoderDelay = 529;

    HeaderFrameKind kind = HeaderFrameKind::None;
    qint64 headerFrames = -1;     // its frame count, -1 when it has none
    qint64 headerBytes = -1;      // its byte count, -1 when it has none
    bool lame = false;            // it has a LAME extension
    int delay = 0;                // encoder delay and padding from that extension
    int padding = 0;

    bool headerFrame() const { return kind != HeaderFrameKind::None; }
    // The header frame says the bitrates vary.
    bool xing() const { return kind == HeaderFrameKind::Xing || kind == HeaderFrameKind::Vbri; }
    // Decoded samples the player drops in front: delay + 529 with a LAME
    // extension, else none.
    int leadingTrim() const { return lame ? delay + DecoderDelay : 0; }
    int trailingTrim() const { return lame ? qMax(0, padding - DecoderDelay) : 0; }
    // "Xing", "Info", "VBRI" or "none".
    QString kindName() const;
};

#endif // SOURCETIMELINE_H
