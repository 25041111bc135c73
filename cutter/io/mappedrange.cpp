#include "io/mappedrange.h"

#ifdef Q_OS_UNIX
#include <atomic>
#include <mutex>
#include <csignal>
#include <sys/mman.h>
#include <unistd.h>
#endif

#ifdef Q_OS_UNIX

namespace {

// The ranges mapped right now, for the SIGBUS handler: it may run on any
// thread at any moment, so it only reads atomics. A slot is free while its
// owner flag is clear; begin is published last and cleared first.
struct Slot
{
    std::atomic<bool> owned{false};
    std::atomic<quintptr> begin{0};
    std::atomic<quintptr> end{0};
    std::atomic<bool> hit{false};
};

constexpr int SlotCount = 64;
Slot slots[SlotCount];
struct sigaction previousAction;
std::once_flag installed;
quintptr handlerPageSize = 4096; // set before the handler is installed

void onSigbus(int signal, siginfo_t *info, void *context)
{
    const quintptr address = reinterpret_cast<quintptr>(info->si_addr);
    for (Slot &slot : slots) {
        const quintptr begin = slot.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin || address >= slot.end.load(std::memory_order_acquire))
            continue;
        // Put a private page of zeros over the lost one; the faulting read
        // then runs again and finds it.
        const quintptr page = address & ~(handlerPageSize - 1);
        void *zeros = mmap(reinterpret_cast<void *>(page), size_t(handlerPageSize), PROT_READ,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            slot.hit.store(true, std::memory_order_relaxed);
            return;
        }
    }
    // Not one of ours: what would have happened without this handler.
    if ((previousAction.sa_flags & SA_SIGINFO) && previousAction.sa_sigaction) {
        previousAction.sa_sigaction(signal, info, context);
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
    } else {
        // The fault repeats on return and ends the process as usual.
        ::signal(SIGBUS, SIG_DFL);
    }
}

void installHandler()
{
    handlerPageSize = quintptr(sysconf(_SC_PAGESIZE));
    struct sigaction action = {};
    action.sa_sigaction = onSigbus;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &previousAction);
}

int claimSlot(quintptr begin, quintptr end)
{
    for (int i = 0; i < SlotCount; ++i) {
        bool expected = false;
        if (slots[i].owned.compare_exchange_strong(expected, true)) {
            slots[i].hit.store(false);
            slots[i].end.store(end, std::memory_order_release);
            slots[i].begin.store(begin, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void releaseSlot(int i)
{
    slots[i].begin.store(0, std::memory_order_release);
    slots[i].end.store(0, std::memory_order_release);
    slots[i].owned.store(false, std::memory_order_release);
}

} // namespace

MappedRange::~MappedRange()
{
    unmap();
}

bool MappedRange::map(int fd, qint64 offset, qint64 length)
{
    unmap();
    if (fd < 0 || length <= 0 || offset < 0 || offset % pageSize() != 0)
        return false;
    std::call_once(installed, installHandler);
    int flags = MAP_SHARED;
#ifdef MAP_POPULATE
    flags |= MAP_POPULATE; // one call fills the page table instead of a fault per page
#endif
    void *address = mmap(nullptr, size_t(length), PROT_READ, flags, fd, off_t(offset));
    if (address == MAP_FAILED)
        return false;
    const quintptr begin = reinterpret_cast<quintptr>(address);
    m_slot = claimSlot(begin, begin + quintptr(length));
    if (m_slot < 0) {
        // Every slot in use: without protection this range is not mapped.
        munmap(address, size_t(length));
        return false;
    }
    m_data = static_cast<const char *>(address);
    m_length = length;
    return true;
}

void MappedRange::unmap()
{
    if (!m_data)
        return;
    m_truncated = m_truncated || slots[m_slot].hit.load();
    // Out of the table first, so that the handler never takes a fault in a
    // range that is being unmapped (or reused by someone else) for ours.
    releaseSlot(m_slot);
    munmap(const_cast<char *>(m_data), size_t(m_length));
    m_data = nullptr;
    m_length = 0;
    m_slot = -1;
}

bool MappedRange::truncated() const
{
    return m_truncated || (m_slot >= 0 && slots[m_slot].hit.load());
}

qint64 MappedRange::pageSize()
{
    static const qint64 size = sysconf(_SC_PAGESIZE);
    return size;
}

bool MappedRange::isSupported()
{
    return true;
}

#else // no mmap: callers read through buffers

MappedRange::~MappedRange() = default;
bool MappedRange::map(int, qint64, qint64) { return false; }
void MappedRange::unmap() {}
bool MappedRange::truncated() const { return false; }
qint64 MappedRange::pageSize() { return 4096; }
bool MappedRange::isSupported() { return false; }

#endif
