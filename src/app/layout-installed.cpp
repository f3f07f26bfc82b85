// The installed program: the executable lies in a folder only root may write to, so the data files go
// to the user's own data folder, made private to her by the first save.

#include "layout.h"
#include "variable.h"

#include <pwd.h>
#include <unistd.h>

DataLayout programDataLayout()
{
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty()) {
        // Started without a login environment (a service, env -i): the account's own home.
        if (const passwd *account = ::getpwuid(::getuid()); account != nullptr && account->pw_dir != nullptr) {
            home = QString::fromLocal8Bit(account->pw_dir);
        }
    }
    return {Variable::userDataDir(qEnvironmentVariable("XDG_DATA_HOME"), home), true};
}
