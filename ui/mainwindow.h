#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QMediaPlayer>
#include <QPointer>
#include <QString>
#include <QTime>

#include <memory>

namespace Ui {
class MainWindow;
}

class AppSettings;
struct CutPlan;
class Engine;
class LoudnessEnvelope;
class MarkModel;
class QMouseEvent;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;
class QAction;
class QLabel;
class QThreadPool;
class QTimeEdit;
class QTimer;
class StyleSheetReader;

// The program's only window: the source file and its playback, the three
// ways of marking a piece (time fields, scissors, selection bar), the cut,
// and the list of cut files with their own playback.
//
// The code is split by responsibility: mainwindow.cpp holds construction,
// the source file and its playback; mainwindowcut.cpp marking and cutting;
// mainwindowoutput.cpp the buttons of the output list (OutputList holds its
// rows), the menus, the theme and closing; mainwindowsourcecheck.cpp which
// files it can open;
// mainwindowinput.cpp the keys, the progress slider, dropped and handed-over
// files; mainwindowmarks.cpp the marks, their undo, the bar's zoom and the
// edges; mainwindowenvelope.cpp the source's loudness in the selection bar;
// mainwindowmodes.cpp the cut's mode and the range it will play;
// mainwindowshape.cpp the fades and level of the next cuts;
// mainwindowchapters.cpp the source's chapters on the bar and their keys.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Returns the cut to its initial state: marks at zero, bar reset and
    // disabled, cutter controls off, the play button on when the current
    // entry names an existing file.
    void resetUi();

    // Opens an MP3 file as "Open" does: first in the history, the window
    // reset, and played. Anything else gets the notice about a missing file
    // and changes nothing.
    void openFile(const QString &path);

