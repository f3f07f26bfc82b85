// The program's entry: one running copy per user, then the main window until it closes.

#include "mainwindow.h"
#include "fonts.h"
#include "guard.h"
#include "importcommand.h"
#include "language.h"
#include "layout.h"
#include "reminderrun.h"
#include "singleinstance.h"
#include "variable.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
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
    // The login entry's reminder is no copy of the program: it may run beside one and ends by itself.
    if (isReminderRun(argc, argv)) {
        return runReminder(argc, argv);
    }

    // --import FILE [--dry-run] and --export FILE: no window, no display, no copy of the program.
    if (const ImportExportRequest request = importExportRequest(argc, argv);
        request.kind != ImportExportRequest::Kind::None) {
        if (request.kind == ImportExportRequest::Kind::Usage) {
            std::fputs("usage: eveluna --import FILE [--dry-run] | eveluna --export FILE\n", stderr);
            return 2;
        }
        const QCoreApplication core(argc, argv);
        return request.kind == ImportExportRequest::Kind::Import ? runImportCommand(request.file, request.dryRun)
                                                                 : runExportCommand(request.file);
    }

    // Decided before any window system connection: a second copy shows nothing and touches no data
    // file, it only passes the request on and ends.
    SingleInstance instance;
    const SingleInstance::StartResult start = instance.acquireOrActivate();
    if (start == SingleInstance::StartResult::Activated) {
        return 0;
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
        return 1;
    }
    // Wayland's application id and the desktop portals name the menu entry by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(EVELUNA_APP_ID));
    installFontSubstitutes();
    useJapaneseForQt();

    const DataLayout layout = programDataLayout();
    if (!layout.refusal.isEmpty()) {
        showErrorBox(nullptr, layout.refusal);
        return 1;
    }
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
    instance.listen();
    window->show();
    QApplication::exec();

    // Destroying the window stores the cycle mode; only then may a new copy start and read the file.
    window.reset();
    instance.release();
    return 0;
}
