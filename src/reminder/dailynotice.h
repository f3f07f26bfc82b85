#pragma once

#include "dailytimer.h"
#include "duenotice.h"

#include <QDate>
#include <QString>

// What the reminders at a time of day say and do, from the data files: "--remind-at temperature|pill".

// True when today's reminder has nothing left to ask: a reading of today in dateTemp.dat (temperature),
// pill=taken today in dateDay.dat (pill). Throws EFileError when a file cannot be read.
bool dailyReminderAnswered(DailyReminder reminder, const QString &tempPath, const QString &dayPath, const QDate &today);

// "体温を測りましょう" or "ピルの時間です"; with discreet "Easy VELUNA: お知らせ" and no body.
NoticeText dailyNoticeText(DailyReminder reminder, bool discreet);

// Records pill=taken for `day` in dateDay.dat, keeping that day's other observations, under the data lock.
void recordPillTaken(const QString &dayPath, const QDate &day);
