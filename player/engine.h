#ifndef ENGINE_H
#define ENGINE_H

#include "edit/cutplan.h"
#include "pieceshape.h"

#include <QDateTime>
#include <QMediaPlayer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class AudioCutAbstract;
class MarkModel;
class Mp3Splitter;
class MusicPlayer;
class QThread;

// Everything the main window reaches that is not a widget: the player of the
// source file, the player of files already cut, the cutter of the current cut
// and the one worker thread it runs on, the marked range, the paths, the
// cutter state and the theme index.
//
// A cut: prepareSplit() -> startSplitThread() -> the cutter works on the
// worker thread -> stopSplitThread() (quit, wait, IDEL, sendSavedFile) ->
// the thread has finished -> splitThreadFinished(err), the cutter is deleted.
// While that runs the engine refuses to prepare or start another cut.
class Engine : public QObject
{
    Q_OBJECT

public:
    enum CutterState {
        IDEL = 0,    // nothing of the output list is playing
        PLAYING = 3, // an output file plays in the saved-file player
    };

    explicit Engine(QObject *parent = nullptr);
    ~Engine() override;

    // Main player.
    MusicPlayer *getPlayer() const;
    void playFile(const QString &path);
    void pause();
    void stop();

    // The marked range and its history; the setters below store into it
    // as given.
    MarkModel *getMarks() const;

    // Range, milliseconds, and paths.
    void setStartTime(qint64 ms);
    void setEndTime(qint64 ms);
    qint64 getStartTime() const;
    qint64 getEndTime() const;
    void setSourceFile(const QString &path);
    void setSaveDir(const QString &dir);
    QString getSourceFile() const;
    // The path of the prepared (or last) cut; empty before the first one.
    QString getOutputFile() const;

    int getCutterState() const;
    void setCutterState(int state);

    // Split. Both refuse (return false and change nothing) while a cut runs;
    // startSplitThread also refuses when no cut has been prepared.
    AudioCutAbstract *getCutter() const;
    bool prepareSplit();
    bool startSplitThread();
    // True from startSplitThread() until splitThreadFinished has been sent.
    bool isSplitRunning() const;

    // Files already cut.
    QMediaPlayer *getSavedPlayer();
    void playSavedFile(const QString &path);
    // Only watched, never used as a widget here: the player stays free of
    // the widget library.
    void setCurrentSlider(QObject *slider);
    QObject *getCurrentSlider() const;

    void setThemeIndex(int index);
    int getThemeIndex() const;

    // The clock that stamps output names; an empty function restores the
    // local time.
    void setClock(std::function<QDateTime()> clock);
    // Makes the cutter of each cut (no parent: it moves to the worker
    // thread); an empty function restores a plain Mp3Splitter.
    using CutterFactory = std::function<Mp3Splitter *()>;
    void setCutterFactory(CutterFactory factory);
    // How the next cuts are made: whole frames or sample-exact, with or
    // without the source's tags.
    void setCutMode(CutRequest::Mode mode);
    void setKeepTags(bool on);
    // The next cut leaves the marked range out and keeps the rest; its
    // preview starts a little before the seam.
    void setRemoveRange(bool on);
    static constexpr qint64 SeamPreviewMs = 3000;
    // Fades and level of the next cuts.
    void setPieceShape(const PieceShape &shape);
    PieceShape getPieceShape() const;

signals:
    void playerStateChanged();
    void splitThreadFinished(QString err);
    void cutterStateChanged();
    void sendSavedFile(QString file);

public slots:
    void onPlayerStateChanged(QMediaPlayer::State state);
    void stopSplitThread(QString err);
    void previewComplate();
    void playSavedSeek(qint64 pos);

private:
    void onSplitThreadFinished();
    QString outputPathFor(const QDateTime &time) const;

    MusicPlayer *player = nullptr;
    AudioCutAbstract *cutter = nullptr; // owned; lives on splitThread once prepared
    MarkModel *marks = nullptr; // the marked range: start and end time
    QString sourceFile;
    QString outputFile;
    int cutterState = IDEL;
    QMediaPlayer *savedPlayer = nullptr;
    QThread *splitThread = nullptr;
    QPointer<QObject> currentSlider; // not owned: a row slider of the output list
    int themeIndex = 0;

    QString saveDir;
    bool splitRunning = false;
    std::function<QDateTime()> clock;
    CutterFactory makeCutter;
    CutRequest::Mode cutMode = CutRequest::WholeFrames;
    bool keepTags = false;
    PieceShape pieceShape;
    bool removeRange = false;
    QString seamFile;     // the last cut's output, when it has a seam
    qint64 seamFromMs = 0; // where its first playback starts
};

#endif // ENGINE_H
