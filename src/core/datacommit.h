#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <utility>

class DataFolderLock;

// Several data files of one folder replaced together, so that a kill or a power loss in the middle
// of an import or a restore leaves every file old or every file new, never a new date.dat beside the
// old memos. While a commit is open on this thread, each save of a data file of its folder
// (writeFileAtomically) writes and syncs its temporary file and stops before the rename. apply() then
// writes a small record, ".eveluna-commit" in the data folder, that names every temporary file and
// the file it replaces, syncs it, and renames. A start that finds a whole record (finishInterruptedCommit)
// does the renames left; a record cut off before its last line means nothing was replaced yet, and
// its temporary files go.
class DataFilesCommit final
{
public:
    // Holds the data folder's lock until the commit ends. Throws EFileError when another holder keeps it.
    explicit DataFilesCommit(const QString &dataFolder);
    // Without apply(): removes what was staged and replaces nothing.
    ~DataFilesCommit();
    DataFilesCommit(const DataFilesCommit &) = delete;
    DataFilesCommit &operator=(const DataFilesCommit &) = delete;

    // The data file fileName ("dateTemp.dat") is to be removed by apply() (a restore of a backup
    // without it).
    void removeFile(const QString &fileName);

    // Replaces every staged file and removes those named for removal. Throws EFileError with the
    // system's reason; once the record is on disk a failure leaves the rest to the next start.
    void apply();

    // Called by writeFileAtomically with its synced, closed temporary file: true when a commit of this
    // thread takes it over (path is a data file of its folder), false to rename it at once.
    static bool takeOver(const QString &path, const QByteArray &temporary, const QByteArray &target);

private:
    void discard();

    QString m_folder; // absolute, ending in "/"
    std::unique_ptr<DataFolderLock> m_lock;
    QList<std::pair<QByteArray, QByteArray>> m_renames; // temporary file, file it replaces
    QList<QByteArray> m_removals;
    bool m_applied = false;
};

// Finishes the renames of a commit cut off after its record was written, or removes a record cut off
// before its end with the files it names. Only temporary files of her data files (savetemps.h) beside
// the data files or their links' targets are renamed. The caller holds the data folder's lock (or the
// folder is known to be unused). Returns whether a record was found.
bool finishInterruptedCommit(const QString &dataFolder);

// The name of the record in the data folder.
QString commitRecordName();
