#include "datacommit.h"

#include "datafiles.h"
#include "datalock.h"
#include "errors.h"
#include "savetemps.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local DataFilesCommit *t_open = nullptr;

const QByteArray RecordHeader = "Easy VELUNA commit 1";
const QByteArray RecordEnd = "end";
constexpr qint64 MaxRecordBytes = 64 * 1024; // a few lines of paths

QString folderWithSlash(const QString &folder)
{
    QString path = QDir(folder).absolutePath();
    return path.endsWith(u'/') ? path : path + u'/';
}

QString recordPath(const QString &folder)
{
    return folderWithSlash(folder) + commitRecordName();
}

[[noreturn]] void fail(const QString &folder, const QString &reason)
{
    throw EFileError(QStringLiteral("データフォルダー \"%1\" のファイルを置き換えられません。%2").arg(folder, reason));
}

bool isOwnRegularFile(const QByteArray &path)
{
    struct stat info = {};
    return ::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

// A file name a save of target makes for its temporary file (savetemps.h), beside target.
bool isTemporaryOf(const QByteArray &temporary, const QByteArray &target)
{
    const QByteArray form = temporaryFileTemplate(target);
    const qsizetype fixed = form.size() - 6;
    if (temporary.size() != form.size() || !temporary.startsWith(form.left(fixed))) {
        return false;
    }
    for (const char c : temporary.mid(fixed)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

bool removePath(const QByteArray &path)
{
    return ::unlink(path.constData()) == 0 || errno == ENOENT;
}

} // namespace

QString commitRecordName()
{
    return QStringLiteral(".eveluna-commit");
}

DataFilesCommit::DataFilesCommit(const QString &dataFolder)
    : m_folder(folderWithSlash(dataFolder))
    , m_lock(std::make_unique<DataFolderLock>(m_folder + QStringLiteral("date.dat")))
{
    if (m_lock->busy()) {
        fail(m_folder, DataFolderLock::busyText());
    }
    // What an earlier run left half done comes first, so that this one starts from whole files.
    finishInterruptedCommit(m_folder);
    t_open = this;
}

DataFilesCommit::~DataFilesCommit()
{
    if (t_open == this) {
        t_open = nullptr;
    }
    if (!m_applied) {
        discard();
    }
}

void DataFilesCommit::discard()
{
    for (const auto &[temporary, target] : std::as_const(m_renames)) {
        ::unlink(temporary.constData());
    }
    m_renames.clear();
    m_removals.clear();
}

void DataFilesCommit::removeFile(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(m_folder + fileName);
    if (!m_removals.contains(path)) {
        m_removals.append(path);
    }
}

bool DataFilesCommit::takeOver(const QString &path, const QByteArray &temporary, const QByteArray &target)
{
    DataFilesCommit *commit = t_open;
    const QFileInfo info(path);
    if (commit == nullptr || folderWithSlash(info.absolutePath()) != commit->m_folder ||
        findDataFile(info.fileName()) == nullptr) {
        return false;
    }
    // A file saved twice within one commit: its latest content counts.
    for (auto &[staged, replaced] : commit->m_renames) {
        if (replaced == target) {
            ::unlink(staged.constData());
            staged = temporary;
            return true;
        }
    }
    commit->m_renames.append({temporary, target});
    return true;
}

void DataFilesCommit::apply()
{
    t_open = nullptr;
    m_applied = true;
    if (m_renames.isEmpty() && m_removals.isEmpty()) {
        return;
    }
    QByteArray record = RecordHeader + '\n';
    for (const auto &[temporary, target] : std::as_const(m_renames)) {
        record += "R " + temporary.toHex() + ' ' + target.toHex() + '\n';
    }
    for (const QByteArray &path : std::as_const(m_removals)) {
        record += "D " + path.toHex() + '\n';
    }
    record += RecordEnd + '\n';
    const QByteArray recordName = QFile::encodeName(recordPath(m_folder));
    const int fd = ::open(recordName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        discard();
        fail(m_folder, systemErrorText(error));
    }
    const ssize_t written = ::write(fd, record.constData(), size_t(record.size()));
    const int writeError = errno;
    const bool synced = written == record.size() && (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS);
    const int syncError = errno;
    ::close(fd);
    if (!synced) {
        ::unlink(recordName.constData());
        discard();
        fail(m_folder, systemErrorText(written != record.size() ? (written < 0 ? writeError : ENOSPC) : syncError));
    }
    syncFolderOf(recordName);
    // From here on the record stands for the new files: whatever stops the renames, the next start
    // finishes them.
    for (const auto &[temporary, target] : std::as_const(m_renames)) {
        if (::rename(temporary.constData(), target.constData()) != 0) {
            fail(m_folder, systemErrorText(errno));
        }
        syncFolderOf(target);
    }
    for (const QByteArray &path : std::as_const(m_removals)) {
        if (!removePath(path)) {
            fail(m_folder, systemErrorText(errno));
        }
    }
    m_renames.clear();
    m_removals.clear();
    ::unlink(recordName.constData());
    syncFolderOf(recordName);
}

bool finishInterruptedCommit(const QString &dataFolder)
{
    const QString folder = folderWithSlash(dataFolder);
    const QByteArray recordName = QFile::encodeName(recordPath(folder));
    const int fd = ::open(recordName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info = {};
    QByteArray record;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        info.st_size <= MaxRecordBytes) {
        record.resize(qsizetype(info.st_size));
        const ssize_t got = ::read(fd, record.data(), size_t(record.size()));
        record.resize(got < 0 ? 0 : qsizetype(got));
    }
    ::close(fd);
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        return false; // not a record this program wrote: left as it is
    }

    // Only her data files, or the files their links lead to, are ever replaced or removed.
    QSet<QByteArray> replaceable;
    QSet<QByteArray> removable;
    for (const DataFile &file : DataFiles) {
        const QString path = folder + dataFileName(file);
        replaceable.insert(QFile::encodeName(finalTarget(path)));
        removable.insert(QFile::encodeName(path));
    }
    QList<std::pair<QByteArray, QByteArray>> renames;
    QList<QByteArray> removals;
    QList<QByteArray> lines = record.split('\n');
    const bool whole = lines.size() >= 3 && lines.first() == RecordHeader && lines.last().isEmpty() &&
                       lines[lines.size() - 2] == RecordEnd;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3 && fields[0] == "R") {
            const QByteArray temporary = QByteArray::fromHex(fields[1]);
            const QByteArray target = QByteArray::fromHex(fields[2]);
            if (replaceable.contains(target) && isTemporaryOf(temporary, target)) {
                renames.append({temporary, target});
            }
        } else if (fields.size() == 2 && fields[0] == "D") {
            const QByteArray path = QByteArray::fromHex(fields[1]);
            if (removable.contains(path)) {
                removals.append(path);
            }
        }
    }
    for (const auto &[temporary, target] : std::as_const(renames)) {
        if (!isOwnRegularFile(temporary)) {
            continue; // renamed before the stop
        }
        if (whole) {
            if (::rename(temporary.constData(), target.constData()) == 0) {
                syncFolderOf(target);
            }
        } else {
            ::unlink(temporary.constData());
        }
    }
    if (whole) {
        for (const QByteArray &path : std::as_const(removals)) {
            removePath(path);
        }
    }
    ::unlink(recordName.constData());
    syncFolderOf(recordName);
    return true;
}
