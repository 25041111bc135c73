#ifndef SEAM_H
#define SEAM_H

#include <QByteArray>
#include <QVector>

// Where two spans meet, the first frames after the seam borrow main data
// (the bit reservoir) from frames that are no longer in front of them. The
// seam makes the frames in front carry those bytes: they go at the end of the
// main data stream before the seam, after the last frame's own main data,
// where nothing reads them but the frames after the seam. When the last
// frame's area has no room it gets a larger bitrate index: its own data keeps
// its place and the area grows at its end. Every byte of every frame's own
// data stays as it was, so every frame decodes with its own data.
class Seam
{
public:
    // frames: the last frames before the seam, oldest first, whole. carried:
    // the bytes the main data stream must end with. Changes the frames in
    // place and returns the index of the first one changed, or frames.size()
    // when nothing needed to change; -1 when no bitrate gives the room.
    static int carry(QVector<QByteArray> &frames, const QByteArray &carried);
};

#endif // SEAM_H
