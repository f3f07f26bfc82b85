#include "reminderrun.h"

#include "datalock.h"
#include "desktopnotification.h"
#include "duenotice.h"
#include "errors.h"
#include "exitstatus.h"
#include "layout.h"
#include "pictures.h"
#include "singleinstance.h"
#include "variable.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

// How long the late reminder's action stays answered.
constexpr int ActionWaitMs = 10 * 60 * 1000;
// A copy started for the registration dialog answers once its window is up.
constexpr int StartedCopyWaitMs = 20000;
const QString EntryAction = QStringLiteral("entry");

void complain(const QString &line)
{
    std::fprintf(stderr, "eveluna --remind: %s\n", line.toLocal8Bit().constData());
}

void openEntryDialog()
{
    const SingleInstance instance;
    if (instance.requestEntry()) {
        return;
    }
    if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), {})) {
        complain(QStringLiteral("cannot start %1").arg(QCoreApplication::applicationFilePath()));
        return;
    }
    const QDeadlineTimer deadline(StartedCopyWaitMs);
    while (!deadline.hasExpired()) {
        QThread::msleep(100);
        if (instance.requestEntry()) {
            return;
        }
    }
    complain(QStringLiteral("the started program does not answer"));
}

DesktopNotification::Content notificationContent(const NoticeText &text)
{
    DesktopNotification::Content content;
    content.appName = QStringLiteral("Easy VELUNA");
    content.appIcon = QStringLiteral(EVELUNA_APP_ID);
    content.desktopEntry = QStringLiteral(EVELUNA_APP_ID);
    content.summary = text.summary;
    content.body = text.body;
    if (text.offersEntry) {
        content.actionKey = EntryAction;
        content.actionLabel = QStringLiteral("生理登録");
    }
    // The installed icon is found by its name; the portable program has none installed, so the picture
    // goes along as well.
    const QImage image = pictureImage(Picture::Calendar, 48).convertToFormat(QImage::Format_RGBA8888);
    content.imageSize = image.size();
    for (int y = 0; y < image.height(); ++y) {
        content.imageRgba.append(reinterpret_cast<const char *>(image.constScanLine(y)), image.width() * 4);
    }
    return content;
}

} // namespace

int runReminder(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const std::optional<DataLayout> layout = commandLineDataLayout("--remind");
    if (!layout) {
        return exitCode(ExitStatus::Failed);
    }
    Variable::initFileLocations(layout->folder);
    Variable::CreateAppDirOnSave = layout->createdOnSave;
    if (!QFileInfo(Variable::AppDir).isDir()) {
        return exitCode(ExitStatus::Done); // nothing registered yet, and the reminder makes no folder
    }
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
        due = noticeDueToday(Variable::DateFilePath, Variable::SettingFilePath, today, Variable::TempFilePath);
    } catch (const AppError &e) {
        complain(e.message());
        return exitCode(ExitStatus::Failed);
    }
    if (!due) {
        return exitCode(ExitStatus::Done);
    }

    const NoticeText text = noticeText(*due);
    DesktopNotification notification;
    QObject::connect(&notification, &DesktopNotification::failed, &app, [&lock](const QString &reason) {
        lock.reset();
        complain(QStringLiteral("no notification shown: ") + reason);
        QCoreApplication::exit(0);
    });
    QObject::connect(&notification, &DesktopNotification::shown, &app, [&] {
        // Only a reminder she was shown counts for the day.
        try {
            writeLastNotice(Variable::SettingFilePath, today);
        } catch (const AppError &e) {
            complain(e.message());
        }
        lock.reset();
        if (text.offersEntry) {
            QTimer::singleShot(ActionWaitMs, &app, &QCoreApplication::quit);
        } else {
            QCoreApplication::exit(0);
        }
    });
    QObject::connect(&notification, &DesktopNotification::actionInvoked, &app, [](const QString &key) {
        if (key == EntryAction) {
            openEntryDialog();
        }
        QCoreApplication::exit(0);
    });
    QObject::connect(&notification, &DesktopNotification::closed, &app, &QCoreApplication::quit);
    notification.show(notificationContent(text));
    return QCoreApplication::exec();
}
