#ifndef SETTINGSKEYS_H
#define SETTINGSKEYS_H

#include <QString>

// Where each stored value lives in settings.json: group / section / key.
// Every reader and writer of the settings names them through these.
namespace SettingsKeys {

inline const QString common = QStringLiteral("Common");

inline const QString styleSection = QStringLiteral("StyleSheet");
inline const QString themeIndex = QStringLiteral("index");         // whole number 1..4
inline const QString selectColor = QStringLiteral("SelectColor");  // "#RRGGBB"

inline const QString operationSection = QStringLiteral("Operation");
inline const QString openHistory = QStringLiteral("OpenHistoryList"); // newest first
inline const QString savePath = QStringLiteral("SavePath");

// How the window cuts; both true or false, off when missing.
inline const QString cutSection = QStringLiteral("Cut");
inline const QString exactCut = QStringLiteral("ExactCut"); // sample-exact rather than whole frames
inline const QString keepTags = QStringLiteral("KeepTags"); // the source's tags go into the cut
// Fades and level of the cuts: milliseconds, steps of 1.5 dB, true or false;
// 0 or off when missing.
inline const QString fadeIn = QStringLiteral("FadeInMs");
inline const QString fadeOut = QStringLiteral("FadeOutMs");
inline const QString levelSteps = QStringLiteral("LevelSteps");
inline const QString normalize = QStringLiteral("Normalize");

} // namespace SettingsKeys

#endif // SETTINGSKEYS_H
