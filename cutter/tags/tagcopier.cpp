#include "tags/tagcopier.h"

#include "tags/chapterreader.h"
#include "tags/chapterwriter.h"

#include <QFile>

#include <textidentificationframe.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Id3v1Size = 128;

// ID3v1 fields: offset and length in the 128 bytes
constexpr int TitleAt = 3, ArtistAt = 33, FieldSize = 30;
constexpr int CommentEndAt = 125; // zero in ID3v1.1, whose track follows
constexpr int TrackAt = 126;

// Frames that hold facts about the whole file: its length, seek and timing
// tables, synchronised lyrics and tempo, chapters, and tag locations. The
// three-letter names are ID3v2.2's.
bool describesWholeFile(const TagBlock::Frame &frame)
{
    static const QByteArray ids[] = {
        "TLEN", "MLLT", "ETCO", "SYLT", "SYTC", "CHAP", "CTOC", "ASPI", "SEEK",
        "TLE", "MLL", "ETC", "SLT", "STC",
    };
    if (frame.dropWhenAudioChanges)
        return true;
    return std::find(std::begin(ids), std::end(ids), frame.id) != std::end(ids);
}

QByteArray readId3v1(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < Id3v1Size || !file.seek(file.size() - Id3v1Size))
        return QByteArray();
    const QByteArray tag = file.read(Id3v1Size);
    return tag.size() == Id3v1Size && tag.startsWith("TAG") ? tag : QByteArray();
}

void setField(QByteArray &tag, int at, const QString &text)
{
    const QByteArray latin1 = text.toLatin1().left(FieldSize);
    tag.replace(at, FieldSize, latin1 + QByteArray(FieldSize - latin1.size(), '\0'));
}

QByteArray withOverrides(QByteArray tag, const TagOverrides &o)
{
    if (!o.title.isEmpty())
        setField(tag, TitleAt, o.title);
    if (!o.artist.isEmpty())
        setField(tag, ArtistAt, o.artist);
    // A comment that fills its 30 bytes has no room for a track number.
    if (o.track > 0 && o.track < 256 && tag.at(CommentEndAt) == '\0')
        tag[TrackAt] = char(o.track);
    return tag;
}

void applyOverrides(QVector<TagBlock> &tags, const TagOverrides &o)
{
    const QPair<QByteArray, QString> texts[] = {
        {"TIT2", o.title}, {"TPE1", o.artist}, {"TRCK", o.track > 0 ? QString::number(o.track) : QString()},
    };
    for (int i = 0; i < tags.size(); ++i) {
        TagBlock &tag = tags[i];
        for (const auto &text : texts) {
            if (text.second.isEmpty())
                continue;
            const TagBlock::Frame frame = tag.textFrame(text.first, text.second);
            const bool has = std::any_of(tag.frames().begin(), tag.frames().end(),
                                         [&frame](const TagBlock::Frame &f) { return f.id == frame.id; });
            if (has || i == 0)
                tag.setFrame(frame);
        }
    }
}

// Chapters go into the first tag that can hold them: ID3v2.2 has no frames
// for them, so a tag of its own follows such a tag.
void addChapters(QVector<TagBlock> &tags, const QVector<Chapter> &chapters)
{
    if (chapters.isEmpty())
        return;
    if (tags.isEmpty() || tags.front().version() < 3)
        tags.append(TagBlock::empty());
    TagBlock &tag = tags.front().version() < 3 ? tags.back() : tags.front();
    for (const TagBlock::Frame &frame : ChapterWriter::frames(chapters, tag.version()))
        tag.addFrame(frame);
}


// ReplayGain's TXXX frames, by their description.
const char *const ReplayGainNames[] = {
    "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK",
};

// The description and value of a TXXX frame of ID3v2.3 or 2.4; false for
// any other frame, and for one whose body is compressed, encrypted or
// unsynchronised on its own (format flags, byte 9 of the frame header).
bool userText(const TagBlock::Frame &frame, QString *description, QString *value)
{
    constexpr int FrameHeaderSize = 10;
    if (frame.id != "TXXX" || frame.bytes.size() <= FrameHeaderSize + 1 || frame.bytes.at(9) != 0)
        return false;
    const QByteArray body = frame.bytes.mid(FrameHeaderSize + 1);
    const char encoding = frame.bytes.at(FrameHeaderSize);
    if (encoding == 0 || encoding == 3) {
        const int end = body.indexOf('\0');
        if (end < 0)
            return false;
        const QByteArray d = body.left(end), v = body.mid(end + 1).split('\0').value(0);
        *description = encoding == 0 ? QString::fromLatin1(d) : QString::fromUtf8(d);
        *value = encoding == 0 ? QString::fromLatin1(v) : QString::fromUtf8(v);
        return true;
    }
    // UTF-16: a BOM (1) or big-endian (2), terminated by two zero bytes.
    const TagLib::String::Type type = encoding == 1 ? TagLib::String::UTF16 : TagLib::String::UTF16BE;
    int end = 0;
    while (end + 1 < body.size() && (body.at(end) != 0 || body.at(end + 1) != 0))
        end += 2;
    const auto text = [type](const QByteArray &b) {
        return QString::fromStdString(TagLib::String(TagLib::ByteVector(b.constData(), unsigned(b.size())), type).to8Bit(true));
    };
    *description = text(body.left(end));
    *value = text(body.mid(end + 2));
    return true;
}

bool isReplayGain(const TagBlock::Frame &frame)
{
    QString description, value;
    if (!userText(frame, &description, &value))
        return false;
    return std::any_of(std::begin(ReplayGainNames), std::end(ReplayGainNames),
                       [&description](const char *name) { return description.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; });
}

