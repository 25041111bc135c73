#ifndef CUESHEET_H
#define CUESHEET_H

#include <QCoreApplication>
#include <QString>
#include <QVector>

// A CUE sheet as a disc burner or a ripper writes it, read for the tracks it
// marks in one audio file:
//
//   PERFORMER "The Band"
//   TITLE "Live at the Hall"
//   FILE "live.mp3" MP3
//     TRACK 01 AUDIO
//       TITLE "Opening"
//       INDEX 01 00:00:00
//
// INDEX 01 gives where a track starts, as mm:ss:ff with 75 frames a second;
// a track ends where the next one starts. TITLE and PERFORMER before the first
// TRACK are the album's; a track without its own PERFORMER takes the album's.
// Values may be quoted (everything between the first and the last quote) or
// a single word. REM lines and the keywords that do not place tracks
// (CATALOG, FLAGS, ISRC, PREGAP, INDEX 00, ...) are passed over.
//
// Every FILE line must name the file being split: the same file name in any
// letter case, with any folder in front (a sheet often keeps the ripper's
// path), or the same name with another audio extension (a sheet written for
// the WAV of a rip that was encoded afterwards).
class CueSheet
{
    Q_DECLARE_TR_FUNCTIONS(CueSheet)

public:
    struct Track
    {
        int number = 0;
        qint64 startMs = 0;
        QString title;
        QString performer;
        int line = 0;   // the TRACK line, 1-based
    };

    QString title;
    QString performer;
    QVector<Track> tracks;

    // Reads the sheet's text for the audio file named audioFile. False and a
    // message naming the line when the sheet cannot be used for that file.
    static bool parse(const QByteArray &text, const QString &audioFile, CueSheet *sheet, QString *error);

    // True when a FILE line's name stands for the audio file (see above).
    static bool namesFile(const QString &sheetName, const QString &audioFile);
};

#endif // CUESHEET_H
