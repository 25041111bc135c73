#include "engine.h"

#include "markmodel.h"
#include "mp3splitter.h"
#include "musicplayer.h"

#include <QThread>
#include <QUrl>

#include <algorithm>

namespace {

QDateTime localNow()
{
    return QDateTime::currentDateTime();
}

} // namespace

Engine::Engine(QObject *parent)
    : QObject(parent)
    , clock(localNow)
{
    // Both are children of the engine, so nothing outlives it.
    splitThread = new QThread(this);
    player = new MusicPlayer(this);
    marks = new MarkModel(this);
    connect(player, &QMediaPlayer::durationChanged, marks, &MarkModel::setDuration);

    connect(player, &QMediaPlayer::stateChanged, this, &Engine::onPlayerStateChanged);
    // Connected once here rather than per cut: the handler always deals with
    // the cutter of the run that has just ended.
    connect(splitThread, &QThread::finished, this, &Engine::onSplitThreadFinished);
}

// A running cut is never abandoned: it is told to stop after the piece it is
// copying and waited for, so its file is complete and the thread is idle
// before the cutter and the thread are destroyed. Queued reports of that run
// die with the engine; nothing is announced any more.
Engine::~Engine()
{
    if (splitThread->isRunning()) {
        splitThread->quit();
        splitThread->wait();
    }
    delete cutter;
    cutter = nullptr;
}

MusicPlayer *Engine::getPlayer() const
{
    return player;
}

void Engine::playFile(const QString &path)
{
    player->playFile(path);
}

void Engine::pause()
{
    player->pause();
}

void Engine::stop()
{
    player->stop();
}

MarkModel *Engine::getMarks() const
{
    return marks;
}

void Engine::setStartTime(qint64 ms)
{
    marks->set(ms, marks->end());
}

void Engine::setEndTime(qint64 ms)
{
    marks->set(marks->start(), ms);
}

qint64 Engine::getStartTime() const
{
    return marks->start();
}

qint64 Engine::getEndTime() const
{
    return marks->end();
}

void Engine::setSourceFile(const QString &path)
{
    sourceFile = path;
}

// Kept apart from outputFile, so that a new save directory given while a cut
// runs cannot change the path that cut announces when it ends.
void Engine::setSaveDir(const QString &dir)
{
    saveDir = dir;
}

QString Engine::getSourceFile() const
{
    return sourceFile;
}

QString Engine::getOutputFile() const
{
    return outputFile;
}

int Engine::getCutterState() const
{
    return cutterState;
}

void Engine::setCutterState(int state)
{
    if (state == cutterState)
        return;
    cutterState = state;
    emit cutterStateChanged();
}

AudioCutAbstract *Engine::getCutter() const
{
    return cutter;
}

bool Engine::prepareSplit()
{
    if (isSplitRunning())
        return false;

    // The thread is idle here, so the cutter of an earlier cut that was
    // prepared but never started can go.
    delete cutter;

    // No parent: the cutter moves to the worker thread, and an object with a
    // parent cannot move. The engine deletes it once the thread has finished.
    Mp3Splitter *splitter = makeCutter ? makeCutter() : new Mp3Splitter;
    splitter->setCutMode(cutMode);
    splitter->setKeepTags(keepTags);
    splitter->setRemoveRange(removeRange);
    LevelRequest level;
    level.gainSteps = pieceShape.levelSteps;
    level.fadeInMs = pieceShape.fadeInMs;
    level.fadeOutMs = pieceShape.fadeOutMs;
    level.normalize = pieceShape.normalize;
    splitter->setLevel(level);
    cutter = splitter;
    connect(splitter, &AudioCutAbstract::splitCompleted, this, &Engine::stopSplitThread);
    connect(splitThread, &QThread::started, splitter, &Mp3Splitter::startSplit);

    outputFile = outputPathFor(clock());
    // Cutting out up to the file's end keeps what lies before the range only.
    const qint64 end = removeRange && marks->end() >= marks->duration() ? 0 : marks->end();
    splitter->setSplitParameters(marks->start() * 1000, end * 1000, sourceFile, outputFile);
    splitter->moveToThread(splitThread);
    return true;
}

