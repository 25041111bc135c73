#include "tags/tagblock.h"

#include <QFile>

#include <id3v2synchdata.h>
#include <id3v2tag.h>
#include <textidentificationframe.h>

#include <algorithm>

namespace {

constexpr int HeaderSize = 10;   // tag header, and the footer of ID3v2.4
constexpr int MaxStacked = 16;   // tags read one after another at the start

// header flags: byte 5
constexpr char Unsynchronised = char(0x80);
constexpr char ExtendedHeader = 0x40; // ID3v2.2: compressed
constexpr char FooterPresent = 0x10;  // ID3v2.4 only

// ID3v2.4 frame format flags, byte 9 of the frame header: 0h00kmnp
constexpr char FrameUnsynchronised = 0x02;

TagLib::ByteVector vector(const QByteArray &bytes)
{
    return TagLib::ByteVector(bytes.constData(), unsigned(bytes.size()));
}

QByteArray bytes(const TagLib::ByteVector &v)
{
    return QByteArray(v.data(), int(v.size()));
}

quint32 bigEndian(const QByteArray &data, int at)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | quint8(data.at(at + i));
    return value;
}

// The tag's size field, bytes 6..9 of its header: synchsafe, 7 bits a byte.
qint64 bodySize(const QByteArray &header)
{
    return TagLib::ID3v2::SynchData::toUInt(vector(header.mid(6, 4)));
}

// All the bytes of the tag that starts with header, -1 when it is none:
// "ID3", a version from 2 to 4, a revision below 0xFF, a synchsafe size.
qint64 tagSize(const QByteArray &header)
{
    if (header.size() < HeaderSize || !header.startsWith("ID3"))
        return -1;
    const int version = quint8(header.at(3));
    if (version < 2 || version > 4 || quint8(header.at(4)) == 0xFF)
        return -1;
    for (int i = 6; i < HeaderSize; ++i) {
        if (quint8(header.at(i)) >= 0x80)
            return -1;
    }
    const bool footer = version == 4 && (header.at(5) & FooterPresent);
    return HeaderSize + bodySize(header) + (footer ? HeaderSize : 0);
}

// A frame's size, its header not counted: ID3v2.2 gives it in bytes 3..5,
// 2.3 in bytes 4..7, 2.4 in the same bytes, synchsafe.
qint64 frameSize(const QByteArray &body, int at, int version)
{
    if (version == 2)
        return (qint64(quint8(body.at(at + 3))) << 16) | (quint8(body.at(at + 4)) << 8) | quint8(body.at(at + 5));
    if (version == 3)
        return bigEndian(body, at + 4);
    return TagLib::ID3v2::SynchData::toUInt(vector(body.mid(at + 4, 4)));
}

// File alter preservation: byte 8 of the frame header, 0b0100'0000 in
// ID3v2.3, 0b0010'0000 in 2.4; ID3v2.2 frames have no flags.
bool dropsWhenAudioChanges(const QByteArray &body, int at, int version)
{
    if (version == 2)
        return false;
    return quint8(body.at(at + 8)) & (version == 3 ? 0x40 : 0x20);
}

bool validId(const QByteArray &id)
{
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// ID3v2.2 names of the text frames a piece's overrides set.
QByteArray shortId(const QByteArray &id)
{
    static const QByteArray pairs[][2] = {
        {"TIT2", "TT2"}, {"TPE1", "TP1"}, {"TRCK", "TRK"}, {"TALB", "TAL"},
    };
    for (const auto &pair : pairs) {
        if (pair[0] == id)
            return pair[1];
    }
    return id.left(3);
}

} // namespace

