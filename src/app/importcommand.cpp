#include "importcommand.h"

#include "importrun.h"
#include "layout.h"
#include "singleinstance.h"
#include "variable.h"

#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <cstring>

namespace {

// The data folder of this build, or nothing (with the reason on err) when it must not be used.
bool useDataFolder(QTextStream &err)
{
    const DataLayout layout = programDataLayout();
    if (!layout.refusal.isEmpty()) {
        err << layout.refusal << Qt::endl;
        return false;
    }
    Variable::initFileLocations(layout.folder);
    Variable::CreateAppDirOnSave = layout.createdOnSave;
    return true;
}

} // namespace

int runImportCommand(const QString &file, bool dryRun)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!useDataFolder(err)) {
        return ImportCommand::WriteFailed;
    }
    // Held to the end, so that no window opens on the files halfway through the import.
    SingleInstance instance;
    if (!dryRun && !instance.tryAcquire()) {
        err << QStringLiteral(
                   "Easy VELUNA "
                   "が起動しています。読み込みは登録データの「ほかのアプリから読み込む」から行ってください。")
            << Qt::endl;
        return 3;
    }
    const int status = ImportCommand::runImport(Variable::AppDir, file, dryRun, out, err);
    instance.release();
    return status;
}

int runExportCommand(const QString &file)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!useDataFolder(err)) {
        return ImportCommand::WriteFailed;
    }
    return ImportCommand::runExport(Variable::AppDir, file, out, err);
}

ImportExportRequest importExportRequest(int argc, char *argv[])
{
    ImportExportRequest request;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--dry-run") == 0) {
            request.dryRun = true;
        } else if (std::strcmp(argument, "--import") == 0 || std::strcmp(argument, "--export") == 0) {
            const bool import = argument[2] == 'i';
            if (request.kind != ImportExportRequest::Kind::None || i + 1 >= argc) {
                request.kind = ImportExportRequest::Kind::Usage;
                return request;
            }
            request.kind = import ? ImportExportRequest::Kind::Import : ImportExportRequest::Kind::Export;
            request.file = QFile::decodeName(argv[++i]);
        }
    }
    if (request.dryRun && request.kind != ImportExportRequest::Kind::Import) {
        request.kind =
            request.kind == ImportExportRequest::Kind::None ? request.kind : ImportExportRequest::Kind::Usage;
    }
    return request;
}
