#pragma once

#include "dailytimer.h"

// "eveluna --remind", the run of the login entry: decides from the data files and today's date whether
// a reminder is due, shows it as a desktop notification and ends. It is no copy of the program for the
// one-copy rule, opens no window and writes nothing but the day of the reminder (LastNotice). The late
// reminder's action "生理登録" opens the registration dialog over the main window of the running copy,
// or of a copy started for it; "今日始まった" (late and before) registers today as --record-start does. Exit status 0
// also without a bus or a notification service (one line on standard error); 1 with one line when the data folder is
// refused (checkedDataLayout()) or the data files cannot be read.

int runReminder(int argc, char *argv[]);

// "eveluna --remind-at temperature|pill", run by the reminder's systemd timer: one notification unless
// today's reading or today's pill=taken is recorded, or it was shown today already (again: the run that
// "あとで" scheduled, which comes anyway). 記録する opens the day dialog on today; 飲んだ records pill=taken
// without a window; あとで asks systemd-run for the same reminder in 30 minutes. Exit statuses as for
// runReminder.
int runDailyReminder(int argc, char *argv[], DailyReminder reminder, bool again);