TagBlock TagBlock::parse(const QByteArray &data)
{
    TagBlock tag;
    const qint64 size = tagSize(data);
    if (size < 0 || size > data.size())
        return tag;
    tag.m_version = data.at(3);
    tag.m_header = data.left(HeaderSize);
    const char flags = tag.m_header.at(5);
    // Up to ID3v2.3 unsynchronisation covers the whole tag; 2.4 marks it
    // frame by frame, and its tag flag says that every frame has it.
    const char rewritten = Unsynchronised | (tag.m_version > 2 ? ExtendedHeader : 0);
    if (flags & rewritten)
        tag.m_verbatim = data.left(int(size));
    // The frames are copied out of data, which is only read here.
    QByteArray body = QByteArray::fromRawData(data.constData() + HeaderSize, int(bodySize(data)));
    if (tag.m_version < 4 && (flags & Unsynchronised))
        body = bytes(TagLib::ID3v2::SynchData::decode(vector(body)));
    tag.m_unsynchronisedFrames = tag.m_version == 4 && (flags & Unsynchronised);
    if (tag.m_version == 2 && (flags & ExtendedHeader))
        return TagBlock(); // compressed, in a way the format never defined
    if (tag.m_version > 2 && (flags & ExtendedHeader) && body.size() >= 4) {
        // ID3v2.3 counts the size field out, 2.4 counts it in (synchsafe).
        const qint64 skip = tag.m_version == 3
            ? qint64(bigEndian(body, 0)) + 4
            : TagLib::ID3v2::SynchData::toUInt(vector(body.left(4)));
        body = body.mid(int(std::min<qint64>(skip, body.size())));
    }
    tag.parseFrames(body, false);
    // Some taggers wrote ID3v2.4 frame sizes as plain integers, as in 2.3.
    if (tag.m_version == 4 && tag.hasUnreadableRest()) {
        TagBlock plain = tag;
        plain.m_frames.clear();
        plain.m_rest.clear();
        plain.parseFrames(body, true);
        if (!plain.hasUnreadableRest())
            return plain;
    }
    return tag;
}

void TagBlock::parseFrames(const QByteArray &body, bool plainSizes)
{
    const int headerSize = m_version == 2 ? 6 : HeaderSize;
    const int idSize = m_version == 2 ? 3 : 4;
    int at = 0;
    while (at + headerSize <= body.size() && body.at(at) != 0) {
        const QByteArray id = body.mid(at, idSize);
        const qint64 size = headerSize + frameSize(body, at, plainSizes ? 3 : m_version);
        if (!validId(id) || at + size > body.size())
            break;
        Frame frame{id, QByteArray(body.constData() + at, int(size)), dropsWhenAudioChanges(body, at, m_version)};
        if (m_unsynchronisedFrames)
            frame.bytes[9] = char(frame.bytes.at(9) | FrameUnsynchronised);
        m_frames.append(frame);
        at += int(size);
    }
    const QByteArray tail = QByteArray::fromRawData(body.constData() + at, body.size() - at);
    if (tail.count('\0') == tail.size())
        m_padding = tail.size();
    else
        m_rest = QByteArray(tail.constData(), tail.size());
}

QVector<TagBlock> TagBlock::readLeading(const QString &path)
{
    QVector<TagBlock> tags;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tags;
    while (tags.size() < MaxStacked) {
        const qint64 at = file.pos();
        const qint64 size = tagSize(file.read(HeaderSize));
        if (size < 0 || !file.seek(at))
            break;
        const TagBlock tag = parse(file.read(size));
        if (!tag.isValid())
            break;
        tags.append(tag);
    }
    return tags;
}

void TagBlock::removeFrames(const QByteArray &id)
{
    const int before = m_frames.size();
    m_frames.erase(std::remove_if(m_frames.begin(), m_frames.end(),
                                  [&id](const Frame &f) { return f.id == id; }),
                   m_frames.end());
    m_changed = m_changed || m_frames.size() != before;
}

void TagBlock::removeFramesIf(bool (*drop)(const Frame &))
{
    const int before = m_frames.size();
    m_frames.erase(std::remove_if(m_frames.begin(), m_frames.end(), drop), m_frames.end());
    m_changed = m_changed || m_frames.size() != before;
}

void TagBlock::addFrame(const Frame &frame)
{
    m_frames.append(frame);
    m_changed = true;
}