public slots:
    // A file another start of the program handed over: opened, and the
    // window comes to the front.
    void openHandedFile(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_pushButtonOpen_clicked();
    void on_pushButton_play_clicked();
    void setProgressBarMaximum(qint64 value);
    void setProgreSSBarValue(qint64 value);
    void on_pushButton_stop_clicked();
    void changeUiStateForPlayer();
    void changeUiStateForCutter();
    void setSavedFile(QString file);
    void on_actionOpen_triggered();
    void on_actionExit_triggered();
    void on_pushButton_start_clicked();
    void on_pushButton_end_clicked();
    void on_actionTheme_triggered();
    void on_pushButton_preview_clicked();
    void onMusicStateChanged(QMediaPlayer::State state);
    void on_timeEdit_start_userTimeChanged(const QTime &time);
    void on_timeEdit_end_userTimeChanged(const QTime &time);
    void on_lineEdit_saveTo_textChanged(const QString &arg1);
    void on_actionAbout_triggered();
    void on_actionHelp_triggered();
    void onSendStartPercent(float startPercent);
    void onSendEndPercent(float endPercent);
    void on_lineEdit_CurrentFile_currentIndexChanged(int index);
    void on_pushButton_clicked();
    void on_pushButtonClearList_clicked();
    void on_checkBoxSelectAll_clicked(bool checked);
    void on_actionOpen_Save_Dir_triggered();

private:
    void setCutterControlsEnabled(bool enabled);
    void splitAndPreview();
    int checkedRowCount() const;

    // Construction steps.
    int applyStoredTheme();
    void loadHistoryAndSaveDir();
    void connectPlayer();
    void setThemeWidgets(int index);

    // Marking and cutting (mainwindowcut.cpp).
    void showNotice(const QString &text, bool themed);
    void showFileNotice();
    bool ensureSaveDir();
    bool readyToCut();
    void cutOutSelection();
    static QString defaultSaveDir();
    void refuseLongSource(qint64 duration);
    void applySelectColor(bool band);

    // Keys and the progress slider (mainwindowinput.cpp).
    void setupKeys();
    void togglePlay();
    void markStartHere();
    void markEndHere();
    void seekBy(qint64 ms);
    void stepFrames(int frames);
    double sourceFrameMs();
    void jumpTo(qint64 ms);
    void cutIfAllowed();
    void onProgressPressed();
    void onProgressReleased();
    bool progressGrooveClicked(QMouseEvent *event);
    bool timeFieldEvent(QTimeEdit *field, QEvent *event);

    // Which files can be opened (mainwindowsourcecheck.cpp).
    // Why a file cannot be played or cut, for a notice; empty when it can
    // (and for anything that is not a file).
    QString unusableReason(const QString &path) const;
    void onCurrentFilePicked(int index);

    // The save folder (mainwindowcut.cpp).
    static bool isDefaultSaveDir(const QString &dir);
    void rememberSaveDir();

    // Output list (mainwindowoutput.cpp).
    void setupOutputList();
    void updateListButtons();
    void onThemeChosen(int index);
    void onColorChosen(const QString &color);

    // The marks, their history, the bar's view and the edges
    // (mainwindowmarks.cpp). Every change of the marks ends in applyMarks:
    // the mark model keeps both within the audio, the end not before the
    // start; the fields, the handles and the length label follow it.
    void setupMarks();
    void setupEditMenu();
    void applyMarks(qint64 start, qint64 end);
    void showMarks();
    void placeHandlesOnMarks();
    static QString marksHelp();
    bool marksEditable() const;
    void updateEditActions();
    void undoMarks();
    void redoMarks();
    void showView();
    double zoomAnchor() const;
    void zoomIn();
    void zoomOut();
    void zoomAll();
    void showPlayhead(qint64 position);
    void hearEdge(int edge);
    void hearUpToStart();
    void hearFromStart();
    void hearUpToEnd();
    void onPlayTick();

    // The source's loudness in the selection bar (mainwindowenvelope.cpp).
    struct SourceFrames
    {
        double frameMs = 1152 * 1000.0 / 44100;
        double gridOffsetMs = 0; // where a frame starts, in the player's timeline
        qint64 frames = 0;
    };
    static SourceFrames sourceFrames(const QString &path);
    void setupEnvelope();
    void showEnvelopeOf(const QString &path);

    // The source's chapters (mainwindowchapters.cpp).
    void setupChapters();
    void showChaptersOf(const QString &path);
    void stopReadingChapters();
    void showChapters();
    static QString chaptersHelp();
    void previousChapter();
    void nextChapter();
    void jumpToChapter(qint64 start);
    void markChapter();

    // How the window cuts, and what the cut will play (mainwindowmodes.cpp).
    void setupModes();
    void applyCutModes();
    void scheduleHeardRange();
    void planHeardRange();
    void showHeardRange(const CutPlan &plan);
    void stopPlanning();

    // Fades and level of the next cuts (mainwindowshape.cpp).
    void setupShape();
    QString shapeText() const;

    std::unique_ptr<Ui::MainWindow> ui;
    Engine *engine = nullptr;
    StyleSheetReader *styleReader = nullptr;
    QLabel *statusLabel = nullptr;
    QLabel *cutterStatusLabel = nullptr;
    AppSettings *settings = nullptr;
    bool playingBeforeSeek = false;
    double frameMs = 0; // of the open file, found on the first frame step
    double frameGridOffsetMs = 0;
    LoudnessEnvelope *envelope = nullptr;
    QThreadPool *planPool = nullptr;
    QTimer *planTimer = nullptr;
    int planGeneration = 0; // of the newest plan asked for
    MarkModel *marks = nullptr; // the engine's
    QAction *undoAction = nullptr;
    QAction *redoAction = nullptr;
    QTimer *playTimer = nullptr;
    qint64 edgeStopAt = -1;  // where the edge that plays ends, -1: none
    bool edgeArmed = false;  // its start has been reached
    qint64 lastPosition = 0; // of the playhead, to see it leave the view
    QThreadPool *chapterPool = nullptr;
    int chapterGeneration = 0; // of the newest reading asked for
    QAction *previousChapterAction = nullptr;
    QAction *nextChapterAction = nullptr;
    QAction *markChapterAction = nullptr;
};

#endif // MAINWINDOW_H
