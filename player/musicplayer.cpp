#include "musicplayer.h"

#include <QTime>
#include <QUrl>

namespace {

constexpr qint64 msPerDay = 24 * 60 * 60 * 1000;

// 00:00:00.000 plus ms, as a time of day. The value is reduced to one day
// first so that huge or negative values wrap the same way small ones do.
QTime timeOfDay(qint64 ms)
{
    return QTime(0, 0).addMSecs(static_cast<int>(ms % msPerDay));
}

} // namespace

MusicPlayer::MusicPlayer(QObject *parent)
    : QMediaPlayer(parent)
{
    connect(this, SIGNAL(durationChanged(qint64)), this, SLOT(onDurationChanged(qint64)));
    connect(this, SIGNAL(positionChanged(qint64)), this, SLOT(onPrositionChanged(qint64)));
}

void MusicPlayer::setFile(const QString &path)
{
    file = path;
}

QString MusicPlayer::getFile() const
{
    return file;
}

// The part after the last slash, taken literally. Reading the path as a URL
// would cut a name at '#' or '?' and decode "%20" inside a real file name.
QString MusicPlayer::getFileName() const
{
    return file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
}

qint64 MusicPlayer::getDuration() const
{
    return duration;
}

void MusicPlayer::playFile(const QString &path)
{
    setMedia(QUrl::fromLocalFile(path));
    setVolume(100);
    play();
}

QString MusicPlayer::durationText(qint64 ms)
{
    return timeOfDay(ms).toString(QStringLiteral("HH:mm:ss\"zzz"));
}

QString MusicPlayer::positionText(qint64 ms)
{
    return timeOfDay(ms).toString(QStringLiteral("HH:mm:ss"));
}

void MusicPlayer::onDurationChanged(qint64 duration)
{
    this->duration = duration;
    emit durationTextChanged(durationText(duration));
}

void MusicPlayer::onPrositionChanged(qint64 prosition)
{
    emit prositionTextChanged(positionText(prosition));
}

void MusicPlayer::setToNewProsition(int ms)
{
    setPosition(ms);
}
