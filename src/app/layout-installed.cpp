// The installed program: the executable lies in a folder only root may write to, so the data files go
// to the user's own data folder, made private to her by the first save.

#include "layout.h"
#include "variable.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether a data folder that exists may hold her records: her own (the link too, when it is one) and
// writable by nobody else. Someone who owns or may write the folder could plant a link there that
// turns a save into a write to any file of hers, or read what she saves.
bool isUsersOwnFolder(const QString &folder)
{
    const QByteArray path = QFile::encodeName(QDir::cleanPath(folder));
    struct stat link = {};
    if (::lstat(path.constData(), &link) != 0) {
        return true; // made 0700 by the first save
    }
    struct stat target = {};
    const uid_t user = ::geteuid();
    return link.st_uid == user && ::stat(path.constData(), &target) == 0 && target.st_uid == user &&
           (target.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

DataLayout programDataLayout()
{
    // A relative HOME would put the records under whatever folder the program was started from.
    const QString folder = Variable::userDataDir(qEnvironmentVariable("XDG_DATA_HOME"), Variable::userHome());
    DataLayout layout{folder, true, QString()};
    if (!isUsersOwnFolder(folder)) {
        layout.refusal = QStringLiteral("データフォルダー %1 は使えません。ほかのユーザーのフォルダーか、"
                                        "ほかのユーザーも書き込めるフォルダーです")
                             .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)));
    }
    return layout;
}
