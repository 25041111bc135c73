#ifndef OUTPUTLIST_H
#define OUTPUTLIST_H

#include <QMediaPlayer>
#include <QPointer>
#include <QTableWidget>

class Engine;
class Operation;
class QCheckBox;
class QSlider;

// The list of cut files: one row a file, with a check box, play button,
// progress slider and the file's path, newest first. A row plays its file in
// the engine's saved-file player; while it plays, the cutter state is PLAYING
// and the window's cutting controls rest. Checked files go to the trash with
// removeChecked().
//
// The columns come from the window's form; the engine is handed in before
// the first row.
class OutputList : public QTableWidget
{
    Q_OBJECT

public:
    enum Column { SelectColumn = 0, OperationColumn = 1, ProgressColumn = 2, FileColumn = 3 };

    explicit OutputList(QWidget *parent = nullptr);

    void setEngine(Engine *engine);

    // Lists a file a cut has just written, sorted in, and plays it once the
    // table has settled.
    void addFile(const QString &file);
    int checkedRowCount() const;
    void setAllChecked(bool checked);
    // Moves the checked files to the trash (or deletes them where there is
    // none) and drops their rows. Nothing happens when no row is checked.
    void removeChecked();
    // Button style of theme 1..4 on every row.
    void setThemeIndex(int index);

signals:
    // Rows came or went, or a row was checked or unchecked.
    void checksChanged();
    // Something the user must be told, in the program's own box.
    void notice(const QString &text);

private:
    int rowOf(const Operation *operation) const;
    QCheckBox *rowCheckBox(int row) const;
    QSlider *rowSlider(int row) const;
    void playRow(const QPointer<Operation> &operation);
    void deleteRow(const QPointer<Operation> &operation);
    void onSavedPlayerStateChanged(QMediaPlayer::State state, const QPointer<Operation> &operation,
                                   const QPointer<QSlider> &slider);
    void onRowSliderPressed();
    void onRowSliderReleased();
    void pressPlayButton(const QPointer<Operation> &operation);
    void sortKeepingThePlayingRow();

    Engine *engine = nullptr;
};

#endif // OUTPUTLIST_H
