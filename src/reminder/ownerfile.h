#pragma once

#include <QByteArray>
#include <QString>

// The files the reminders leave outside her data folder (the login entry, the timers' units) name her
// program's path and what she chose to be reminded of: hers alone to read.

// Writes the file atomically with mode 0600; throws EFileError naming it when that fails.
void writeOwnerOnlyFile(const QString &path, const QByteArray &bytes);

// Removes the file if it is there; throws EFileError naming it when it stays.
void removeFileIfPresent(const QString &path);
