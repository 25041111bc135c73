// MainWindow, the source's chapters: read off the GUI thread when a file is
// picked, drawn as ticks on the selection bar with their titles as
// tooltips, and keys that jump from chapter to chapter and mark the one
// under the playhead as the piece.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "engine.h"
#include "markmodel.h"
#include "musicplayer.h"
#include "tags/chapterreader.h"

#include <QAction>
#include <QRunnable>
#include <QThreadPool>

void MainWindow::setupChapters()
{
    chapterPool = new QThreadPool(this);
    chapterPool->setMaxThreadCount(1);
    connect(marks, &MarkModel::chaptersChanged, this, &MainWindow::showChapters);
    // The ticks lie at fractions of the duration, which comes after the
    // chapters; the engine has given it to the marks already.
    connect(engine->getPlayer(), &QMediaPlayer::durationChanged, this, &MainWindow::showChapters);
    showChapters();
}

// Only the leading tag is read, but a file on a slow disk or share could
// still hold up opening it. The chapters of a file picked before are
// dropped at once; a reading that comes back after another file was picked
// is dropped too.
void MainWindow::showChaptersOf(const QString &path)
{
    const int generation = ++chapterGeneration;
    chapterPool->clear();
    marks->setChapters({});
    if (path.isEmpty())
        return;
    chapterPool->start(QRunnable::create([this, path, generation] {
        const QVector<Chapter> chapters = ChapterReader::read(path).chapters;
        QMetaObject::invokeMethod(this, [this, chapters, generation] {
            if (generation == chapterGeneration)
                marks->setChapters(chapters);
        }, Qt::QueuedConnection);
    }));
}

// The reading still running is waited for, so that nothing it posts finds
// the window gone.
void MainWindow::stopReadingChapters()
{
    if (!chapterPool)
        return;
    chapterPool->clear();
    chapterPool->waitForDone();
}

void MainWindow::showChapters()
{
    const QVector<Chapter> &chapters = marks->chapters();
    const double duration = double(marks->duration());
    QVector<double> fractions;
    QStringList tips;
    if (duration > 0) {
        for (int i = 0; i < chapters.size(); ++i) {
            const Chapter &chapter = chapters.at(i);
            fractions.append(double(chapter.startMs) / duration);
            const QString title = chapter.title.isEmpty() ? tr("Chapter %1").arg(i + 1) : chapter.title;
            tips.append(title + QLatin1Char('\n') + MusicPlayer::durationText(chapter.startMs) + QStringLiteral(" – ")
                        + MusicPlayer::durationText(std::min<qint64>(chapter.endMs, marks->duration())));
        }
    }
    ui->widgetSelectBar->setChapterTicks(fractions, tips);
    for (QAction *action : {previousChapterAction, nextChapterAction, markChapterAction})
        action->setEnabled(!chapters.isEmpty());
}

QString MainWindow::chaptersHelp()
{
    return tr("Chapters (ticks on the bar; the pointer on one shows its title):\n"
              "Page Up / Page Down: to the previous or next chapter\n"
              "C: the chapter at the playback position becomes the selection");
}

// Going back from just after a chapter's start goes to the one before. A
// zoomed bar moves to show where the playhead went.
void MainWindow::previousChapter()
{
    jumpToChapter(marks->previousChapterStart(engine->getPlayer()->position()));
}

void MainWindow::nextChapter()
{
    jumpToChapter(marks->nextChapterStart(engine->getPlayer()->position()));
}

void MainWindow::jumpToChapter(qint64 start)
{
    if (start < 0 || engine->getPlayer()->state() == QMediaPlayer::StoppedState
        || !ui->horizontalSlider_ProgressBar->isEnabled())
        return;
    jumpTo(start);
    marks->reveal(start);
}

// One change of the marks, undone as one.
void MainWindow::markChapter()
{
    if (!marksEditable() || engine->getPlayer()->state() == QMediaPlayer::StoppedState)
        return;
    marks->markChapter(engine->getPlayer()->position());
}
