#pragma once

#include <QString>

// Where the help lies. The compiled help is the executable's path with ".chm" (Variable::helpFilePath);
// the same pages as plain HTML lie in the folder "<base name>-help" beside it, which the program's own
// help window shows.
namespace HelpFile {

// "<folder of the executable>/<base name>-help/index.html"; the base name is the file name without
// its last extension, so a renamed executable looks for help of its own new name.
QString htmlIndexPath(const QString &executablePath);

} // namespace HelpFile
