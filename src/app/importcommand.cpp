#include "importcommand.h"

#include "importrun.h"
#include "layout.h"
#include "singleinstance.h"
#include "variable.h"

#include <QTextStream>

ExitStatus runImportCommand(const QString &file, bool dryRun)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!useCommandLineDataFolder("--import")) {
        return ExitStatus::Failed;
    }
    // Held to the end, so that no window opens on the files halfway through the import.
    SingleInstance instance;
    if (!dryRun && !instance.tryAcquire()) {
        if (instance.runningCopyAnswers()) {
            err << QStringLiteral(
                       "Easy VELUNA "
                       "が起動しています。読み込みは登録データの「ほかのアプリから読み込む」から行ってください。")
                << Qt::endl;
        } else {
            err << QStringLiteral("ほかの読み込みが実行中です。終わってから、もう一度読み込んでください。") << Qt::endl;
        }
        return ExitStatus::CopyRunning;
    }
    const ExitStatus status = ImportCommand::runImport(Variable::AppDir, file, dryRun, out, err);
    instance.release();
    return status;
}

ExitStatus runExportCommand(const QString &file)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!useCommandLineDataFolder("--export")) {
        return ExitStatus::Failed;
    }
    return ImportCommand::runExport(Variable::AppDir, file, out, err);
}
