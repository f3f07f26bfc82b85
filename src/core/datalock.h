#pragma once

#include <QString>

#include <sys/types.h>

// The advisory lock that every read-modify-write of a data file holds, so that two copies of the
// program (or another program taking the same lock) never lose each other's save. It is an flock(2) on
// the data file's folder, not on the file: a save replaces the file by a rename, and a lock held on the
// old file would not stop a writer that opens the new one. The folder stays the same inode and no lock
// file is left beside the records. A program that changes the files while Easy VELUNA may run takes
// `flock --exclusive <data folder>` for the whole of its read and write.
//
// A thread that holds the lock may take it again (a reminder holds it from reading LastNotice to writing
// it, and the write takes it once more): the inner lock waits for nothing and the folder stays locked
// until the outer one ends. Another thread of the same process waits like any other holder.
class DataFolderLock final
{
public:
    // How long a save waits for another holder before it gives up with an error, in milliseconds.
    static constexpr int DefaultWaitMs = 5000;

    // Locks the folder of filePath, waiting at most waitMs. A folder that cannot be opened or locked
    // (missing, unreadable, a file system without locks) is not locked: the save goes on and reports
    // its own error if it fails.
    explicit DataFolderLock(const QString &filePath, int waitMs = DefaultWaitMs);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock &) = delete;
    DataFolderLock &operator=(const DataFolderLock &) = delete;

    // True when another holder kept the lock for the whole wait: the caller must not write.
    bool busy() const { return m_busy; }

    // The reason shown when busy.
    static QString busyText();

private:
    int m_fd = -1;
    bool m_busy = false;
    bool m_nested = false; // this thread held the lock already
    dev_t m_device = 0;    // the locked folder, to find it among the folders this thread holds
    ino_t m_inode = 0;
};
