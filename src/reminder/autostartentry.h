#pragma once

#include <QByteArray>
#include <QString>

// The login entry that runs the reminder: "<application id>-reminder.desktop" in the user's XDG
// autostart folder, whose Exec line starts this very executable with --remind.

// "<XDG_CONFIG_HOME>/autostart/<id>-reminder.desktop", with "<home>/.config" when the variable is
// unset, empty or not an absolute path.
QString autostartEntryPath(const QString &xdgConfigHome, const QString &home);

// The entry's text. The executable is one quoted argument of Exec, as the desktop entry rules require:
// '"', '`', '$' and '\' escaped inside the quotes, then '\' doubled as in every string value and '%'
// doubled for the field codes. A path with "%" is run through /usr/bin/env, since GLib-based desktops
// would not find the program otherwise. Throws EFileError for a path that an Exec line cannot carry or
// a desktop would not start: relative, with a control character, or with both "%" and "=".
QByteArray autostartEntry(const QString &executablePath);

// Writes the entry (creating the autostart folder), or removes it; a missing entry is no error.
// Throws EFileError with the path and the system's reason when refused.
void writeAutostartEntry(const QString &entryPath, const QString &executablePath);
void removeAutostartEntry(const QString &entryPath);
