#include "help.h"

#include "helpfile.h"
#include "variable.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

void openHelpFile([[maybe_unused]] QWidget *parent)
{
    const QString executable = QCoreApplication::applicationFilePath();
    const QString chm = Variable::helpFilePath(executable);
    const QString html = HelpFile::htmlIndexPath(executable);
    const QString target = HelpFile::chooseHelpTarget(chm, html, HelpFile::desktopHasChmViewer());
    if (target.isEmpty()) {
        return;
    }
    // The desktop's opener is started detached; its result is not shown, as a missing viewer is no error.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(target)) && target == chm && QFileInfo(html).isFile()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(html));
    }
}
