#include "tags/tagcopier.h"

#include <QFile>

#include <id3v1tag.h>
#include <id3v2frame.h>
#include <id3v2header.h>
#include <id3v2synchdata.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

#include <QStringList>

#include <cmath>

namespace {

// Frames that hold facts about the whole file: its length, seek and timing
// tables, synchronised lyrics and tempo, chapters, and tag locations.
constexpr const char *WholeFileFrames[] = {
    "TLEN", "MLLT", "ETCO", "SYLT", "SYTC", "CHAP", "CTOC", "ASPI", "SEEK",
};

TagLib::String tagString(const QString &text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

void setText(TagLib::ID3v2::Tag &tag, const char *id, const QString &text)
{
    tag.removeFrames(id);
    // The tag owns and deletes its frames.
    auto *frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(tagString(text));
    tag.addFrame(frame);
}

bool hasOverrides(const TagOverrides &o)
{
    return !o.title.isEmpty() || !o.artist.isEmpty() || o.track > 0;
}

// The replay-gain TXXX frames players read, all four replaced by the two
// given.
void setReplayGain(TagLib::ID3v2::Tag &tag, const QString &gain, const QString &peak)
{
    const QStringList names = {QStringLiteral("REPLAYGAIN_TRACK_GAIN"), QStringLiteral("REPLAYGAIN_TRACK_PEAK"),
                               QStringLiteral("REPLAYGAIN_ALBUM_GAIN"), QStringLiteral("REPLAYGAIN_ALBUM_PEAK")};
    for (const QString &name : names) {
        while (auto *old = TagLib::ID3v2::UserTextIdentificationFrame::find(&tag, tagString(name)))
            tag.removeFrame(old);
    }
    for (int i = 0; i < 2; ++i) {
        auto *frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::Latin1);
        frame->setDescription(tagString(names[i]));
        frame->setText(tagString(i == 0 ? gain : peak));
        tag.addFrame(frame);
    }
}

// "-3.21 dB" less change; a peak times the change's factor. Values that do
// not read as numbers stay as they are.
void shiftReplayGain(TagLib::ID3v2::Tag &tag, double changeDb)
{
    for (TagLib::ID3v2::Frame *f : tag.frameList("TXXX")) {
        auto *frame = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame *>(f);
        const TagLib::StringList fields = frame ? frame->fieldList() : TagLib::StringList();
        if (fields.size() < 2)
            continue;
        const QString name = QString::fromStdString(fields[0].to8Bit(true)).toUpper();
        QString value = QString::fromStdString(fields[1].to8Bit(true)).trimmed();
        const bool isGain = name == QLatin1String("REPLAYGAIN_TRACK_GAIN") || name == QLatin1String("REPLAYGAIN_ALBUM_GAIN");
        const bool isPeak = name == QLatin1String("REPLAYGAIN_TRACK_PEAK") || name == QLatin1String("REPLAYGAIN_ALBUM_PEAK");
        if (isGain && value.endsWith(QLatin1String("dB"), Qt::CaseInsensitive))
            value.chop(2);
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        if (!ok || !(isGain || isPeak))
            continue;
        frame->setText(tagString(isGain ? QStringLiteral("%1 dB").arg(number - changeDb, 0, 'f', 2)
                                        : QString::number(number * std::pow(10.0, changeDb / 20.0), 'f', 6)));
    }
}

void applyOverrides(TagLib::ID3v2::Tag &tag, const TagOverrides &o)
{
    if (!o.title.isEmpty())
        setText(tag, "TIT2", o.title);
    if (!o.artist.isEmpty())
        setText(tag, "TPE1", o.artist);
    if (o.track > 0)
        setText(tag, "TRCK", QString::number(o.track));
}

void applyReplayGain(TagLib::ID3v2::Tag &tag, const ReplayGainTags &r)
{
    if (!r.trackGain.isEmpty())
        setReplayGain(tag, r.trackGain, r.trackPeak);
    else if (r.levelChangeDb != 0)
        shiftReplayGain(tag, r.levelChangeDb);
}

void applyOverrides(TagLib::ID3v1::Tag &tag, const TagOverrides &o)
{
    if (!o.title.isEmpty())
        tag.setTitle(tagString(o.title));
    if (!o.artist.isEmpty())
        tag.setArtist(tagString(o.artist));
    if (o.track > 0)
        tag.setTrack(unsigned(o.track));
}

QByteArray bytes(const TagLib::ByteVector &v)
{
    return QByteArray(v.data(), int(v.size()));
}

// TagLib pads a rendered tag (1 KiB at least). The frames are what Tag::render
// puts in front of the padding, so a tag whose bytes are exactly those frames
// and zeros is cut back to the frames; anything else is kept as rendered.
QByteArray withoutPadding(const TagLib::ID3v2::Tag &tag, const TagLib::ByteVector &rendered)
{
    const unsigned headerSize = TagLib::ID3v2::Header::size();
    TagLib::ByteVector frames;
    for (const TagLib::ID3v2::Frame *frame : tag.frameList()) {
        if (frame->frameID().size() != 4)
            continue;
        const TagLib::ByteVector data = frame->render();
        if (data.size() != TagLib::ID3v2::Frame::headerSize())
            frames.append(data);
    }
    if (rendered.size() < headerSize + frames.size()
        || rendered.mid(headerSize, frames.size()) != frames)
        return bytes(rendered);
    for (unsigned i = headerSize + frames.size(); i < rendered.size(); ++i) {
        if (rendered[i] != 0)
            return bytes(rendered);
    }
    TagLib::ByteVector trimmed = rendered.mid(0, headerSize);
    // tag size: 4 synchsafe bytes at 6..9 of the header
    const TagLib::ByteVector size = TagLib::ID3v2::SynchData::fromUInt(frames.size());
    for (unsigned i = 0; i < 4; ++i)
        trimmed[6 + i] = size[i];
    trimmed.append(frames);
    return bytes(trimmed);
}

QByteArray renderId3v2(TagLib::ID3v2::Tag &tag, const TagOverrides &overrides,
                       const ReplayGainTags &replayGain)
{
    for (const char *id : WholeFileFrames)
        tag.removeFrames(id);
    applyOverrides(tag, overrides);
    applyReplayGain(tag, replayGain);
    if (tag.frameList().isEmpty())
        return QByteArray();
    return withoutPadding(tag, tag.render(TagLib::ID3v2::v4));
}

} // namespace

CutTags TagCopier::forCut(const QString &sourcePath, const TagOverrides &overrides,
                          const ReplayGainTags &replayGain)
{
    CutTags tags;
    TagLib::MPEG::File file(QFile::encodeName(sourcePath).constData(), false);
    const bool open = file.isOpen();
    if (open && file.hasID3v2Tag()) {
        tags.id3v2 = renderId3v2(*file.ID3v2Tag(), overrides, replayGain);
    } else if (hasOverrides(overrides) || !replayGain.trackGain.isEmpty()) {
        TagLib::ID3v2::Tag fresh;
        tags.id3v2 = renderId3v2(fresh, overrides, replayGain);
    }
    if (open && file.hasID3v1Tag()) {
        TagLib::ID3v1::Tag *v1 = file.ID3v1Tag();
        applyOverrides(*v1, overrides);
        tags.id3v1 = bytes(v1->render());
    }
    return tags;
}
