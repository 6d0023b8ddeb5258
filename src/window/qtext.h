#pragma once
// The game's UTF-8 strings in Qt, and where the player's settings are kept.
#include <QSettings>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace ozn {

inline QString q(const std::string& s) { return QString::fromStdString(s); }

inline QStringList qLines(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& l : lines) out << q(l);
    return out;
}

// The player's own settings, in the desktop's configuration folder.
inline QSettings userSettings() { return QSettings(QStringLiteral("ozn"), QStringLiteral("ozn")); }

}  // namespace ozn
