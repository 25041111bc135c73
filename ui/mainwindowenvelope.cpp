#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "engine.h"
#include "analysis/loudnessenvelope.h"
#include "musicplayer.h"

#include "format/headerframe.h"
#include "format/mpegheader.h"
#include "scan/sourcetimeline.h"
#include "scan/firstframelocator.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// Enough columns for a frame each in an hour and a half of 44.1 kHz audio;
// a longer file shares a column between frames.
constexpr qint64 mostEnvelopeColumns = 1 << 18;

} // namespace

// From the first frame alone, so that a long file costs no walk: the
// frames' length and where they lie in the player's timeline, and their
// count as far as the first frame's size tells.
MainWindow::SourceFrames MainWindow::sourceFrames(const QString &path)
{
    SourceFrames shape;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return shape;
    const FirstFrameLocator::Result first = FirstFrameLocator::locate(&file);
    if (!first.found)
        return shape;
    const char *h = first.header.constData();
    const qint64 rate = MpegHeader::sampleRate(h);
    const int samples = MpegHeader::samplesPerFrame(h);
    const int bytes = MpegHeader::frameBytes(h);
    if (rate <= 0 || samples <= 0 || bytes <= 0)
        return shape;
    shape.frameMs = samples * 1000.0 / double(rate);
    shape.frames = (file.size() - first.offset) / bytes;
    // An encoder's header frame holds no audio; with a LAME extension the
    // player drops the encoder's delay and the decoder's, so the frames
    // begin that much before the timeline's 0.
    if (!file.seek(first.offset))
        return shape;
    const QByteArray frame = file.read(bytes);
    const HeaderFrameInfo header = HeaderFrame::read(frame.constData(), frame.size());
    if (header.kind != HeaderFrameInfo::Kind::None && header.lame)
        shape.gridOffsetMs = -(header.delay + SourceTimeline::DecoderDelay) * 1000.0 / double(rate);
    return shape;
}

void MainWindow::setupEnvelope()
{
    envelope = new LoudnessEnvelope(this);
    connect(envelope, &LoudnessEnvelope::columnsReady, ui->widgetSelectBar, &SelectBar::setEnvelopeColumns);
    // A file without audio shows no envelope rather than a flat one.
    connect(envelope, &LoudnessEnvelope::failed, ui->widgetSelectBar, &SelectBar::clearEnvelope);
    // The bar gets its width only when the window is laid out: a column per
    // pixel again then.
    connect(ui->widgetSelectBar, &SelectBar::envelopeResolutionChanged, this, [this] {
        if (ui->widgetSelectBar->hasEnvelope())
            showEnvelopeOf(engine->getPlayer()->getFile());
    });
}

// Drops the envelope of the file before, and any work still running for it.
void MainWindow::showEnvelopeOf(const QString &path)
{
    envelope->cancel();
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile()) {
        ui->widgetSelectBar->clearEnvelope();
        return;
    }
    // A column per frame where that is more than a column per pixel, so
    // that a zoomed bar still shows the frames' loudness.
    const qint64 frames = std::min(sourceFrames(path).frames, mostEnvelopeColumns);
    const int columns = int(std::max<qint64>(ui->widgetSelectBar->envelopeResolution(), frames));
    ui->widgetSelectBar->startEnvelope(columns);
    envelope->start(path, columns);
}
