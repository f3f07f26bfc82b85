// The program's entry: one running copy per user, then the main window until it closes.

#include "commandline.h"
#include "fonts.h"
#include "guard.h"
#include "language.h"
#include "layout.h"
#include "mainwindow.h"
#include "recordstartcommand.h"
#include "reminderrun.h"
#include "savetemps.h"
#include "singleinstance.h"
#include "variable.h"

#include <QApplication>

#include <memory>
#include <vector>

namespace {

// A later start asks the running copy to come forward: restored if minimised, raised and activated.
// While a modal dialog is open that dialog is what the user must see, so it is raised too.
void bringForward(QWidget *window)
{
    if (window->isMinimized()) {
        window->showNormal();
    }
    window->show();
    window->raise();
    window->activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget(); modal != nullptr && modal != window) {
        modal->raise();
        modal->activateWindow();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line's options (the login entry's reminder among them) are no copy of the program:
    // they may run beside one, without a display, and end by themselves.
    switch (const CommandLineResult command = runCommandLine(argc, argv); command.action) {
    case CommandLineAction::Remind:
        return runReminder(argc, argv);
    case CommandLineAction::RemindAt:
        return runDailyReminder(argc, argv, command.reminder, command.again);
    case CommandLineAction::Done:
        return exitCode(command.status);
    case CommandLineAction::StartWindow:
        break;
    }

    // Decided before any window system connection: a second copy shows nothing and touches no data
    // file, it only passes the request on and ends.
    SingleInstance instance;
    const SingleInstance::StartResult start = instance.acquireOrActivate();
    if (start == SingleInstance::StartResult::Activated) {
        return exitCode(ExitStatus::Done);
    }

    // Docks on X11 match a window to its menu entry by the entry's StartupWMClass and the instance name
    // of the window's WM_CLASS, which Qt takes from "-name" (else from the executable's file name). It
    // goes first, so a "-name" given on the command line still wins.
    static char programName[] = "eveluna";
    static char nameOption[] = "-name";
    static char applicationId[] = EVELUNA_APP_ID;
    std::vector<char *> arguments(argv, argv + argc);
    if (arguments.empty()) {
        arguments.push_back(programName); // started with an empty argument list
    }
    arguments.insert(arguments.begin() + 1, {nameOption, applicationId});
    int argumentCount = int(arguments.size());
    arguments.push_back(nullptr);

    QApplication app(argumentCount, arguments.data());
    QApplication::setApplicationName(QStringLiteral("Easy VELUNA"));
    if (start == SingleInstance::StartResult::Unreachable) {
        // Ending without a word would leave the user wondering why nothing opens.
        showErrorBox(nullptr, QStringLiteral("起動中の Easy VELUNA に接続できません。ロックファイル %1 を使えず、"
                                             "起動中のプログラムからの応答もありません")
                                  .arg(instance.lockFilePath()));
        return exitCode(ExitStatus::Failed);
    }
    // Wayland's application id and the desktop portals name the menu entry by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(EVELUNA_APP_ID));
    installFontSubstitutes();
    useJapaneseForQt();

    const DataLayout layout = checkedDataLayout();
    if (!layout.refusal.isEmpty()) {
        showErrorBox(nullptr, layout.refusal);
        return exitCode(ExitStatus::Failed);
    }
    // An import cut off by a kill is finished, and the temporary files of cut-off saves go. Under the
    // data lock, which every save holds, so that the save of a reminder or a script now under way keeps
    // its own.
    removeStaleTemporaryFiles(layout.folder);
    Variable::CreateAppDirOnSave = layout.createdOnSave;
    auto window = std::make_unique<TfrmMain>(layout.folder, Calendar::TodayFunction{});
    QObject::connect(&instance, &SingleInstance::activationRequested, window.get(),
                     [w = window.get()] { bringForward(w); });
    // Queued: the dialog's own event loop must not run inside the socket's notification.
    QObject::connect(
        &instance, &SingleInstance::entryRequested, window.get(),
        [w = window.get()] {
            bringForward(w);
            if (QApplication::activeModalWidget() == nullptr) {
                w->btnEntryClick();
            }
        },
        Qt::QueuedConnection);
    QObject::connect(
        &instance, &SingleInstance::dayRequested, window.get(),
        [w = window.get()] {
            bringForward(w);
            if (QApplication::activeModalWidget() == nullptr) {
                w->openDayDialog(QDate::currentDate());
            }
        },
        Qt::QueuedConnection);
    // Registered while the socket waits for the answer; the window shows the new first day at once.
    instance.setRecordStartHandler([w = window.get()](const QDate &day) {
        const QString answer = recordStartAnswer(day);
        w->cmbSyukiChange();
        return answer;
    });
    instance.listen();
    window->show();
    QApplication::exec();

    // Destroying the window stores the cycle mode; only then may a new copy start and read the file.
    window.reset();
    instance.release();
    return exitCode(ExitStatus::Done);
}
