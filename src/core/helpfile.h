#pragma once

#include <QString>
#include <QStringList>

// Where the help lies and which form of it to open. The compiled help is the executable's path with
// ".chm" (Variable::helpFilePath); the same pages as plain HTML lie in the folder "<base name>-help"
// beside it, for desktops that have no viewer for .chm files.
namespace HelpFile {

// "<folder of the executable>/<base name>-help/index.html"; the base name is the file name without
// its last extension, so a renamed executable looks for help of its own new name.
QString htmlIndexPath(const QString &executablePath);

// Whether the desktop names an application for the .chm type, asked through `program` (the desktop's
// MIME database tool, xdg-mime). A missing tool, a failure or no answer within timeoutMs counts as no
// viewer; the tool is killed when it overruns, so opening the help never hangs.
bool desktopHasChmViewer(const QString &program = QStringLiteral("xdg-mime"), int timeoutMs = 1500);

// The file to hand to the desktop, or an empty text when there is no help at all. The compiled help is
// preferred when a viewer for it exists; otherwise the HTML copy; a .chm without a viewer and without
// an HTML copy is still offered, as the desktop may know how to open it anyway.
QString chooseHelpTarget(const QString &chmPath, const QString &htmlPath, bool chmViewerAvailable);

} // namespace HelpFile
