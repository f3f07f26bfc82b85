#include "helpfile.h"

#include "variable.h"

namespace HelpFile {

QString htmlIndexPath(const QString &executablePath)
{
    return Variable::besideExecutable(executablePath, QStringLiteral("-help/index.html"));
}

} // namespace HelpFile
