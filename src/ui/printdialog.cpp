#include "printdialog.h"

#include "errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

bool showPrintDialog(QWidget *parent, const PrintJob &job)
{
    // Beside the real executable, where the help is too (lib/eveluna/ when installed).
    static QLibrary module(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("eveluna-modules/eveluna-print.so")));
    const auto show = reinterpret_cast<ShowPrintDialogFunction>(module.resolve(ShowPrintDialogSymbol));
    if (show == nullptr) {
        throw AppError(QStringLiteral("印刷機能を読み込めません (%1)").arg(module.errorString()));
    }
    return show(parent, job);
}
