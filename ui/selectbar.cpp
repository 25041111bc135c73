#include "selectbar.h"
#include "ui_selectbar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int handleSize = 20;
// A handle's x plus this is its last column.
constexpr int handleLastColumn = handleSize - 1;
constexpr int barHeight = 20;
constexpr qreal stripRadius = 4.6;

// Halves go toward +infinity on both sides of zero (-0.5 becomes 0, -1.5
// becomes -1), so a pointer at a half pixel always lands on the same column,
// whichever side of the bar's origin it is on.
int roundPointerX(qreal v)
{
    if (v >= 0.0)
        return static_cast<int>(v + 0.5);
    const int k = static_cast<int>(v - 1);
    return static_cast<int>(v - k + 0.5) + k;
}

} // namespace

SelectBar::SelectBar(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::SelectBar>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_TranslucentBackground);
    ui->pushButtonLeftHandle->installEventFilter(this);
    ui->pushButtonRightHandle->installEventFilter(this);
}

SelectBar::~SelectBar() = default;

void SelectBar::reset()
{
    const int w = width();
    ui->widgetBar->setStartX(handleSize);
    ui->widgetBar->setEndX(w - handleSize);
    ui->widgetBar->setColor(Qt::gray);
    ui->pushButtonLeftHandle->move(0, ui->pushButtonLeftHandle->y());
    ui->pushButtonRightHandle->move(w - handleSize, ui->pushButtonRightHandle->y());
    ui->pushButtonLeftHandle->show();
    ui->pushButtonRightHandle->show();
    // Without this a band drawn in the old colour would stay on screen until
    // something else repaints the bar.
    ui->widgetBar->update();
    setDisabled(true);
}

void SelectBar::setStartPercent(float startPercent)
{
    const qint64 x = ui->widgetBar->setStartPercent(startPercent);
    ui->pushButtonLeftHandle->move(static_cast<int>(std::clamp<qint64>(x, -2 * handleSize, width() + handleSize)), 0);
    showHandlesInView();
}

void SelectBar::setEndPercent(float endPercent)
{
    const qint64 x = ui->widgetBar->setEndPercent(endPercent);
    ui->pushButtonRightHandle->move(static_cast<int>(std::clamp<qint64>(x, -2 * handleSize, width() + handleSize)), 0);
    showHandlesInView();
}

// A handle off the track's ends would sit on a place of the view it does
// not mark.
void SelectBar::showHandlesInView()
{
    const int last = width() - handleSize + 2;
    const int leftX = ui->pushButtonLeftHandle->x();
    const int rightX = ui->pushButtonRightHandle->x();
    ui->pushButtonLeftHandle->setVisible(leftX >= 0 && leftX <= last);
    ui->pushButtonRightHandle->setVisible(rightX >= 0 && rightX <= last);
}

void SelectBar::setView(double from, double to)
{
    ui->widgetBar->setView(from, to);
}

void SelectBar::setPlayhead(double fraction)
{
    ui->widgetBar->setPlayhead(fraction);
}

void SelectBar::setFrameGrid(double length, double offset)
{
    ui->widgetBar->setFrameGrid(length, offset);
}

double SelectBar::fractionAt(int x) const
{
    return ui->widgetBar->fractionAt(x);
}

void SelectBar::setChapterTicks(const QVector<double> &fractions, const QStringList &tips)
{
    ui->widgetBar->setChapterTicks(fractions, tips);
}

bool SelectBar::isDragging() const
{
    return dragHandle != NoHandle;
}

void SelectBar::setColor(const QColor &color)
{
    ui->widgetBar->setColor(color);
}

void SelectBar::setHandleStyleSheet(const QString &styleSheet)
{
    ui->pushButtonLeftHandle->setStyleSheet(styleSheet);
    ui->pushButtonRightHandle->setStyleSheet(styleSheet);
}

void SelectBar::startEnvelope(int columns)
{
    ui->widgetBar->setEnvelope(QVector<float>(std::max(columns, 0), -1.0f));
}

void SelectBar::setEnvelopeColumns(int first, const QVector<float> &values)
{
    ui->widgetBar->setEnvelopeValues(first, values);
}

void SelectBar::clearEnvelope()
{
    ui->widgetBar->setEnvelope(QVector<float>());
}

bool SelectBar::hasEnvelope() const
{
    return !ui->widgetBar->envelope().isEmpty();
}

int SelectBar::envelopeResolution() const
{
    // The band follows the bar's width, though it may not have been resized
    // to it yet.
    return std::max(1, width() - 2 * handleLastColumn);
}