bool Engine::startSplitThread()
{
    if (isSplitRunning() || !cutter)
        return false;
    splitRunning = true;
    splitThread->start(QThread::InheritPriority);
    return true;
}

bool Engine::isSplitRunning() const
{
    return splitRunning || splitThread->isRunning();
}

// Save directory, "/", the time of the cut, and the last "/"-separated part
// of the source path (the whole path when it has no "/").
QString Engine::outputPathFor(const QDateTime &time) const
{
    const QString name = sourceFile.mid(sourceFile.lastIndexOf(QLatin1Char('/')) + 1);
    return saveDir + QLatin1Char('/') + time.toString(QStringLiteral("yyyyMMdd_HHmmss_")) + name;
}

QMediaPlayer *Engine::getSavedPlayer()
{
    if (!savedPlayer)
        savedPlayer = new QMediaPlayer(this);
    return savedPlayer;
}

void Engine::playSavedFile(const QString &path)
{
    QMediaPlayer *saved = getSavedPlayer();
    saved->setMedia(QUrl::fromLocalFile(path));
    saved->setVolume(100);
    saved->play();
    // Once, so that the seam is heard at once; played again the file starts
    // at its beginning.
    if (path == seamFile) {
        seamFile.clear();
        saved->setPosition(seamFromMs);
    }
}

void Engine::setRemoveRange(bool on)
{
    removeRange = on;
}

void Engine::setCurrentSlider(QObject *slider)
{
    currentSlider = slider;
}

QObject *Engine::getCurrentSlider() const
{
    return currentSlider;
}

void Engine::setThemeIndex(int index)
{
    themeIndex = index;
}

int Engine::getThemeIndex() const
{
    return themeIndex;
}

void Engine::setCutterFactory(CutterFactory factory)
{
    makeCutter = std::move(factory);
}

void Engine::setCutMode(CutRequest::Mode mode)
{
    cutMode = mode;
}

void Engine::setPieceShape(const PieceShape &shape)
{
    pieceShape = shape;
}

PieceShape Engine::getPieceShape() const
{
    return pieceShape;
}

void Engine::setKeepTags(bool on)
{
    keepTags = on;
}

void Engine::setClock(std::function<QDateTime()> newClock)
{
    clock = newClock ? std::move(newClock) : std::function<QDateTime()>(localNow);
}

void Engine::onPlayerStateChanged(QMediaPlayer::State state)
{
    Q_UNUSED(state)
    emit playerStateChanged();
}

// Runs on the GUI thread when the cutter reports completion, failed or not.
// The worker only has its last message pause left, so the wait is short.
void Engine::stopSplitThread(QString err)
{
    splitThread->quit();
    splitThread->wait();
    cutterState = IDEL;
    seamFile.clear();
    auto *splitter = qobject_cast<Mp3Splitter *>(cutter);
    if (splitter && err.isEmpty() && splitter->lastPlan().spans.size() > 1) {
        const CutPlan &plan = splitter->lastPlan();
        seamFile = outputFile;
        seamFromMs = std::max<qint64>(0, plan.spans.at(1).outputStart * 1000 / plan.rate - SeamPreviewMs);
    }
    emit sendSavedFile(outputFile);
}

void Engine::previewComplate()
{
}

// Before the first output file is played there is nothing to seek.
void Engine::playSavedSeek(qint64 pos)
{
    if (savedPlayer)
        savedPlayer->setPosition(pos);
}

// Runs on the GUI thread after the worker thread has finished. The cutter is
// taken out of the engine before the signal goes out, so a receiver may
// prepare the next cut at once without losing its new cutter.
void Engine::onSplitThreadFinished()
{
    splitRunning = false;
    AudioCutAbstract *done = cutter;
    if (!done)
        return;
    cutter = nullptr;
    const auto *splitter = qobject_cast<Mp3Splitter *>(done);
    emit splitThreadFinished(splitter ? splitter->getErrorText() : QString());
    delete done;
}
