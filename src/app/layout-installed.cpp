// The installed program: the executable lies in a folder only root may write to, so the data files go
// to the user's own data folder, made private to her by the first save.

#include "layout.h"
#include "variable.h"

DataLayout programDataLayout()
{
    // A relative HOME would put the records under whatever folder the program was started from.
    return {Variable::userDataDir(qEnvironmentVariable("XDG_DATA_HOME"), Variable::userHome()), true, QString()};
}
