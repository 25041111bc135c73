#ifndef MPG123DECODER_H
#define MPG123DECODER_H

#include <QString>
#include <QtGlobal>

struct mpg123_handle_struct;

// One libmpg123 decoder in feed mode: the caller hands it the bytes of an
// MPEG audio stream in any pieces and takes decoded frames out, as signed
// 16-bit samples. The handle is freed with the object.
//
// The options trade fidelity for speed where only a rough picture of the sound
// is wanted: mixing to mono and synthesising at half or a quarter of the rate
// skip most of the filterbank work. The Xing/Info frame decodes as the silent
// frame it is, so every frame fed yields one decoded frame and frame numbers
// match the caller's own count.
class Mpg123Decoder
{
public:
    struct Options
    {
        bool mono = false;
        // 0 native rate, 1 half, 2 a quarter.
        int downSample = 0;
    };

    struct Frame
    {
        qint64 number = 0;       // counted from 0, the first frame fed
        const qint16 *samples = nullptr;  // interleaved, valid until the next call
        int sampleCount = 0;     // per channel
        int channels = 0;
        long rate = 0;
    };

    explicit Mpg123Decoder(const Options &options);
    // The largest rate reduction up to wanted (see Options::downSample) that
    // libmpg123 can put out for a stream of this sampling rate.
    static int downSampleFor(long rate, int wanted);
    ~Mpg123Decoder();
    Mpg123Decoder(const Mpg123Decoder &) = delete;
    Mpg123Decoder &operator=(const Mpg123Decoder &) = delete;

    // False when libmpg123 could not set up a decoder; errorText() says why.
    bool isValid() const { return m_handle != nullptr; }
    QString errorText() const { return m_error; }

    bool feed(const char *data, qint64 size);

    // The next decoded frame of what was fed so far; false when more input
    // is needed or the data could not be decoded at all.
    bool nextFrame(Frame *frame);

private:
    void fail(const char *what);

    mpg123_handle_struct *m_handle = nullptr;
    int m_channels = 0;
    long m_rate = 0;
    QString m_error;
};

#endif // MPG123DECODER_H
