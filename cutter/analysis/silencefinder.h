#ifndef SILENCEFINDER_H
#define SILENCEFINDER_H

#include <QCoreApplication>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <array>
#include <functional>
#include <utility>

class QFile;
class SourceScan;

// Finds where to split a recording at its pauses: in the middle of every
// silence at least a given length, a silence being audio whose level stays
// below a threshold in dBFS. The level is judged on decoded samples, one
// frame at a time (the RMS of the frame's samples, channels mixed).
//
// Decoding a whole file costs seconds, so the frame walk first picks the
// stretches that may be quiet from each frame's side information: the
// global gain and Huffman table of every granule bound how large its
// spectral values can be. Only those stretches, with a few frames around
// them, are decoded. A silence at the very start or end of the audio is no
// place to split and is passed over.
class SilenceFinder
{
    Q_DECLARE_TR_FUNCTIONS(SilenceFinder)

public:
    struct Settings
    {
        qint64 minSilenceMs = 1500;
        double thresholdDb = -45.0;
    };
    struct Split
    {
        qint64 frame = 0;    // the audio frame the next piece starts with
        qint64 offset = 0;   // its file offset
    };

    // The file must be open for reading, unbuffered.
    SilenceFinder(QFile &file, const Settings &settings);

    // What the source's scan shows every audio frame: the finder picks its
    // candidate stretches from their side information on the way.
    std::function<void(qint64 index, qint64 offset, const char *frame, int length)> visitor();
    // After the scan: decodes the candidates and finds the splits.
    bool find(const SourceScan &scan, QVector<Split> *splits, QString *error);

    // Audio frames decoded by the last find(), for the curious.
    qint64 decodedFrames() const { return m_decoded; }

    // A level in dB (0 dB full scale) that the frame's decoded audio will
    // hardly pass, from its Layer III side information; SilentFrame when
    // every granule is empty, and 0 when the frame says nothing (other layers).
    static double levelBound(const char *frame, int length);
    static constexpr double SilentFrame = -200.0;

private:
    // Frames to decode: from frame (at offset), frames of them, judged from
    // the judgedFrom-th on (the ones before feed the decoder's reservoir).
    struct Window
    {
        qint64 frame = 0;
        qint64 offset = 0;
        qint64 frames = 0;
        qint64 judgedFrom = 0;
    };
    // A stretch that may be quiet, with a narrow and a wide margin.
    struct Stretch
    {
        Window narrow;
        Window wide;
    };
    struct Judgement;

    void see(qint64 index, qint64 offset, const char *frame, int length);
    Window windowFrom(qint64 quiet, qint64 pad) const;
    void openStretch(qint64 index);
    void closeStretch();
    bool decode(const Stretch &stretch, QVector<Split> *splits, QString *error);
    bool judge(const Window &window, Judgement *judged, QString *error);
    void findSilences(const Window &window, const Judgement &judged, QVector<Split> *splits) const;

    QFile &m_file;
    const SourceScan *m_scan = nullptr;
    Settings m_settings;
    qint64 m_minFrames = 0;
    double m_candidateDb = 0;
    QVector<Stretch> m_stretches;
    // Offset and main data bytes of the last frames, by index % 32.
    std::array<std::pair<qint64, int>, 32> m_recent{};
    qint64 m_lastSeen = -1;
    qint64 m_firstQuiet = -1;
    qint64 m_lastQuiet = -1;
    Stretch m_open;
    qint64 m_decoded = 0;
};

#endif // SILENCEFINDER_H
