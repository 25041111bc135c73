#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "engine.h"
#include "analysis/loudnessenvelope.h"
#include "musicplayer.h"

#include <QFileInfo>

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
    const int columns = ui->widgetSelectBar->envelopeResolution();
    ui->widgetSelectBar->startEnvelope(columns);
    envelope->start(path, columns);
}
