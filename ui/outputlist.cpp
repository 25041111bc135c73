#include "outputlist.h"

#include "elidedpathdelegate.h"
#include "engine.h"
#include "operation.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTableWidgetItem>
#include <QTimer>

namespace {

const char *const rowProperty = "row";

// The trash in the user's data folder, made if need be. Qt's own move to
// the trash does not stop when it cannot make one: it then moves the file
// into a "files" folder under the current folder.
bool homeTrashUsable()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return false;
    const QString trash = data + QStringLiteral("/Trash");
    return QDir().mkpath(trash + QStringLiteral("/files")) && QDir().mkpath(trash + QStringLiteral("/info"));
}

// To the desktop trash, so that a slip can be undone. Where there is no
// trash for the file the file is deleted, and *deleted says so. False when
// the file is still there.
bool discardFile(const QString &path, bool *deleted)
{
    if (homeTrashUsable() && QFile::moveToTrash(path))
        return true;
    if (!QFile::remove(path))
        return false;
    *deleted = true;
    return true;
}

} // namespace

OutputList::OutputList(QWidget *parent)
    : QTableWidget(parent)
{
    setItemDelegateForColumn(FileColumn, new ElidedPathDelegate(this));
}

void OutputList::setEngine(Engine *engine)
{
    this->engine = engine;
}

void OutputList::addFile(const QString &file)
{
    const int row = rowCount();
    insertRow(row);

    auto *item = new QTableWidgetItem(file);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    item->setToolTip(file);

    auto *operation = new Operation(this);
    operation->setThemeIndex(engine->getThemeIndex());
    auto *slider = new QSlider(Qt::Horizontal, this);
    slider->setEnabled(false);

    // Rows can go away while their file plays or just stopped ("Clear"), so
    // every handler holds its widgets through guarded pointers.
    const QPointer<Operation> guardedOperation(operation);
    connect(operation, &Operation::playButtonClicked, this, [this, guardedOperation] { playRow(guardedOperation); });
    connect(operation, &Operation::deleteButtonClicked, this, [this, guardedOperation] { deleteRow(guardedOperation); });
    // The slider is disabled until its row plays, so these can be made once.
    connect(slider, &QSlider::sliderMoved, engine, &Engine::playSavedSeek);
    connect(slider, &QSlider::sliderPressed, this, &OutputList::onRowSliderPressed);
    connect(slider, &QSlider::sliderReleased, this, &OutputList::onRowSliderReleased);

    auto *cell = new QWidget(this);
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignCenter);
    auto *checkBox = new QCheckBox(cell);
    checkBox->setContentsMargins(20, 0, 0, 0);
    layout->addWidget(checkBox);
    connect(checkBox, &QCheckBox::clicked, this, &OutputList::checksChanged);

    setCellWidget(row, SelectColumn, cell);
    setCellWidget(row, OperationColumn, operation);
    setCellWidget(row, ProgressColumn, slider);
    setItem(row, FileColumn, item);
    sortKeepingThePlayingRow();
    emit checksChanged();

    // The preview, once the table has settled. It plays the new file, which
    // is not the top row when it went to a folder whose path sorts lower.
    QTimer::singleShot(0, this, [this, guardedOperation] { pressPlayButton(guardedOperation); });
}

// Names begin with the time of the cut: the newest file of a folder first.
// The saved-file player must go on naming the row it plays.
void OutputList::sortKeepingThePlayingRow()
{
    QPointer<Operation> playing;
    if (engine->getCutterState() == Engine::PLAYING) {
        const int playingRow = engine->getSavedPlayer()->property(rowProperty).toInt();
        playing = qobject_cast<Operation *>(cellWidget(playingRow, OperationColumn));
    }
    sortItems(FileColumn, Qt::DescendingOrder);
    if (playing)
        engine->getSavedPlayer()->setProperty(rowProperty, rowOf(playing));
}

// A press and a release, as the user's click would be.
void OutputList::pressPlayButton(const QPointer<Operation> &operation)
{
    if (!operation || rowOf(operation) < 0)
        return;
    QPushButton *button = operation->playButton();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(0, 0), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &release);
}

// Found by identity rather than by position: cell widgets are placed by the
// view's delayed layout, so right after a sort a position can be stale.
int OutputList::rowOf(const Operation *operation) const
{
    if (!operation)
        return -1;
    for (int row = 0; row < rowCount(); ++row) {
        if (cellWidget(row, OperationColumn) == operation)
            return row;
    }
    return -1;
}

QCheckBox *OutputList::rowCheckBox(int row) const
{
    QWidget *cell = cellWidget(row, SelectColumn);
    if (!cell || !cell->layout() || !cell->layout()->itemAt(0))
        return nullptr;
    return qobject_cast<QCheckBox *>(cell->layout()->itemAt(0)->widget());
}