TagBlock::Frame userTextFrame(const QString &description, const QString &value, int version)
{
    auto *frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::Latin1);
    frame->setDescription(TagLib::String(description.toUtf8().constData(), TagLib::String::UTF8));
    frame->setText(TagLib::String(value.toUtf8().constData(), TagLib::String::UTF8));
    // The tag that renders it owns it.
    return TagBlock::fromTagLib({frame}, version == 4 ? 4 : 3).value(0);
}

// "-3.21 dB" less the change; a peak times the change's factor. Values that
// do not read as numbers stay as they are.
TagBlock::Frame shifted(const TagBlock::Frame &frame, int version, double changeDb)
{
    QString description, value;
    if (!userText(frame, &description, &value))
        return frame;
    const bool isGain = description.endsWith(QLatin1String("_GAIN"), Qt::CaseInsensitive);
    QString number = value.trimmed();
    if (isGain && number.endsWith(QLatin1String("dB"), Qt::CaseInsensitive))
        number.chop(2);
    bool ok = false;
    const double x = number.trimmed().toDouble(&ok);
    if (!ok)
        return frame;
    return userTextFrame(description,
                         isGain ? QStringLiteral("%1 dB").arg(x - changeDb, 0, 'f', 2)
                                : QString::number(x * std::pow(10.0, changeDb / 20.0), 'f', 6),
                         version);
}

// Measured anew: the track's gain and peak replace all four frames, in the
// first tag that can hold a TXXX frame. Otherwise the values the source
// records follow the level change.
void applyReplayGain(QVector<TagBlock> &tags, const ReplayGainTags &r)
{
    if (r.isEmpty())
        return;
    if (!r.trackGain.isEmpty()) {
        for (TagBlock &tag : tags)
            tag.removeFramesIf(isReplayGain);
        if (tags.isEmpty() || tags.front().version() < 3)
            tags.append(TagBlock::empty());
        TagBlock &tag = tags.front().version() < 3 ? tags.back() : tags.front();
        tag.addFrame(userTextFrame(QString::fromLatin1(ReplayGainNames[0]), r.trackGain, tag.version()));
        tag.addFrame(userTextFrame(QString::fromLatin1(ReplayGainNames[1]), r.trackPeak, tag.version()));
        return;
    }
    for (TagBlock &tag : tags) {
        if (tag.version() < 3)
            continue;
        QVector<TagBlock::Frame> changed;
        for (const TagBlock::Frame &frame : tag.frames()) {
            if (isReplayGain(frame))
                changed.append(shifted(frame, tag.version(), r.levelChangeDb));
        }
        if (changed.isEmpty())
            continue;
        tag.removeFramesIf(isReplayGain);
        for (const TagBlock::Frame &frame : qAsConst(changed))
            tag.addFrame(frame);
    }
}

} // namespace

TagCopier::TagCopier(const QString &sourcePath)
    : m_kept(TagBlock::readLeading(sourcePath))
    , m_chapters(ChapterReader::read(m_kept).chapters)
    , m_id3v1(readId3v1(sourcePath))
{
    for (TagBlock &tag : m_kept)
        tag.removeFramesIf(describesWholeFile);
    m_plain = prepare({}).render();
}

CutTags TagCopier::forPiece(const TagOverrides &overrides, const QVector<Chapter> &chapters,
                            const ReplayGainTags &replayGain) const
{
    // Pieces with nothing of their own share one copy of the tags.
    if (overrides.isEmpty() && chapters.isEmpty() && replayGain.isEmpty())
        return m_plain;
    return prepare(overrides, chapters, replayGain).render();
}

PreparedTags TagCopier::prepare(const TagOverrides &overrides, const QVector<Chapter> &chapters,
                                const ReplayGainTags &replayGain) const
{
    PreparedTags prepared;
    QVector<TagBlock> &tags = prepared.id3v2;
    tags = m_kept;
    if (tags.isEmpty() && !overrides.isEmpty())
        tags.append(TagBlock::empty());
    applyOverrides(tags, overrides);
    addChapters(tags, chapters);
    applyReplayGain(tags, replayGain);
    // A tag left without frames is no tag.
    tags.erase(std::remove_if(tags.begin(), tags.end(),
                              [](const TagBlock &tag) { return tag.frames().isEmpty() && !tag.hasUnreadableRest(); }),
               tags.end());
    prepared.id3v1 = m_id3v1.isEmpty() ? QByteArray() : withOverrides(m_id3v1, overrides);
    return prepared;
}

qint64 PreparedTags::size() const
{
    qint64 bytes = id3v1.size();
    for (const TagBlock &tag : id3v2)
        bytes += tag.renderedSize(TagCopier::MaxPadding);
    return bytes;
}

CutTags PreparedTags::render() const
{
    CutTags rendered;
    for (const TagBlock &tag : id3v2)
        rendered.id3v2 += tag.render(TagCopier::MaxPadding);
    rendered.id3v1 = id3v1;
    return rendered;
}

CutTags TagCopier::forEdit(const QStringList &sources, const QVector<KeptRange> &kept,
                           const ReplayGainTags &replayGain, qint64 seamMs)
{
    if (sources.isEmpty())
        return {};
    const TagCopier first(sources.first());
    QVector<QVector<Chapter>> chapters{first.m_chapters};
    for (int i = 1; i < sources.size(); ++i)
        chapters.append(ChapterReader::read(sources.at(i)).chapters);
    return first.forPiece({}, ChapterMap::through(chapters, kept, seamMs), replayGain);
}

CutTags TagCopier::forCut(const QString &sourcePath, const TagOverrides &overrides,
                          const ReplayGainTags &replayGain)
{
    return TagCopier(sourcePath).forPiece(overrides, {}, replayGain);
}
