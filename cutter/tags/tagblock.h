#ifndef TAGBLOCK_H
#define TAGBLOCK_H

#include <QByteArray>
#include <QString>
#include <QVector>

namespace TagLib { namespace ID3v2 { class Frame; } }

// One ID3v2 tag held as its frames' own bytes, so that a copy of it keeps
// every frame exactly as its tagger wrote it: the version, the text encodings,
// the frame flags, frames no library knows. Frames can be dropped and added;
// the rest of the tag is rendered as it came.
class TagBlock
{
public:
    struct Frame
    {
        QByteArray id;    // "TIT2"; three letters in ID3v2.2
        // The frame header and its body as stored in the tag, once the
        // tag-wide unsynchronisation of ID3v2.2 and 2.3 is undone.
        QByteArray bytes;
        // The tagger asked for the frame to go when the audio is changed.
        bool dropWhenAudioChanges = false;
    };

    // The tag at the start of data, or an invalid block when data does not
    // start with one.
    static TagBlock parse(const QByteArray &data);
    // The ID3v2 tags one after the other at the start of a file. None when
    // the file cannot be read or starts with something else.
    static QVector<TagBlock> readLeading(const QString &path);

    bool isValid() const { return m_version != 0; }
    int version() const { return m_version; } // 2, 3 or 4 (ID3v2.x)
    // The frames could not all be told apart (a broken frame size); what
    // could not is kept in one piece at the end.
    bool hasUnreadableRest() const { return !m_rest.isEmpty(); }

    const QVector<Frame> &frames() const { return m_frames; }
    void removeFrames(const QByteArray &id);
    void removeFramesIf(bool (*drop)(const Frame &));
    void addFrame(const Frame &frame);
    // Puts frame in the place of the first frame of its ID, dropping any
    // other of that ID; adds it at the end when there is none.
    void setFrame(const Frame &frame);
    // The tag as read when nothing was dropped or added and its padding is
    // within maxPadding; else the frames under a fresh header with the
    // source's padding, at most maxPadding.
    QByteArray render(int maxPadding) const;
    // The size of render(maxPadding), without rendering.
    int renderedSize(int maxPadding) const;

    // An empty ID3v2.4 tag.
    static TagBlock empty();

    // A text frame (TIT2, TPE1, TRCK, ...) in this tag's version, its ID
    // given as in ID3v2.3 and 2.4.
    Frame textFrame(const QByteArray &id, const QString &text) const;

    // Frames made with TagLib, rendered for a tag of the given version (3
    // or 4). Takes them over.
    static QVector<Frame> fromTagLib(const QVector<TagLib::ID3v2::Frame *> &frames, int version);

private:
    void parseFrames(const QByteArray &body, bool plainSizes);
    int renderedBodySize(int maxPadding) const;

    int m_version = 0;
    QByteArray m_verbatim; // the whole tag as read, where its frames alone do not give it back
    QByteArray m_header;   // its 10 header bytes
    QVector<Frame> m_frames;
    QByteArray m_rest;     // bytes after the last frame that are neither frame nor padding
    int m_padding = 0;
    bool m_changed = false;
    bool m_unsynchronisedFrames = false; // ID3v2.4: every frame's data is unsynchronised
};

#endif // TAGBLOCK_H