QSlider *OutputList::rowSlider(int row) const
{
    return qobject_cast<QSlider *>(cellWidget(row, ProgressColumn));
}

int OutputList::checkedRowCount() const
{
    int count = 0;
    for (int row = 0; row < rowCount(); ++row) {
        const QCheckBox *checkBox = rowCheckBox(row);
        if (checkBox && checkBox->isChecked())
            ++count;
    }
    return count;
}

void OutputList::setAllChecked(bool checked)
{
    for (int row = 0; row < rowCount(); ++row) {
        if (QCheckBox *checkBox = rowCheckBox(row))
            checkBox->setChecked(checked);
    }
    emit checksChanged();
}

// The play button of the playing row stops it. Only one listed file plays at
// a time: while one plays, another row's button only enables its slider.
void OutputList::playRow(const QPointer<Operation> &operation)
{
    const int row = rowOf(operation);
    if (row < 0)
        return;
    QMediaPlayer *saved = engine->getSavedPlayer();
    if (saved->property(rowProperty).toInt() == row && engine->getCutterState() == Engine::PLAYING) {
        saved->stop();
        return;
    }

    const QPointer<QSlider> slider = rowSlider(row);
    if (slider)
        slider->setEnabled(true);

    const QString path = item(row, FileColumn)->text();
    if (!QFileInfo::exists(path) || engine->getCutterState() != Engine::IDEL)
        return;

    // A reset of the window sets the state back to idle without stopping a
    // listed file; finish that one properly before the next starts.
    if (saved->state() != QMediaPlayer::StoppedState)
        saved->stop();

    engine->playSavedFile(path);
    saved->setProperty(rowProperty, row);
    engine->setCutterState(Engine::PLAYING);
    operation->setPlayIcon(QStringLiteral(":images/icon_stop.png"));
    operation->setDeleteEnabled(false);

    connect(saved, &QMediaPlayer::durationChanged, this, [slider](qint64 duration) {
        if (!slider)
            return;
        slider->setMinimum(0);
        slider->setMaximum(static_cast<int>(duration));
    });
    connect(saved, &QMediaPlayer::positionChanged, this, [slider](qint64 position) {
        if (slider)
            slider->setValue(static_cast<int>(position));
    });
    connect(saved, &QMediaPlayer::stateChanged, this, [this, operation, slider](QMediaPlayer::State state) {
        onSavedPlayerStateChanged(state, operation, slider);
    });
}

void OutputList::onSavedPlayerStateChanged(QMediaPlayer::State state, const QPointer<Operation> &operation,
                                           const QPointer<QSlider> &slider)
{
    if (state != QMediaPlayer::StoppedState)
        return;
    engine->setCutterState(Engine::IDEL);
    if (operation) {
        operation->setPlayIcon(QStringLiteral(":images/icon_play.png"));
        operation->setDeleteEnabled(true);
    }
    if (slider) {
        slider->setValue(0);
        slider->setEnabled(false);
    }
    QObject::disconnect(engine->getSavedPlayer(), nullptr, nullptr, nullptr);
}

// While the user drags, the saved-file player waits and the main window's
// controls are free; the release resumes it.
void OutputList::onRowSliderPressed()
{
    if (engine->getCutterState() != Engine::PLAYING)
        return;
    engine->getSavedPlayer()->pause();
    engine->setCutterState(Engine::IDEL);
}

void OutputList::onRowSliderReleased()
{
    if (engine->getCutterState() != Engine::IDEL)
        return;
    engine->setCutterState(Engine::PLAYING);
    engine->getSavedPlayer()->play();
}

void OutputList::deleteRow(const QPointer<Operation> &operation)
{
    const int row = rowOf(operation);
    if (row < 0)
        return;
    bool deleted = false;
    discardFile(item(row, FileColumn)->text(), &deleted);
    removeRow(row);
    emit checksChanged();
    if (deleted)
        emit notice(tr("There is no trash for these files: they were deleted."));
}

// The user checked the files and pressed the button; there is no further
// question.
void OutputList::removeChecked()
{
    if (checkedRowCount() == 0)
        return;
    // A file must not be removed under the player, and the stop restores its
    // row before the row goes.
    engine->getSavedPlayer()->stop();

    int count = rowCount();
    bool deleted = false;
    for (int row = 0; row < count;) {
        const QCheckBox *checkBox = rowCheckBox(row);
        if (checkBox && checkBox->isChecked()) {
            discardFile(item(row, FileColumn)->text(), &deleted);
            removeRow(row);
            --count;
        } else {
            ++row;
        }
    }
    emit checksChanged();
    if (deleted)
        emit notice(tr("There is no trash for these files: they were deleted."));
}

void OutputList::setThemeIndex(int index)
{
    for (int row = 0; row < rowCount(); ++row) {
        if (auto *operation = qobject_cast<Operation *>(cellWidget(row, OperationColumn)))
            operation->setThemeIndex(index);
    }
}
