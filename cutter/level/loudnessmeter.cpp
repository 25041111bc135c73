#include "level/loudnessmeter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double AbsoluteGate = -70.0;
constexpr double RelativeGate = -10.0;

double toLufs(double meanSquare)
{
    return meanSquare > 0 ? -0.691 + 10.0 * std::log10(meanSquare) : -200.0;
}

} // namespace

LoudnessMeter::LoudnessMeter(long rate, int channels)
    : m_rate(rate > 0 ? rate : 44100)
    , m_channels(std::max(1, channels))
{
    // The K-weighting filter, derived for this rate from its two analogue
    // stages: a high shelf of about +4 dB above 1.7 kHz, and a high-pass
    // at 38 Hz.
    {
        const double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
        const double k = std::tan(Pi * f0 / double(m_rate));
        const double vh = std::pow(10.0, gain / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        m_filter[0] = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                       (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
                       (1.0 - k / q + k * k) / a0};
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double k = std::tan(Pi * f0 / double(m_rate));
        const double a0 = 1.0 + k / q + k * k;
        m_filter[1] = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    m_state.resize(2 * m_channels);
    m_quarterLength = int(m_rate / 10);
}

// K-weighted energy of samples [from, from + count) of one channel, the
// filter's state carried on.
double LoudnessMeter::weigh(const qint16 *samples, int from, int count, int channel)
{
    const Biquad &f = m_filter[0];
    const Biquad &g = m_filter[1];
    State &s = m_state[2 * channel];
    State &t = m_state[2 * channel + 1];
    double sum = 0;
    const qint16 *p = samples + from * m_channels + channel;
    for (int i = 0; i < count; ++i, p += m_channels) {
        const double x = *p * (1.0 / 32768.0);
        const double y = f.b0 * x + f.b1 * s.x1 + f.b2 * s.x2 - f.a1 * s.y1 - f.a2 * s.y2;
        s.x2 = s.x1;
        s.x1 = x;
        s.y2 = s.y1;
        s.y1 = y;
        const double z = g.b0 * y + g.b1 * t.x1 + g.b2 * t.x2 - g.a1 * t.y1 - g.a2 * t.y2;
        t.x2 = t.x1;
        t.x1 = y;
        t.y2 = t.y1;
        t.y1 = z;
        sum += z * z;
    }
    return sum;
}

void LoudnessMeter::add(const qint16 *samples, int count)
{
    m_samples += count;
    for (int i = 0; i < count * m_channels; ++i)
        m_peak = std::max(m_peak, std::abs(int(samples[i])));
    if (m_peakOnly)
        return;
    // channel by channel, a quarter of a block at a time
    for (int from = 0; from < count;) {
        const int n = std::min(count - from, m_quarterLength - m_inQuarter);
        for (int ch = 0; ch < m_channels; ++ch)
            m_quarterSum += weigh(samples, from, n, ch);
        from += n;
        m_inQuarter += n;
        if (m_inQuarter == m_quarterLength) {
            m_quarters.append(m_quarterSum / m_quarterLength);
            m_quarterSum = 0;
            m_inQuarter = 0;
        }
    }
}

void LoudnessMeter::merge(const LoudnessMeter &later)
{
    m_quarters += later.m_quarters;
    m_peak = std::max(m_peak, later.m_peak);
    m_samples += later.m_samples;
}

double LoudnessMeter::loudness() const
{
    // Blocks of four quarters, one quarter apart; a stretch shorter than a
    // block is measured as one block of what there is.
    QVector<double> blocks;
    if (m_quarters.size() < 4 && !m_quarters.isEmpty()) {
        double sum = 0;
        for (double q : m_quarters)
            sum += q;
        blocks.append(sum / m_quarters.size());
    }
    for (int i = 0; i + 4 <= m_quarters.size(); ++i)
        blocks.append((m_quarters[i] + m_quarters[i + 1] + m_quarters[i + 2] + m_quarters[i + 3]) / 4);

    auto gatedMean = [&blocks](double gate) {
        double sum = 0;
        int n = 0;
        for (double b : blocks) {
            if (toLufs(b) > gate) {
                sum += b;
                ++n;
            }
        }
        return n > 0 ? sum / n : 0.0;
    };
    const double ungated = gatedMean(AbsoluteGate);
    if (ungated <= 0)
        return AbsoluteGate;
    return toLufs(gatedMean(toLufs(ungated) + RelativeGate));
}
