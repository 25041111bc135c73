#include "namingturn.h"

#include <algorithm>

bool NamingTurn::wait(int index)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return index >= m_limit || m_next == index; });
    return index < m_limit;
}

void NamingTurn::ended(int index, bool ok)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!ok)
            m_limit = std::min(m_limit, index);
        else if (index == m_next)
            ++m_next;
    }
    m_changed.notify_all();
}

void NamingTurn::stop()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_limit = 0;
    }
    m_changed.notify_all();
}
