#ifndef LOUDNESSMETER_H
#define LOUDNESSMETER_H

#include <QVector>
#include <QtGlobal>

#include <array>
#include <vector>

// The loudness of decoded audio as ReplayGain 2 measures it (ITU-R BS.1770):
// K-weighted mean square in 400 ms blocks that overlap by 300 ms, gated at
// -70 LUFS and 10 LU under the ungated mean; and the sample peak. Audio is
// added in any pieces; meters of consecutive stretches of one stream merge.
class LoudnessMeter
{
public:
    // ReplayGain 2's reference loudness.
    static constexpr double TargetLufs = -18.0;

    explicit LoudnessMeter(long rate = 44100, int channels = 2);

    // Measure the peak only: a tenth of the work.
    void setPeakOnly(bool on) { m_peakOnly = on; }

    // Interleaved 16-bit samples, count per channel.
    void add(const qint16 *samples, int count);
    // The blocks of a stretch that follows this meter's.
    void merge(const LoudnessMeter &later);

    // Integrated loudness in LUFS; -70 or less when all is silent.
    double loudness() const;
    // The largest sample magnitude; 1.0 is full scale.
    double peak() const { return m_peak / 32768.0; }
    qint64 samples() const { return m_samples; }
    long rate() const { return m_rate; }
    int channels() const { return m_channels; }

private:
    struct Biquad
    {
        double b0, b1, b2, a1, a2;
    };
    struct State
    {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };

    double weigh(const qint16 *samples, int from, int count, int channel);

    long m_rate;
    int m_channels;
    std::array<Biquad, 2> m_filter{};
    std::vector<State> m_state;  // two per channel
    int m_quarterLength = 0;     // samples in 100 ms
    int m_inQuarter = 0;
    double m_quarterSum = 0;
    QVector<double> m_quarters;  // K-weighted energy per 100 ms, channels summed
    int m_peak = 0;
    qint64 m_samples = 0;
    bool m_peakOnly = false;
};

#endif // LOUDNESSMETER_H
