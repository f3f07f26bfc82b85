#include "importrun.h"

#include "applyimport.h"
#include "errors.h"
#include "exportfile.h"
#include "importfile.h"

#include <QDateTime>

namespace ImportCommand {

ExitStatus runImport(const QString &dataFolder, const QString &file, bool dryRun, QTextStream &out, QTextStream &err)
{
    ImportedRecords records;
    try {
        records = readImportFile(file);
    } catch (const EImportError &e) {
        err << escapeControls(QStringLiteral("%1: %2").arg(file, e.reason())) << Qt::endl;
        return ExitStatus::Refused;
    }
    try {
        const MergeCounts preview = mergeImport(dataFolder, records, false);
        const QDateTime now = QDateTime::currentDateTime();
        out << previewText(records, preview, dryRun ? QString() : timedBackupPath(dataFolder, now)) << Qt::endl;
        if (dryRun) {
            out << QStringLiteral("--dry-run: 何も書き込んでいません。") << Qt::endl;
            return ExitStatus::Done;
        }
        if (!preview.changesAnything()) {
            out << QStringLiteral("新しいデーターはありません。何も書き込んでいません。") << Qt::endl;
            return ExitStatus::Done;
        }
        const QString backup = applyImport(dataFolder, records, now);
        out << QStringLiteral("読み込む前のデーターを %1 にバックアップしました。").arg(backup) << Qt::endl;
        out << QStringLiteral("読み込みました。") << Qt::endl;
        return ExitStatus::Done;
    } catch (const AppError &e) {
        err << e.message() << Qt::endl;
        return ExitStatus::Failed;
    }
}

ExitStatus runExport(const QString &dataFolder, const QString &file, QTextStream &out, QTextStream &err)
{
    if (const QString refusal = exportRefusal(dataFolder, file); !refusal.isEmpty()) {
        err << refusal << Qt::endl;
        return ExitStatus::Refused;
    }
    try {
        writeExport(dataFolder, file);
    } catch (const AppError &e) {
        err << e.message() << Qt::endl;
        return ExitStatus::Failed;
    }
    out << QStringLiteral("すべてのデーターを %1 に書き出しました。").arg(file) << Qt::endl;
    return ExitStatus::Done;
}

} // namespace ImportCommand
