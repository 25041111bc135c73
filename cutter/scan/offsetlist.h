#ifndef OFFSETLIST_H
#define OFFSETLIST_H

#include <QVector>
#include <QtGlobal>

// Rising file offsets, four bytes each: the low 32 bits are kept per entry,
// the high bits once per 4 GiB crossed. Two neighbours must lie less than
// 4 GiB apart, as checkpoints a few frames apart do.
class OffsetList
{
public:
    void reserve(qint64 count);
    void append(qint64 offset);
    qint64 at(int index) const;
    int size() const { return m_low.size(); }
    bool isEmpty() const { return m_low.isEmpty(); }

private:
    QVector<quint32> m_low;
    QVector<int> m_crossings; // the first index past each 4 GiB boundary
};

#endif // OFFSETLIST_H
