#include "dailytimer.h"

#include "ownerfile.h"
#include "variable.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

// systemctl answers within milliseconds; a hung user manager must not freeze the dialog for long.
constexpr int SystemctlWaitMs = 10000;

QString reminderTitle(DailyReminder reminder)
{
    return reminder == DailyReminder::Temperature ? QStringLiteral("体温を測る") : QStringLiteral("ピルを飲む");
}

// Runs a scheduler command; its standard error (first line) becomes the reason of a refusal.
void runScheduler(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    const QString command = program + u' ' + arguments.join(u' ');
    if (!process.waitForStarted(SystemctlWaitMs)) {
        throw ESchedulerError(QStringLiteral("%1 を実行できません").arg(command));
    }
    if (!process.waitForFinished(SystemctlWaitMs)) {
        process.kill();
        process.waitForFinished();
        throw ESchedulerError(QStringLiteral("%1 が応答しません").arg(command));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString reason = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().section(u'\n', 0, 0);
        throw ESchedulerError(QStringLiteral("%1 が失敗しました。%2").arg(command, reason));
    }
}

} // namespace

QString dailyReminderWord(DailyReminder reminder)
{
    return reminder == DailyReminder::Temperature ? QStringLiteral("temperature") : QStringLiteral("pill");
}

QString dailyUnitName(DailyReminder reminder)
{
    return QStringLiteral("eveluna-") + dailyReminderWord(reminder);
}

QString systemdUserFolder(const QString &xdgConfigHome, const QString &home)
{
    return QDir(Variable::xdgBaseFolder(xdgConfigHome, home, QStringLiteral(".config")))
        .filePath(QStringLiteral("systemd/user"));
}

QByteArray timerUnit(DailyReminder reminder, const QTime &at)
{
    return QStringLiteral("[Unit]\n"
                          "Description=Easy VELUNA: %1\n"
                          "\n"
                          "[Timer]\n"
                          "OnCalendar=*-*-* %2:00\n"
                          "Persistent=true\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n")
        .arg(reminderTitle(reminder), at.toString(QStringLiteral("HH:mm")))
        .toUtf8();
}

QByteArray serviceUnit(DailyReminder reminder, const QString &executablePath)
{
    if (!QDir::isAbsolutePath(executablePath)) {
        throw EFileError(QStringLiteral("%1 は通知の時刻に起動できないパスです").arg(executablePath));
    }
    // systemd expands the specifiers ("%h") in the executable's name but not the variables ("$HOME"), and
    // refuses a name with quotes or a backslash.
    QString quoted;
    for (const QChar c : executablePath) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == u'"' || c == u'\'' || c == u'\\') {
            throw EFileError(QStringLiteral("%1 は通知の時刻に起動できないパスです").arg(executablePath));
        }
        if (c == u'%') {
            quoted += c;
        }
        quoted += c;
    }
    // Type=exec: the run waits for her answer to the notification, and a start that fails is reported.
    return QStringLiteral("[Unit]\n"
                          "Description=Easy VELUNA: %1\n"
                          "\n"
                          "[Service]\n"
                          "Type=exec\n"
                          "ExecStart=\"%2\" --remind-at %3\n")
        .arg(reminderTitle(reminder), quoted, dailyReminderWord(reminder))
        .toUtf8();
}

QString noSchedulerText()
{
    return QStringLiteral("systemd のユーザーサービスが動いていないため、時刻の通知は使えません。");
}

bool schedulerAvailable()
{
    try {
        runScheduler(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("show-environment")});
        return true;
    } catch (const ESchedulerError &) {
        return false;
    }
}

void enableDailyReminder(const QString &unitFolder, DailyReminder reminder, const QTime &at,
                         const QString &executablePath)
{
    const QByteArray service = serviceUnit(reminder, executablePath);
    if (!QDir().mkpath(unitFolder)) {
        throw EFileError(QStringLiteral("%1 を作成できません").arg(unitFolder));
    }
    const QString name = dailyUnitName(reminder);
    writeOwnerOnlyFile(QDir(unitFolder).filePath(name + QStringLiteral(".service")), service);
    writeOwnerOnlyFile(QDir(unitFolder).filePath(name + QStringLiteral(".timer")), timerUnit(reminder, at));
    runScheduler(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("daemon-reload")});
    runScheduler(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("enable"),
                                               QStringLiteral("--now"), name + QStringLiteral(".timer")});
}

void disableDailyReminder(const QString &unitFolder, DailyReminder reminder)
{
    const QString name = dailyUnitName(reminder);
    const QString timer = QDir(unitFolder).filePath(name + QStringLiteral(".timer"));
    if (!QFileInfo::exists(timer)) {
        removeFileIfPresent(QDir(unitFolder).filePath(name + QStringLiteral(".service")));
        return;
    }
    runScheduler(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("disable"),
                                               QStringLiteral("--now"), name + QStringLiteral(".timer")});
    removeFileIfPresent(timer);
    removeFileIfPresent(QDir(unitFolder).filePath(name + QStringLiteral(".service")));
    runScheduler(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("daemon-reload")});
}

void remindAgainLater(const QString &executablePath, const QStringList &arguments, int minutes)
{
    runScheduler(QStringLiteral("systemd-run"),
                 QStringList{QStringLiteral("--user"), QStringLiteral("--quiet"),
                             QStringLiteral("--on-active=%1m").arg(minutes), QStringLiteral("--")} +
                     QStringList{executablePath} + arguments);
}
