#pragma once

#include "errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTime>

// The two reminders at a time of day, run by the desktop's own scheduler: a systemd user timer and its
// service per reminder in "<XDG_CONFIG_HOME>/systemd/user/", the service starting this very executable
// with "--remind-at temperature" or "--remind-at pill". systemctl and systemd-run are found through PATH.

enum class DailyReminder { Temperature, Pill };

// "temperature", "pill": the word of --remind-at and of the unit names.
QString dailyReminderWord(DailyReminder reminder);
// "eveluna-temperature", "eveluna-pill": the units' name without ".timer" or ".service".
QString dailyUnitName(DailyReminder reminder);

// A failure of the scheduler: systemctl or systemd-run missing, refusing or not answering.
class ESchedulerError final : public AppError
{
public:
    using AppError::AppError;
};

// "<XDG_CONFIG_HOME>/systemd/user", with "<home>/.config" when the variable is unset, empty or relative.
QString systemdUserFolder(const QString &xdgConfigHome, const QString &home);

// The timer: every day at `at` (whole minutes), Persistent so that a time missed while the computer was
// off is made up at the next start, wanted by timers.target.
QByteArray timerUnit(DailyReminder reminder, const QTime &at);

// The service: the executable as one quoted word of ExecStart, "%" doubled for the specifiers. Throws
// EFileError for a path systemd cannot start: relative, with a control character, a quote or a backslash.
QByteArray serviceUnit(DailyReminder reminder, const QString &executablePath);

// One line for the notice dialog when the user's systemd instance cannot be reached.
QString noSchedulerText();

// True when "systemctl --user" answers: a user instance of systemd runs for this session.
bool schedulerAvailable();

// Writes both units, reloads systemd and enables and starts the timer ("enable --now"). Throws
// EFileError when a file cannot be written, ESchedulerError with systemctl's reason when it refuses.
void enableDailyReminder(const QString &unitFolder, DailyReminder reminder, const QTime &at,
                         const QString &executablePath);

// Stops and disables the timer, removes both units and reloads systemd; nothing to do when the timer's
// file is not there. Throws as enableDailyReminder does.
void disableDailyReminder(const QString &unitFolder, DailyReminder reminder);

// The same reminder once more in `minutes` minutes, as a transient timer ("systemd-run --user
// --on-active=<minutes>m"). `arguments` follow the executable. Throws ESchedulerError when refused.
void remindAgainLater(const QString &executablePath, const QStringList &arguments, int minutes);
