#include "analysis/mpg123decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <mutex>

namespace {

// Older libmpg123 versions want one call before the first handle; newer ones
// ignore it.
void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

} // namespace

Mpg123Decoder::Mpg123Decoder(const Options &options)
{
    initLibrary();
    int error = MPG123_OK;
    m_handle = mpg123_new(nullptr, &error);
    if (!m_handle) {
        m_error = QString::fromUtf8(mpg123_plain_strerror(error));
        return;
    }
    long flags = MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_SKIP_ID3V2;
    if (options.mono)
        flags |= MPG123_MONO_MIX;
    // Gapless trimming off: every frame decodes to its full length.
    if (mpg123_param(m_handle, MPG123_FLAGS, flags, 0) != MPG123_OK
        || mpg123_param(m_handle, MPG123_DOWN_SAMPLE, options.downSample, 0) != MPG123_OK) {
        fail("mpg123_param");
        return;
    }
    // Any rate and channel count, the reduced rates included; 16-bit signed
    // is the encoding libmpg123 picks first.
    mpg123_format_all(m_handle);
    if (mpg123_open_feed(m_handle) != MPG123_OK)
        fail("mpg123_open_feed");
}

int Mpg123Decoder::downSampleFor(long rate, int wanted)
{
    const long *rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (int reduction = wanted; reduction > 0; --reduction) {
        const long reduced = rate >> reduction;
        if ((reduced << reduction) == rate && std::find(rates, rates + count, reduced) != rates + count)
            return reduction;
    }
    return 0;
}

Mpg123Decoder::~Mpg123Decoder()
{
    if (m_handle)
        mpg123_delete(m_handle);
}

void Mpg123Decoder::fail(const char *what)
{
    m_error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(mpg123_strerror(m_handle)));
    mpg123_delete(m_handle);
    m_handle = nullptr;
}

bool Mpg123Decoder::feed(const char *data, qint64 size)
{
    if (!m_handle)
        return false;
    return mpg123_feed(m_handle, reinterpret_cast<const unsigned char *>(data), size_t(size)) == MPG123_OK;
}

bool Mpg123Decoder::nextFrame(Frame *frame)
{
    if (!m_handle)
        return false;
    for (;;) {
        off_t number = 0;
        unsigned char *audio = nullptr;
        size_t bytes = 0;
        const int result = mpg123_decode_frame(m_handle, &number, &audio, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            int encoding = 0;
            mpg123_getformat(m_handle, &m_rate, &m_channels, &encoding);
            if (encoding != MPG123_ENC_SIGNED_16)
                m_channels = 0;
            continue;
        }
        // A frame in another encoding would be misread, so it is not taken.
        if (result != MPG123_OK || m_channels <= 0)
            return false;
        frame->number = number;
        frame->samples = reinterpret_cast<const qint16 *>(audio);
        frame->channels = m_channels;
        frame->sampleCount = int(bytes / sizeof(qint16) / size_t(m_channels));
        frame->rate = m_rate;
        return true;
    }
}
