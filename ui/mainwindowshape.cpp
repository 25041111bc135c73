// MainWindow, the level of the next cuts: fades at the piece's ends, a level
// change in 1.5 dB steps or a normalised level. Stored like the cut mode,
// and told in the line under the cut's length.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "engine.h"
#include "settingskeys.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>

#include <algorithm>
#include <functional>

namespace {

QString secondsText(qint64 ms)
{
    return QString::number(ms / 1000.0, 'g', 3);
}

} // namespace

void MainWindow::setupShape()
{
    using namespace SettingsKeys;
    PieceShape stored;
    stored.fadeInMs = settings->getValue(common, cutSection, fadeIn).toLongLong();
    stored.fadeOutMs = settings->getValue(common, cutSection, fadeOut).toLongLong();
    stored.levelSteps = std::clamp(settings->getValue(common, cutSection, levelSteps).toInt(),
                                   -PieceShape::MaxLevelSteps, PieceShape::MaxLevelSteps);
    stored.normalize = settings->getValue(common, cutSection, normalize).toBool();
    engine->setPieceShape(stored);

    QMenu *menu = ui->menuSettings;
    menu->addSeparator();
    const auto choices = [this, menu](const QString &title, const QString &key, const QList<qint64> &values,
                                      qint64 current, const std::function<QString(qint64)> &text) {
        auto *sub = menu->addMenu(title);
        sub->setObjectName(QStringLiteral("menu") + key);
        auto *group = new QActionGroup(sub);
        for (const qint64 value : values) {
            QAction *action = sub->addAction(text(value));
            action->setCheckable(true);
            action->setChecked(value == current);
            group->addAction(action);
            connect(action, &QAction::triggered, this, [this, key, value] {
                settings->setValue(SettingsKeys::common, SettingsKeys::cutSection, key, value);
                PieceShape shape = engine->getPieceShape();
                if (key == SettingsKeys::fadeIn)
                    shape.fadeInMs = value;
                else if (key == SettingsKeys::fadeOut)
                    shape.fadeOutMs = value;
                else
                    shape.levelSteps = int(value);
                engine->setPieceShape(shape);
                scheduleHeardRange();
            });
        }
    };
    const QList<qint64> fades(std::begin(PieceShape::FadeChoicesMs), std::end(PieceShape::FadeChoicesMs));
    const auto fadeText = [](qint64 ms) { return ms == 0 ? tr("Off") : tr("%1 s").arg(secondsText(ms)); };
    choices(tr("Fade in"), SettingsKeys::fadeIn, fades, stored.fadeInMs, fadeText);
    choices(tr("Fade out"), SettingsKeys::fadeOut, fades, stored.fadeOutMs, fadeText);
    QList<qint64> steps;
    for (int step = PieceShape::MaxLevelSteps; step >= -PieceShape::MaxLevelSteps; --step)
        steps << step;
    choices(tr("Level"), SettingsKeys::levelSteps, steps, stored.levelSteps, [](qint64 step) {
        return step == 0 ? tr("Unchanged") : tr("%1 dB").arg(QString::asprintf("%+.1f", step * PieceShape::LevelStepDb));
    });
    QAction *normalizeAction = menu->addAction(tr("Normalise"));
    normalizeAction->setObjectName(QStringLiteral("actionNormalise"));
    normalizeAction->setCheckable(true);
    normalizeAction->setChecked(stored.normalize);
    connect(normalizeAction, &QAction::toggled, this, [this](bool on) {
        settings->setValue(SettingsKeys::common, SettingsKeys::cutSection, SettingsKeys::normalize, on);
        PieceShape shape = engine->getPieceShape();
        shape.normalize = on;
        engine->setPieceShape(shape);
        scheduleHeardRange();
    });
}

// Empty for a plain cut.
QString MainWindow::shapeText() const
{
    const PieceShape shape = engine->getPieceShape();
    QStringList parts;
    if (shape.fadeInMs > 0)
        parts << tr("fade in %1 s").arg(secondsText(shape.fadeInMs));
    if (shape.fadeOutMs > 0)
        parts << tr("fade out %1 s").arg(secondsText(shape.fadeOutMs));
    if (shape.normalize)
        parts << tr("normalised");
    else if (shape.levelSteps != 0)
        parts << tr("%1 dB").arg(QString::asprintf("%+.1f", shape.levelDb()));
    return parts.join(QStringLiteral(", "));
}
