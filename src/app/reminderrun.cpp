#include "reminderrun.h"

#include "calendarsync.h"
#include "dailynotice.h"
#include "datalock.h"
#include "desktopnotification.h"
#include "duenotice.h"
#include "errors.h"
#include "exitstatus.h"
#include "layout.h"
#include "noticesettings.h"
#include "pictures.h"
#include "recordstartcommand.h"
#include "singleinstance.h"
#include "variable.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace {

// How long the late reminder's action stays answered.
constexpr int ActionWaitMs = 10 * 60 * 1000;
// A copy started for the registration dialog answers once its window is up.
constexpr int StartedCopyWaitMs = 20000;
// The same pill reminder again after "あとで".
constexpr int LaterMinutes = 30;
const QString EntryAction = QStringLiteral("entry");
const QString StartedAction = QStringLiteral("started");
const QString RecordAction = QStringLiteral("record");
const QString TakenAction = QStringLiteral("taken");
const QString LaterAction = QStringLiteral("later");

const char *g_option = "--remind";

void complain(const QString &line)
{
    std::fprintf(stderr, "eveluna %s: %s\n", g_option, line.toLocal8Bit().constData());
}

// Asks the running copy for a dialog over its window; without one, starts the program and asks it once
// its window is up.
void openDialog(bool (SingleInstance::*request)(int) const)
{
    const SingleInstance instance;
    if ((instance.*request)(2000)) {
        return;
    }
    if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), {})) {
        complain(QStringLiteral("cannot start %1").arg(QCoreApplication::applicationFilePath()));
        return;
    }
    const QDeadlineTimer deadline(StartedCopyWaitMs);
    while (!deadline.hasExpired()) {
        QThread::msleep(100);
        if ((instance.*request)(2000)) {
            return;
        }
    }
    complain(QStringLiteral("the started program does not answer"));
}

DesktopNotification::Content notificationContent(const NoticeText &text, const QStringList &actions)
{
    DesktopNotification::Content content;
    content.appName = QStringLiteral("Easy VELUNA");
    content.appIcon = QStringLiteral(EVELUNA_APP_ID);
    content.desktopEntry = QStringLiteral(EVELUNA_APP_ID);
    content.summary = text.summary;
    content.body = text.body;
    content.actions = actions;
    // The installed icon is found by its name; the portable program has none installed, so the picture
    // goes along as well.
    const QImage image = pictureImage(Picture::Calendar, 48).convertToFormat(QImage::Format_RGBA8888);
    content.imageSize = image.size();
    for (int y = 0; y < image.height(); ++y) {
        content.imageRgba.append(reinterpret_cast<const char *>(image.constScanLine(y)), image.width() * 4);
    }
    return content;
}

// The sync with her calendar at login, beside the reminder: first days she marked on her phone are
// said in a notification of their own.
class LoginSync final
{
public:
    LoginSync()
    {
        startCalendarSync(Variable::AppDir, &m_context, [this](const SyncResult &result) {
            if (result.outcome != SyncOutcome::Done && result.outcome != SyncOutcome::NotSetUp) {
                complain(result.line);
            }
            if (result.comeHomeMessage.isEmpty()) {
                done();
                return;
            }
            // A notification may be read on a locked screen: in the discreet wording, no word of periods.
            bool discreet = true;
            try {
                discreet = readNoticeSettings(Variable::SettingFilePath).discreet;
            } catch (const AppError &) {
            }
            const QString summary =
                discreet ? QStringLiteral("Easy VELUNA: カレンダーから記録を取り込みました") : result.comeHomeMessage;
            DesktopNotification::Content content = notificationContent({summary, QString(), false}, {});
            QObject::connect(&m_notification, &DesktopNotification::shown, &m_context, [this] { done(); });
            QObject::connect(&m_notification, &DesktopNotification::failed, &m_context, [this](const QString &reason) {
                complain(QStringLiteral("no notification shown: ") + reason);
                done();
            });
            m_notification.show(content);
        });
    }

    // Returns once the sync has ended (each request has its own time-out) and its notification is out.
    void wait()
    {
        if (!m_done) {
            m_loop.exec();
        }
        // The finished sync and Qt's network thread are taken down by deferred deletions.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private:
    void done()
    {
        m_done = true;
        m_loop.quit();
    }

    QObject m_context;
    DesktopNotification m_notification;
    QEventLoop m_loop;
    bool m_done = false;
};

int remindToday(QCoreApplication &app);
// Shows the notification and runs its actions; ends when it is closed, an action is taken, or after
// ActionWaitMs. onShown runs once the notification is up (with the data lock still held, then released).
int showAndAnswer(QCoreApplication &app, std::unique_ptr<DataFolderLock> &lock, const NoticeText &text,
                  const QStringList &actions, const std::function<void()> &onShown,
                  const std::function<void(const QString &key)> &onAction)
{
    DesktopNotification notification;
    QObject::connect(&notification, &DesktopNotification::failed, &app, [&lock](const QString &reason) {
        lock.reset();
        complain(QStringLiteral("no notification shown: ") + reason);
        QCoreApplication::exit(0);
    });
    QObject::connect(&notification, &DesktopNotification::shown, &app, [&] {
        onShown();
        lock.reset();
        if (actions.isEmpty()) {
            QCoreApplication::exit(0);
        } else {
            QTimer::singleShot(ActionWaitMs, &app, &QCoreApplication::quit);
        }
    });
    QObject::connect(&notification, &DesktopNotification::actionInvoked, &app, [&onAction](const QString &key) {
        onAction(key);
        QCoreApplication::exit(0);
    });
    QObject::connect(&notification, &DesktopNotification::closed, &app, &QCoreApplication::quit);
    notification.show(notificationContent(text, actions));
    return QCoreApplication::exec();
}

} // namespace

