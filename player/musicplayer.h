#ifndef MUSICPLAYER_H
#define MUSICPLAYER_H

#include <QMediaPlayer>
#include <QString>

// The player of the open source file. Besides the plain QMediaPlayer interface
// it remembers the path the window chose and the last reported duration, and
// turns the position and duration reports into the texts of the time labels.
//
// The signal and slot names are spelt "prosition" on purpose: the main window
// connects to them by signature text.
class MusicPlayer : public QMediaPlayer
{
    Q_OBJECT

public:
    explicit MusicPlayer(QObject *parent = nullptr);

    void setFile(const QString &path);
    QString getFile() const;
    QString getFileName() const;
    qint64 getDuration() const;

    // Loads the local file and plays it at full volume. `file` stays as it is:
    // it names what the window shows, not what happens to play.
    void playFile(const QString &path);

    // Texts of the time labels. Both are a time of day, so they wrap after
    // 24 hours.
    static QString durationText(qint64 ms);
    static QString positionText(qint64 ms);

signals:
    void prositionTextChanged(QString prosition);
    void durationTextChanged(QString duration);
    void prositionValueChanged(qint64 prosition);
    void durationValueChanged(qint64 duration);

public slots:
    void onDurationChanged(qint64 duration);
    void onPrositionChanged(qint64 prosition);
    void setToNewProsition(int ms);

private:
    // Note: this member hides QMediaPlayer::duration() on a MusicPlayer
    // pointer; callers read the stored value through getDuration().
    QString file;
    qint64 duration = 0;
};

#endif // MUSICPLAYER_H
