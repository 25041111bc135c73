#include "tags/tagcopier.h"
#include "testfiles.h"

#include <QtTest>

#include <attachedpictureframe.h>
#include <chapterframe.h>
#include <eventtimingcodesframe.h>
#include <synchronizedlyricsframe.h>
#include <tableofcontentsframe.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

namespace {

const char *const Dropped[] = {"TLEN", "CHAP", "CTOC", "ETCO", "SYLT"};

QByteArray coverArt()
{
    return QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(3000, 'c') + QByteArray("\xFF\xD9", 2);
}

// The fixture tone with a full ID3v2.<version> tag (title, artist, album, cover, and
// frames that describe the whole file) and an ID3v1 tag, written by TagLib.
void tag(const QString &path, int version)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    TagLib::ID3v2::Tag *v2 = file.ID3v2Tag(true);
    v2->setTitle("Whole Song");
    v2->setArtist("The Band");
    v2->setAlbum("The Album");
    // Every frame below is owned by the tag it is added to.
    auto *cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setMimeType("image/jpeg");
    cover->setPicture(TagLib::ByteVector(coverArt().constData(), unsigned(coverArt().size())));
    v2->addFrame(cover);
    auto *length = new TagLib::ID3v2::TextIdentificationFrame("TLEN");
    length->setText("2000");
    v2->addFrame(length);
    v2->addFrame(new TagLib::ID3v2::ChapterFrame("chp0", 0, 1000, 0xFFFFFFFF, 0xFFFFFFFF));
    TagLib::ByteVectorList chapters;
    chapters.append("chp0");
    v2->addFrame(new TagLib::ID3v2::TableOfContentsFrame("toc", chapters));
    v2->addFrame(new TagLib::ID3v2::EventTimingCodesFrame);
    auto *lyrics = new TagLib::ID3v2::SynchronizedLyricsFrame;
    TagLib::ID3v2::SynchronizedLyricsFrame::SynchedTextList lines;
    lines.append({500, "la"});
    lyrics->setSynchedText(lines);
    v2->addFrame(lyrics);
    TagLib::ID3v1::Tag *v1 = file.ID3v1Tag(true);
    v1->setTitle("Whole Song");
    v1->setTrack(7);
    file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
              version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
}

QString text(TagLib::ID3v2::Tag *tag, const char *id)
{
    const TagLib::ID3v2::FrameList list = tag->frameList(id);
    return list.isEmpty() ? QString() : QString::fromStdWString(list.front()->toString().toWString());
}

} // namespace

class TestTagCopier : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_scratch.renew()); }
    void forCut_data();
    void forCut();

private:
    ScratchFolder m_scratch;
};

void TestTagCopier::forCut_data()
{
    QTest::addColumn<int>("version");    // of the source's ID3v2 tag, 0 for none
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<int>("track");
    QTest::addColumn<QString>("wantTitle");  // ID3v2 TIT2; empty: no ID3v2 tag
    QTest::addColumn<QString>("wantArtist");
    QTest::addColumn<QString>("wantTrack");

    QTest::newRow("tags kept") << 4 << "" << "" << 0 << "Whole Song" << "The Band" << "7";
    QTest::newRow("overrides on a tagged source")
        << 4 << "Piece 2" << "Somebody 某人" << 2 << "Piece 2" << "Somebody 某人" << "2";
    QTest::newRow("ID3v2.3 tags kept") << 3 << "" << "" << 0 << "Whole Song" << "The Band" << "7";
    QTest::newRow("no tags") << 0 << "" << "" << 0 << "" << "" << "";
    QTest::newRow("overrides on an untagged source")
        << 0 << "Piece 3" << "" << 3 << "Piece 3" << "" << "3";
}

void TestTagCopier::forCut()
{
    QFETCH(int, version);
    const bool tagged = version > 0;
    QFETCH(QString, title);
    QFETCH(QString, artist);
    QFETCH(int, track);
    QFETCH(QString, wantTitle);
    QFETCH(QString, wantArtist);
    QFETCH(QString, wantTrack);
    const QByteArray audio = readAll(fixturePath("tone_440hz_2s.mp3"));
    QVERIFY(!audio.startsWith("ID3") && audio.mid(audio.size() - 128, 3) != "TAG");
    const QString source = m_scratch.write("source.mp3", audio);
    if (tagged) {
        tag(source, version);
        TagLib::MPEG::File file(QFile::encodeName(source).constData());
        for (const char *id : Dropped)
            QVERIFY2(!file.ID3v2Tag()->frameList(id).isEmpty(), id);
    }

    const CutTags tags = TagCopier::forCut(source, {title, artist, track});
    QCOMPARE(tags.id3v2.isEmpty(), wantTitle.isEmpty());
    QCOMPARE(tags.id3v1.size(), tagged ? 128 : 0);
    // the source's ID3v2 version, or 2.4 for a fresh tag
    QCOMPARE(tags.id3v2.isEmpty() ? 0 : int(tags.id3v2.at(3)), tagged ? version : wantTitle.isEmpty() ? 0 : 4);

    // What a tag reader finds in a piece carrying them.
    const QString piece = m_scratch.write("piece.mp3", tags.id3v2 + audio + tags.id3v1);
    TagLib::MPEG::File file(QFile::encodeName(piece).constData());
    QCOMPARE(file.hasID3v2Tag(), !wantTitle.isEmpty());
    if (file.hasID3v2Tag()) {
        TagLib::ID3v2::Tag *v2 = file.ID3v2Tag();
        QCOMPARE(text(v2, "TIT2"), wantTitle);
        QCOMPARE(text(v2, "TPE1"), wantArtist);
        QCOMPARE(text(v2, "TRCK"), wantTrack);
        QCOMPARE(text(v2, "TALB"), QString(tagged ? "The Album" : ""));
        const TagLib::ID3v2::FrameList covers = v2->frameList("APIC");
        QCOMPARE(covers.size(), tagged ? 1u : 0u);
        if (tagged) {
            const auto *cover = static_cast<TagLib::ID3v2::AttachedPictureFrame *>(covers.front());
            QCOMPARE(QByteArray(cover->picture().data(), int(cover->picture().size())), coverArt());
        }
        for (const char *id : Dropped)
            QVERIFY2(v2->frameList(id).isEmpty(), id);
    }
    QCOMPARE(file.hasID3v1Tag(), tagged);
    if (tagged) {
        QCOMPARE(QString::fromStdWString(file.ID3v1Tag()->title().toWString()),
                 title.isEmpty() ? QString("Whole Song") : title);
        QCOMPARE(file.ID3v1Tag()->track(), track ? unsigned(track) : 7u);
    }
}

QTEST_APPLESS_MAIN(TestTagCopier)
#include "tst_tagcopier.moc"