void TagBlock::setFrame(const Frame &frame)
{
    const auto first = std::find_if(m_frames.begin(), m_frames.end(),
                                    [&frame](const Frame &f) { return f.id == frame.id; });
    if (first == m_frames.end()) {
        addFrame(frame);
        return;
    }
    const int at = int(first - m_frames.begin());
    removeFrames(frame.id);
    m_frames.insert(at, frame);
    m_changed = true;
}

TagBlock TagBlock::empty()
{
    return parse(QByteArray("ID3\x04\0\0\0\0\0\0", HeaderSize));
}

int TagBlock::renderedSize(int maxPadding) const
{
    if (!m_changed && m_padding <= maxPadding && !m_verbatim.isEmpty())
        return m_verbatim.size();
    const bool footer = m_version == 4 && (m_header.at(5) & FooterPresent);
    return HeaderSize + renderedBodySize(maxPadding) + (footer ? HeaderSize : 0);
}

// The tag's size field when rendered anew: frames, what follows them, padding.
int TagBlock::renderedBodySize(int maxPadding) const
{
    const bool footer = m_version == 4 && (m_header.at(5) & FooterPresent);
    int size = m_rest.size() + (footer ? 0 : std::min(m_padding, maxPadding));
    for (const Frame &frame : m_frames)
        size += frame.bytes.size();
    return size;
}

QByteArray TagBlock::render(int maxPadding) const
{
    if (!m_changed && m_padding <= maxPadding && !m_verbatim.isEmpty())
        return m_verbatim;
    const bool footer = m_version == 4 && (m_header.at(5) & FooterPresent);
    const int size = renderedBodySize(maxPadding);
    QByteArray tag;
    tag.reserve(HeaderSize + size + (footer ? HeaderSize : 0));
    tag += m_header;
    // The frames are written as read: whole-tag unsynchronisation undone,
    // the extended header (its CRC would no longer hold) left out.
    tag[5] = char(m_header.at(5) & ~(Unsynchronised | (m_version > 2 ? ExtendedHeader : 0)));
    const TagLib::ByteVector sizeField = TagLib::ID3v2::SynchData::fromUInt(unsigned(size));
    for (int i = 0; i < 4; ++i)
        tag[6 + i] = sizeField[i];
    for (const Frame &frame : m_frames)
        tag += frame.bytes;
    tag += m_rest;
    tag.append(HeaderSize + size - tag.size(), '\0');
    if (footer)
        tag += QByteArray("3DI") + tag.mid(3, HeaderSize - 3);
    return tag;
}

TagBlock::Frame TagBlock::textFrame(const QByteArray &id, const QString &text) const
{
    const bool latin1 = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
    auto *frame = new TagLib::ID3v2::TextIdentificationFrame(vector(id), latin1 ? TagLib::String::Latin1 : TagLib::String::UTF8);
    frame->setText(TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8));
    // TagLib writes ID3v2.3 and 2.4; a 2.2 frame takes the 2.3 body (its
    // encodings are those of 2.3) under a header of its own.
    const Frame rendered = fromTagLib({frame}, m_version == 4 ? 4 : 3).value(0);
    if (m_version != 2)
        return rendered;
    const QByteArray body = rendered.bytes.mid(HeaderSize);
    QByteArray shortHeader = shortId(id);
    for (int shift = 16; shift >= 0; shift -= 8)
        shortHeader += char((body.size() >> shift) & 0xFF);
    return {shortId(id), shortHeader + body};
}

QVector<TagBlock::Frame> TagBlock::fromTagLib(const QVector<TagLib::ID3v2::Frame *> &frames, int version)
{
    // A tag renders its frames for its version, embedded frames included.
    TagLib::ID3v2::Tag tag;
    for (TagLib::ID3v2::Frame *frame : frames)
        tag.addFrame(frame);
    const TagLib::ByteVector rendered = tag.render(version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
    return parse(bytes(rendered)).frames();
}
