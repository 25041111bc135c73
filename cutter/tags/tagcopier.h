#ifndef TAGCOPIER_H
#define TAGCOPIER_H

#include "tags/chapter.h"
#include "tags/chaptermap.h"
#include "tags/tagblock.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// What a batch split puts into the tags of a piece in place of the source's
// values; empty strings and track 0 leave those alone.
struct TagOverrides
{
    QString title;
    QString artist;
    int track = 0;

    bool isEmpty() const { return title.isEmpty() && artist.isEmpty() && track <= 0; }
};

// The replay gain of an output whose level changed.
struct ReplayGainTags
{
    // The track's gain and peak measured anew ("-3.21 dB", "0.988123"):
    // written as REPLAYGAIN_TRACK_GAIN and _PEAK, in place of any the source
    // had; its album gain and peak no longer hold and are dropped.
    QString trackGain;
    QString trackPeak;
    // Otherwise, the change in dB: replay gains the source records are
    // lowered by it, and their peaks scaled, so players still play the
    // output at the level they played the source.
    double levelChangeDb = 0;

    bool isEmpty() const { return trackGain.isEmpty() && levelChangeDb == 0; }
};

// The rendered tags for a cut: id3v2 goes in front of the frames, id3v1 (128
// bytes) after them. Either is empty when there is none to write.
struct CutTags
{
    QByteArray id3v2;
    QByteArray id3v1;
};

// A piece's tags, ready to be rendered: they share the source's frames, so
// that the tags of many pieces cost little until each is written.
struct PreparedTags
{
    QVector<TagBlock> id3v2;
    QByteArray id3v1;

    // The size of what render() gives, without rendering.
    qint64 size() const;
    CutTags render() const;
};

// Carries the source's tags over to pieces of it. The source is read once;
// each piece's tags are then rendered from what was read.
//
// The ID3v2 tags at the start of the source (one, or several one after the
// other) keep their version and every frame as it was written, byte for byte,
// except the frames that describe the whole file and would be wrong for a
// piece: TLEN, MLLT, ETCO, SYLT, SYTC, CHAP, CTOC, ASPI and SEEK (and their
// ID3v2.2 names), and frames their tagger marked to be dropped when the audio
// changes. A tag keeps the source's padding up to MaxPadding. The ID3v1 tag's
// 128 bytes are copied as they are.
class TagCopier
{
public:
    explicit TagCopier(const QString &sourcePath);

    // The tags for a piece with overrides applied: in each ID3v2 tag that
    // has the frame, and in the first (a fresh ID3v2.4 tag when the source has
    // none); in the ID3v1 tag where it has one, its track only where that
    // costs no comment bytes. chapters (in the piece's own time) take the
    // place of the source's.
    CutTags forPiece(const TagOverrides &overrides = {}, const QVector<Chapter> &chapters = {},
                     const ReplayGainTags &replayGain = {}) const;
    // The same, to be rendered later.
    PreparedTags prepare(const TagOverrides &overrides, const QVector<Chapter> &chapters = {},
                         const ReplayGainTags &replayGain = {}) const;

    // An edit's tags: those of the first source, with the chapters of every
    // source that survive in the kept ranges (whose source numbers index
    // sources), where the output plays them. seamMs: see ChapterMap.
    static CutTags forEdit(const QStringList &sources, const QVector<KeptRange> &kept,
                           const ReplayGainTags &replayGain = {}, qint64 seamMs = 0);
    // The source's chapters, in its own time.
    const QVector<Chapter> &chapters() const { return m_chapters; }

    // The tags once, without chapters.
    static CutTags forCut(const QString &sourcePath, const TagOverrides &overrides = {},
                          const ReplayGainTags &replayGain = {});

    // Room a tag keeps for a tagger to grow it in place, without every piece
    // of a batch carrying a large padding.
    static constexpr int MaxPadding = 16 * 1024;

private:
    QVector<TagBlock> m_kept;  // the source's ID3v2 tags without the whole-file frames
    QVector<Chapter> m_chapters;
    QByteArray m_id3v1;
    CutTags m_plain;           // forPiece() with nothing to add
};

#endif // TAGCOPIER_H
