// MainWindow, how the window cuts: whole frames or sample-exact, with or
// without the source's tags, and the range the cut will really play, shown
// beside its length.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "edit/cutplanner.h"
#include "engine.h"
#include "musicplayer.h"
#include "settingskeys.h"

#include <QFile>
#include <QRunnable>
#include <QThreadPool>
#include <QTimer>

namespace {

// Marks move in bursts while a handle is dragged: plan once they rest.
constexpr int planDelayMs = 100;

// What the cut of `request` plays; an empty plan with an error when the
// source cannot be read.
CutPlan planOf(const QString &path, const CutRequest &request)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CutPlan failed;
        failed.error = -1;
        return failed;
    }
    return CutPlanner::plan(&file, request);
}

} // namespace

void MainWindow::setupModes()
{
    using namespace SettingsKeys;
    ui->actionExactCut->setChecked(settings->getValue(common, cutSection, exactCut).toBool());
    ui->actionKeepTags->setChecked(settings->getValue(common, cutSection, keepTags).toBool());
    connect(ui->actionExactCut, &QAction::toggled, this, [this](bool on) {
        settings->setValue(SettingsKeys::common, SettingsKeys::cutSection, SettingsKeys::exactCut, on);
        applyCutModes();
        scheduleHeardRange();
    });
    connect(ui->actionKeepTags, &QAction::toggled, this, [this](bool on) {
        settings->setValue(SettingsKeys::common, SettingsKeys::cutSection, SettingsKeys::keepTags, on);
        applyCutModes();
    });
    applyCutModes();
    setupShape();
    // The line is there when empty too, so that the form does not jump.
    ui->label_heardRange->setMinimumHeight(ui->label_heardRange->fontMetrics().height());

    // Planning reads the source up to the end mark, which takes a while on
    // a long file: it runs on a thread of its own, one plan at a time.
    planPool = new QThreadPool(this);
    planPool->setMaxThreadCount(1);
    planTimer = new QTimer(this);
    planTimer->setSingleShot(true);
    planTimer->setInterval(planDelayMs);
    connect(planTimer, &QTimer::timeout, this, &MainWindow::planHeardRange);
}

void MainWindow::applyCutModes()
{
    engine->setCutMode(ui->actionExactCut->isChecked() ? CutRequest::Exact : CutRequest::WholeFrames);
    engine->setKeepTags(ui->actionKeepTags->isChecked());
}

// The range shown before the new plan arrives would be out of date.
void MainWindow::scheduleHeardRange()
{
    ++planGeneration;
    ui->label_heardRange->clear();
    if (planTimer)
        planTimer->start();
}

// A plan that comes back after the marks, the mode or the file have changed
// again is dropped: only the newest one is shown.
void MainWindow::planHeardRange()
{
    const QString path = engine->getPlayer()->getFile();
    CutRequest request;
    request.startMs = engine->getStartTime();
    request.endMs = engine->getEndTime();
    request.mode = ui->actionExactCut->isChecked() ? CutRequest::Exact : CutRequest::WholeFrames;
    if (request.endMs <= request.startMs || path.isEmpty())
        return;

    const int generation = planGeneration;
    planPool->start(QRunnable::create([this, path, request, generation] {
        const CutPlan plan = planOf(path, request);
        QMetaObject::invokeMethod(this, [this, plan, generation] {
            if (generation == planGeneration)
                showHeardRange(plan);
        }, Qt::QueuedConnection);
    }));
}

// Nothing is shown for a cut that would fail: the cut itself says why.
void MainWindow::showHeardRange(const CutPlan &plan)
{
    if (plan.error != 0 || plan.heardEnd <= plan.heardStart) {
        ui->label_heardRange->clear();
        return;
    }
    QString text = QStringLiteral("→ %1 – %2").arg(MusicPlayer::durationText(plan.heardStartMs()),
                                                   MusicPlayer::durationText(plan.heardEndMs()));
    const QString shape = shapeText();
    if (!shape.isEmpty())
        text += QLatin1Char('\n') + shape;
    // A second line for the fades and level; the layout would keep one.
    const int lines = shape.isEmpty() ? 1 : 2;
    ui->label_heardRange->setMinimumHeight(lines * ui->label_heardRange->fontMetrics().height());
    ui->label_heardRange->setText(text);
}

// The jobs still queued are dropped; the one running is waited for, so that
// nothing it posts finds the window gone.
void MainWindow::stopPlanning()
{
    if (!planPool)
        return;
    planPool->clear();
    planPool->waitForDone();
}
