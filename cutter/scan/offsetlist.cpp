#include "scan/offsetlist.h"

#include <algorithm>

void OffsetList::reserve(qint64 count)
{
    m_low.reserve(int(qBound<qint64>(0, count, 1 << 28)));
}

void OffsetList::append(qint64 offset)
{
    while (m_crossings.size() < (offset >> 32))
        m_crossings.append(m_low.size());
    m_low.append(quint32(offset));
}

qint64 OffsetList::at(int index) const
{
    const auto high = std::upper_bound(m_crossings.cbegin(), m_crossings.cend(), index) - m_crossings.cbegin();
    return (qint64(high) << 32) | m_low.at(index);
}