bool SelectBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui->pushButtonLeftHandle && watched != ui->pushButtonRightHandle)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // Filters see events before the widget's own disabled check: a
        // disabled bar must not start a drag, or the owner would stop placing
        // the handles. A release is always taken, so a drag never outlives
        // the button.
        if (!static_cast<QWidget *>(watched)->isEnabled())
            break;
        pressHandle(watched, static_cast<QMouseEvent *>(event));
        // Swallowed: the button never looks pressed and ignores the moves
        // that follow, so they travel up to mouseMoveEvent.
        return true;
    case QEvent::MouseButtonRelease:
        if (dragHandle != NoHandle) {
            dragHandle = NoHandle;
            emit dragFinished();
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void SelectBar::pressHandle(QObject *handle, const QMouseEvent *event)
{
    if (handle == ui->pushButtonLeftHandle) {
        pressPoint = QPoint(ui->pushButtonLeftHandle->width() - 1, 0);
        dragHandle = LeftHandle;
    } else {
        pressPoint = ui->pushButtonRightHandle->mapToParent(QPoint(0, 0));
        dragHandle = RightHandle;
    }
    pressOffsetX = roundPointerX(event->localPos().x());
    emit dragStarted();
}

void SelectBar::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
}

void SelectBar::mouseMoveEvent(QMouseEvent *event)
{
    if (dragHandle == NoHandle) {
        QWidget::mouseMoveEvent(event);
        return;
    }

    const int newX = roundPointerX(event->localPos().x()) - pressOffsetX;
    const bool moved = dragHandle == LeftHandle ? moveLeftHandle(newX) : moveRightHandle(newX);
    // A move that would overlap the other handle is dropped as a whole, so a
    // fast drag stops at the last accepted position.
    if (!moved)
        return;

    updateBand();
    QWidget::mouseMoveEvent(event);
}

bool SelectBar::moveLeftHandle(int newX)
{
    const int rightX = ui->pushButtonRightHandle->x();
    if (newX >= rightX - handleLastColumn)
        return false;

    const int x = std::max(newX, 0);
    ui->pushButtonLeftHandle->move(x, pressPoint.y());
    // The band starts right after the handle's last column.
    emit sendStartPercent(static_cast<float>(ui->widgetBar->fractionAt(x + handleSize)));
    return true;
}

bool SelectBar::moveRightHandle(int newX)
{
    const int leftRight = ui->pushButtonLeftHandle->x() + handleLastColumn;
    if (newX <= leftRight)
        return false;

    const int barWidth = ui->widgetBar->width();
    const int x = std::min(newX, barWidth - handleSize);
    ui->pushButtonRightHandle->move(x, pressPoint.y());
    // Held against the bar's right end, the handle marks the view's end: the
    // end of the file in the whole view.
    const double fraction = x == barWidth - handleSize ? ui->widgetBar->viewTo()
                                                       : ui->widgetBar->fractionAt(x + 1);
    emit sendEndPercent(static_cast<float>(fraction));
    return true;
}

void SelectBar::updateBand()
{
    ui->widgetBar->setStartX(ui->pushButtonLeftHandle->x() + handleLastColumn);
    ui->widgetBar->setEndX(ui->pushButtonRightHandle->x());
    ui->widgetBar->update();
}

void SelectBar::wheelEvent(QWheelEvent *event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0) {
        event->ignore();
        return;
    }
    if (event->modifiers() & Qt::ControlModifier)
        emit zoomRequested(notches, fractionAt(int(event->position().x())));
    else
        emit scrollRequested(-notches);
    event->accept();
}

void SelectBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(Qt::gray, Qt::SolidPattern));
    painter.drawRoundedRect(QRectF(0, 0, width(), height()), stripRadius, stripRadius,
                            Qt::AbsoluteSize);
}

void SelectBar::resizeEvent(QResizeEvent *event)
{
    ui->widgetBar->setGeometry(0, 0, event->size().width(), barHeight);
    ui->pushButtonLeftHandle->setGeometry(0, 0, handleSize, handleSize);
    const int barWidth = ui->widgetBar->width();
    ui->pushButtonRightHandle->setGeometry(barWidth - handleSize, 0, handleSize, handleSize);
    // A resize puts both handles at the ends and says nothing: the owner
    // places them again from its time fields when it needs to.
    updateBand();
    QWidget::resizeEvent(event);
    if (event->oldSize().width() != event->size().width())
        emit envelopeResolutionChanged(envelopeResolution());
}
