#include "markmodel.h"

#include <algorithm>

namespace {

// Enough to undo a working session; the oldest changes go first.
constexpr int historyLimit = 500;

} // namespace

MarkModel::MarkModel(QObject *parent)
    : QObject(parent)
{
}

qint64 MarkModel::endOrDuration() const
{
    return m_marks.end > 0 ? m_marks.end : m_duration;
}

// A back end may report the duration again while it plays; the view stays
// where it is, within the new length.
void MarkModel::setDuration(qint64 ms)
{
    ms = std::max<qint64>(ms, 0);
    if (ms == m_duration)
        return;
    m_duration = ms;
    setView(m_viewStart, m_viewLength);
    emit viewChanged();
}

void MarkModel::setFrameMs(double ms)
{
    if (ms > 0)
        m_frameMs = ms;
}

void MarkModel::set(qint64 start, qint64 end)
{
    store({start, end});
}

void MarkModel::mark(qint64 start, qint64 end)
{
    if (m_duration > 0) {
        start = std::clamp<qint64>(start, 0, m_duration);
        end = std::clamp<qint64>(end, 0, m_duration);
    }
    if (end != 0 && end < start) {
        if (start != m_marks.start)
            start = end;
        else
            end = start;
    }
    store({start, end});
}

// A change made inside a gesture records the marks from before the gesture
// only once.
void MarkModel::store(const Range &marks)
{
    if (marks == m_marks)
        return;
    if (!m_inGesture || !m_gestureRecorded) {
        m_undo.append(m_marks);
        if (m_undo.size() > historyLimit)
            m_undo.removeFirst();
        m_redo.clear();
        m_gestureRecorded = m_inGesture;
        emit historyChanged();
    }
    m_marks = marks;
    emit changed();
}

void MarkModel::reset()
{
    const bool hadHistory = canUndo() || canRedo();
    m_undo.clear();
    m_redo.clear();
    m_inGesture = false;
    const bool moved = m_marks != Range();
    m_marks = Range();
    setView(0, 0);
    if (moved)
        emit changed();
    if (hadHistory)
        emit historyChanged();
}

void MarkModel::undo()
{
    if (m_undo.isEmpty())
        return;
    m_redo.append(m_marks);
    m_marks = m_undo.takeLast();
    emit historyChanged();
    emit changed();
}

void MarkModel::redo()
{
    if (m_redo.isEmpty())
        return;
    m_undo.append(m_marks);
    m_marks = m_redo.takeLast();
    emit historyChanged();
    emit changed();
}

void MarkModel::beginGesture()
{
    m_inGesture = true;
    m_gestureRecorded = false;
}

void MarkModel::endGesture()
{
    m_inGesture = false;
}

double MarkModel::viewLength() const
{
    return m_viewLength > 0 ? m_viewLength : double(m_duration);
}

bool MarkModel::isZoomed() const
{
    return m_viewLength > 0;
}

double MarkModel::closestView() const
{
    return std::min(double(m_duration), ClosestViewFrames * m_frameMs);
}

void MarkModel::zoom(double factor, double anchorMs)
{
    if (m_duration <= 0 || factor <= 0)
        return;
    const double length = viewLength();
    const double newLength = std::clamp(length / factor, closestView(), double(m_duration));
    const double share = std::clamp((anchorMs - m_viewStart) / length, 0.0, 1.0);
    setView(anchorMs - share * newLength, newLength);
}

void MarkModel::scroll(double share)
{
    if (isZoomed())
        setView(m_viewStart + share * m_viewLength, m_viewLength);
}

void MarkModel::showAll()
{
    setView(0, 0);
}

void MarkModel::follow(qint64 positionMs, qint64 previousMs)
{
    if (!isZoomed())
        return;
    const double viewEnd = m_viewStart + m_viewLength;
    if (previousMs >= m_viewStart && previousMs <= viewEnd && positionMs > viewEnd)
        setView(positionMs, m_viewLength);
}

void MarkModel::reveal(qint64 ms)
{
    if (isZoomed() && (ms < m_viewStart || ms > m_viewStart + m_viewLength))
        setView(ms - m_viewLength / 10, m_viewLength);
}

// The whole source is view length 0, so that a new duration keeps it whole.
void MarkModel::setView(double start, double length)
{
    if (length >= double(m_duration))
        length = 0;
    start = length > 0 ? std::clamp(start, 0.0, double(m_duration) - length) : 0.0;
    if (start == m_viewStart && length == m_viewLength)
        return;
    m_viewStart = start;
    m_viewLength = length;
    emit viewChanged();
}

MarkModel::Range MarkModel::edgePlan(Edge edge) const
{
    Range plan;
    switch (edge) {
    case UpToStart:
        plan = {m_marks.start - EdgeMs, m_marks.start};
        break;
    case FromStart:
        plan = {m_marks.start, m_marks.start + EdgeMs};
        break;
    case UpToEnd:
        plan = {endOrDuration() - EdgeMs, endOrDuration()};
        break;
    }
    plan.start = std::clamp<qint64>(plan.start, 0, m_duration);
    plan.end = std::clamp<qint64>(plan.end, 0, m_duration);
    if (plan.end <= plan.start)
        return Range();
    return plan;
}

void MarkModel::setChapters(const QVector<Chapter> &chapters)
{
    if (chapters == m_chapters)
        return;
    m_chapters = chapters;
    emit chaptersChanged();
}

// While the duration is not known every chapter counts.
bool MarkModel::inSource(const Chapter &chapter) const
{
    return m_duration <= 0 || chapter.startMs < m_duration;
}

qint64 MarkModel::previousChapterStart(qint64 ms) const
{
    for (auto it = m_chapters.crbegin(); it != m_chapters.crend(); ++it) {
        if (it->startMs <= ms - ChapterBackGraceMs && inSource(*it))
            return it->startMs;
    }
    return -1;
}

qint64 MarkModel::nextChapterStart(qint64 ms) const
{
    for (const Chapter &chapter : m_chapters) {
        if (chapter.startMs > ms + ChapterNearMs && inSource(chapter))
            return chapter.startMs;
    }
    return -1;
}

int MarkModel::chapterAt(qint64 ms) const
{
    for (int i = 0; i < m_chapters.size(); ++i) {
        const Chapter &chapter = m_chapters.at(i);
        if (!inSource(chapter) || chapter.startMs > ms)
            continue;
        const qint64 end = m_duration > 0 ? std::min(chapter.endMs, m_duration) : chapter.endMs;
        if (ms < end || (ms == end && end == m_duration))
            return i;
    }
    return -1;
}

bool MarkModel::markChapter(qint64 ms)
{
    const int index = chapterAt(ms);
    if (index < 0)
        return false;
    mark(m_chapters.at(index).startMs, m_chapters.at(index).endMs);
    return true;
}
