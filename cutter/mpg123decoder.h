#ifndef MPG123DECODER_H
#define MPG123DECODER_H

#include <QString>
#include <QtGlobal>

#include <functional>

struct mpg123_handle_struct;

// libmpg123 fed with MPEG audio frames from memory, decoding to 16-bit mono
// (channels mixed). Owns its decoder handle.
//
// A reduced rate (half or quarter) leaves out the upper part of the spectrum
// and most of the synthesis work: enough for judging loudness, several times
// faster than the full rate.
class Mpg123Decoder
{
public:
    enum Rate { FullRate = 0, HalfRate = 1, QuarterRate = 2 };
    // Gets every decoded frame: its number in what was fed since restart()
    // (0 for the first frame fed) and its samples.
    using Sink = std::function<void(qint64 frame, const qint16 *samples, int count)>;

    explicit Mpg123Decoder(Rate rate = FullRate);
    ~Mpg123Decoder();
    Mpg123Decoder(const Mpg123Decoder &) = delete;
    Mpg123Decoder &operator=(const Mpg123Decoder &) = delete;

    // False, with errorText() set, when the decoder could not be set up.
    bool isValid() const { return m_handle != nullptr; }
    QString errorText() const { return m_error; }
    // The rate reduction actually in use (libmpg123 may be built without it).
    Rate rate() const { return m_rate; }

    // Forgets everything fed so far: the next frame fed is frame 0.
    bool restart();
    // Decodes what the bytes complete. False on a decoder error.
    bool feed(const char *data, int size, const Sink &sink);

private:
    mpg123_handle_struct *m_handle = nullptr;
    Rate m_rate;
    QString m_error;
};

#endif // MPG123DECODER_H