int runReminder(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!useCommandLineDataFolder("--remind")) {
        return exitCode(ExitStatus::Failed);
    }
    if (!QFileInfo(Variable::AppDir).isDir()) {
        return exitCode(ExitStatus::Done); // nothing registered yet, and the reminder makes no folder
    }
    LoginSync sync;
    const int status = remindToday(app);
    sync.wait();
    return status;
}

namespace {

int remindToday(QCoreApplication &app)
{
    // Held from reading LastNotice to writing it, so that two runs at once (two sessions, a double
    // start) show one reminder between them: the second reads the day the first wrote.
    auto lock = std::make_unique<DataFolderLock>(Variable::SettingFilePath);
    if (lock->busy()) {
        complain(DataFolderLock::busyText());
        return exitCode(ExitStatus::Failed);
    }
    const QDate today = QDate::currentDate();
    std::optional<DueNotice> due;
    try {
        due = noticeDueToday(Variable::DateFilePath, Variable::SettingFilePath, today, Variable::TempFilePath,
                             Variable::DayFilePath);
    } catch (const AppError &e) {
        complain(e.message());
        return exitCode(ExitStatus::Failed);
    }
    if (!due) {
        return exitCode(ExitStatus::Done);
    }

    const NoticeText text = noticeText(*due);
    QStringList actions;
    if (text.offersEntry) {
        actions << EntryAction << QStringLiteral("生理登録");
    }
    // Only where the period is close, and never in the discreet wording, which names no period.
    if (!due->discreet && (due->kind == NoticeKind::Before || due->kind == NoticeKind::Late)) {
        actions << StartedAction << QStringLiteral("今日始まった");
    }
    return showAndAnswer(
        app, lock, text, actions,
        [&] {
            // Only a reminder she was shown counts for the day.
            try {
                writeLastNotice(Variable::SettingFilePath, today);
                if (due->kind == NoticeKind::BodyFertile) {
                    writeDailyLast(Variable::SettingFilePath, QStringLiteral("BodyFertileLast"), today);
                }
            } catch (const AppError &e) {
                complain(e.message());
            }
        },
        [](const QString &key) {
            if (key == EntryAction) {
                openDialog(&SingleInstance::requestEntry);
            } else if (key == StartedAction) {
                runRecordStartCommand(QString());
            }
        });
}

} // namespace

int runDailyReminder(int argc, char *argv[], DailyReminder reminder, bool again)
{
    g_option = "--remind-at";
    QCoreApplication app(argc, argv);
    if (!useCommandLineDataFolder("--remind-at")) {
        return exitCode(ExitStatus::Failed);
    }
    // Held from reading the day it was last shown to writing it, as the login reminder does.
    auto lock = std::make_unique<DataFolderLock>(Variable::SettingFilePath);
    if (lock->busy()) {
        complain(DataFolderLock::busyText());
        return exitCode(ExitStatus::Failed);
    }
    const QDate today = QDate::currentDate();
    const QString lastKey =
        reminder == DailyReminder::Temperature ? QStringLiteral("TempLast") : QStringLiteral("PillLast");
    NoticeSettings settings;
    try {
        settings = readNoticeSettings(Variable::SettingFilePath);
        const QDate last = reminder == DailyReminder::Temperature ? settings.tempLast : settings.pillLast;
        if ((!again && last == today) ||
            dailyReminderAnswered(reminder, Variable::TempFilePath, Variable::DayFilePath, today)) {
            return exitCode(ExitStatus::Done);
        }
    } catch (const AppError &e) {
        complain(e.message());
        return exitCode(ExitStatus::Failed);
    }
    QStringList actions;
    if (reminder == DailyReminder::Temperature) {
        actions << RecordAction << QStringLiteral("記録する");
    } else {
        actions << TakenAction << QStringLiteral("飲んだ") << LaterAction << QStringLiteral("あとで");
    }
    return showAndAnswer(
        app, lock, dailyNoticeText(reminder, settings.discreet), actions,
        [&] {
            try {
                writeDailyLast(Variable::SettingFilePath, lastKey, today);
            } catch (const AppError &e) {
                complain(e.message());
            }
        },
        [&](const QString &key) {
            try {
                if (key == RecordAction) {
                    openDialog(&SingleInstance::requestDay);
                } else if (key == TakenAction) {
                    recordPillTaken(Variable::DayFilePath, today);
                } else if (key == LaterAction) {
                    remindAgainLater(
                        QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--remind-at"), dailyReminderWord(reminder), QStringLiteral("--again")},
                        LaterMinutes);
                }
            } catch (const AppError &e) {
                complain(e.message());
            }
        });
}
