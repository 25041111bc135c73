#ifndef TAGCOPIER_H
#define TAGCOPIER_H

#include <QByteArray>
#include <QString>

// What a batch split puts into the tags of a piece in place of the source's
// values; empty strings and track 0 leave those alone.
struct TagOverrides
{
    QString title;
    QString artist;
    int track = 0;
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

// Carries the source's tags over to a piece of it. Everything in the ID3v2 tag
// is kept (title, artist, album, cover art, ...) except the frames that
// describe the whole file and would be wrong for a piece: TLEN, MLLT, ETCO,
// SYLT, SYTC, CHAP, CTOC, ASPI and SEEK. TagLib parses and renders the tags.
class TagCopier
{
public:
    // The tags of sourcePath prepared for a cut, with overrides applied to
    // both (a source without an ID3v2 tag gets one when an override is
    // given; an ID3v1 tag is only written where the source has one). The
    // ID3v2 tag is rendered as version 2.4 without padding. A source without
    // tags, or one TagLib cannot open, gives empty tags.
    static CutTags forCut(const QString &sourcePath, const TagOverrides &overrides = {},
                          const ReplayGainTags &replayGain = {});
};

#endif // TAGCOPIER_H
