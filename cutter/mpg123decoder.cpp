#include "mpg123decoder.h"

#include <mpg123.h>

Mpg123Decoder::Mpg123Decoder(Rate rate)
    : m_rate(rate)
{
#if MPG123_API_VERSION < 46
    mpg123_init();   // needed once before libmpg123 1.27, harmless after
#endif
    int code = MPG123_OK;
    m_handle = mpg123_new(nullptr, &code);
    if (!m_handle) {
        m_error = QString::fromUtf8(mpg123_plain_strerror(code));
        return;
    }
    // Frames are fed bare: no header frame to trim by, no tags to read.
    mpg123_param(m_handle, MPG123_FLAGS, MPG123_QUIET | MPG123_MONO_MIX | MPG123_SKIP_ID3V2, 0.0);
    if (rate != FullRate && mpg123_param(m_handle, MPG123_DOWN_SAMPLE, rate, 0.0) != MPG123_OK)
        m_rate = FullRate;
    mpg123_format_none(m_handle);
    const long *rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(m_handle, rates[i], MPG123_MONO, MPG123_ENC_SIGNED_16);
    if (!restart()) {
        mpg123_delete(m_handle);
        m_handle = nullptr;
    }
}

Mpg123Decoder::~Mpg123Decoder()
{
    if (m_handle)
        mpg123_delete(m_handle);
}

bool Mpg123Decoder::restart()
{
    mpg123_close(m_handle);
    if (mpg123_open_feed(m_handle) == MPG123_OK)
        return true;
    m_error = QString::fromUtf8(mpg123_strerror(m_handle));
    return false;
}

bool Mpg123Decoder::feed(const char *data, int size, const Sink &sink)
{
    if (mpg123_feed(m_handle, reinterpret_cast<const unsigned char *>(data), size_t(size)) != MPG123_OK) {
        m_error = QString::fromUtf8(mpg123_strerror(m_handle));
        return false;
    }
    for (;;) {
        off_t number = 0;
        unsigned char *audio = nullptr;
        size_t bytes = 0;
        const int code = mpg123_decode_frame(m_handle, &number, &audio, &bytes);
        if (code == MPG123_NEED_MORE)
            return true;
        if (code == MPG123_NEW_FORMAT)
            continue;
        if (code != MPG123_OK) {
            m_error = QString::fromUtf8(mpg123_strerror(m_handle));
            return false;
        }
        if (bytes > 0)
            sink(qint64(number), reinterpret_cast<const qint16 *>(audio), int(bytes / sizeof(qint16)));
    }
}
