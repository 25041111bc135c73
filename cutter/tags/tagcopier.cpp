#include "tags/tagcopier.h"

#include "tags/chapterreader.h"
#include "tags/chapterwriter.h"

#include <QFile>

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

} // namespace

TagCopier::TagCopier(const QString &sourcePath)
    : m_kept(TagBlock::readLeading(sourcePath))
    , m_chapters(ChapterReader::read(m_kept).chapters)
    , m_id3v1(readId3v1(sourcePath))
{
    for (TagBlock &tag : m_kept)
        tag.removeFramesIf(describesWholeFile);
    m_plain = render({}, {});
}

CutTags TagCopier::forPiece(const TagOverrides &overrides, const QVector<Chapter> &chapters) const
{
    // Pieces with nothing of their own share one copy of the tags.
    if (overrides.isEmpty() && chapters.isEmpty())
        return m_plain;
    return render(overrides, chapters);
}

CutTags TagCopier::render(const TagOverrides &overrides, const QVector<Chapter> &chapters) const
{
    QVector<TagBlock> tags = m_kept;
    if (tags.isEmpty() && !overrides.isEmpty())
        tags.append(TagBlock::empty());
    applyOverrides(tags, overrides);
    addChapters(tags, chapters);
    CutTags rendered;
    for (const TagBlock &tag : tags) {
        if (!tag.frames().isEmpty() || tag.hasUnreadableRest())
            rendered.id3v2 += tag.render(MaxPadding);
    }
    rendered.id3v1 = m_id3v1.isEmpty() ? QByteArray() : withOverrides(m_id3v1, overrides);
    return rendered;
}

CutTags TagCopier::forEdit(const QStringList &sources, const QVector<KeptRange> &kept)
{
    if (sources.isEmpty())
        return {};
    const TagCopier first(sources.first());
    QVector<QVector<Chapter>> chapters{first.m_chapters};
    for (int i = 1; i < sources.size(); ++i)
        chapters.append(ChapterReader::read(sources.at(i)).chapters);
    return first.forPiece({}, ChapterMap::through(chapters, kept));
}

CutTags TagCopier::forCut(const QString &sourcePath, const TagOverrides &overrides)
{
    return TagCopier(sourcePath).forPiece(overrides);
}
