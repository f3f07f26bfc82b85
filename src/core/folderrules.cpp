#include "folderrules.h"

#include "datafiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statOf(const QString &path, struct stat &info, bool followLink)
{
    const QByteArray name = QFile::encodeName(path);
    info = {};
    return (followLink ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) == 0;
}

bool writableByOthers(const struct stat &info)
{
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool isOwnPrivateFolder(const QString &path)
{
    struct stat link = {};
    struct stat target = {};
    return statOf(path, link, false) && link.st_uid == ::geteuid() && statOf(path, target, true) &&
           S_ISDIR(target.st_mode) && target.st_uid == ::geteuid() && !writableByOthers(target);
}

// The file a save of path writes: the end of its chain of links, as the save follows it.
QString finalTarget(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth) {
        info.setFile(info.symLinkTarget());
    }
    return info.filePath();
}

bool isOwnDataFile(const QString &path)
{
    struct stat link = {};
    if (!statOf(path, link, false)) {
        return true; // made by the first save, inside her folder
    }
    if (link.st_uid != ::geteuid()) {
        return false;
    }
    if (!S_ISLNK(link.st_mode)) {
        return true;
    }
    const QString target = finalTarget(path);
    struct stat file = {};
    if (statOf(target, file, true)) {
        return file.st_uid == ::geteuid();
    }
    // A link to nothing yet: the first save creates the file where it points.
    return isOwnPrivateFolder(QFileInfo(target).absolutePath());
}

} // namespace

QString dataFolderRefusal(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    struct stat info = {};
    if (!statOf(clean, info, false)) {
        return QString();
    }
    if (!isOwnPrivateFolder(clean)) {
        return QStringLiteral("データフォルダー %1 は使えません。ほかのユーザーのフォルダーか、"
                              "ほかのユーザーも書き込めるフォルダーです")
            .arg(QDir::toNativeSeparators(clean));
    }
    for (const DataFile &file : DataFiles) {
        const QString path = QDir(clean).filePath(dataFileName(file));
        if (!isOwnDataFile(path)) {
            return QStringLiteral("データファイル %1 は使えません。ほかのユーザーのファイルか、"
                                  "ほかのユーザーのファイルを指すリンクです")
                .arg(QDir::toNativeSeparators(path));
        }
    }
    return QString();
}
