#pragma once

#include "exitstatus.h"

#include <QDate>
#include <QString>

// "eveluna --record-start [yyyy-mm-dd]" and the notification's "今日始まった": one first day registered
// by the rules of 生理登録 (recordstart.h). With a copy of the program running, that copy registers it
// and redraws (through the one-copy socket), so nothing else writes the files meanwhile; otherwise this
// process does, under the data lock, after the day's backup.

// The command: prints the one line on standard output (standard error for a refusal) and returns the
// exit status: Done when the day is registered or already counted, Refused for a text that is no date
// or a day after today, Failed when her records cannot be read or written.
ExitStatus runRecordStartCommand(const QString &dayText);

// The running copy's answer to the socket's request: the exit status, a blank, the line.
QString recordStartAnswer(const QDate &day);
