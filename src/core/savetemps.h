#pragma once

#include <QByteArray>
#include <QString>

// The temporary file a save writes before it renames it over the file: ".<file name>.tmp-XXXXXX" in the
// file's folder, mkstemp's six letters and digits at the end. Hidden and of a form no file of hers takes
// ("date.dat.backup", "date.dat.old" and the like are never one), so that the leftovers of a save cut
// off by a kill or a power loss can be found and removed.

// The mkstemp template for a save of targetPath (a path as bytes).
QByteArray temporaryFileTemplate(const QByteArray &targetPath);

// Whether fileName (no folder) has the form of such a temporary file of one of her data files
// (datafiles.h): ".date.dat.tmp-Ab12Cd" is one, ".notes.tmp-backup" and ".thesis.tex.tmp-draft1" are not.
bool isTemporaryFileName(const QString &fileName);

// Finishes an import or a restore cut off after its commit record (datacommit.h), then removes the
// temporary files left in folder by saves that never reached their rename, holding the data-folder lock
// so that no save of another copy is under way. Every entry point calls it before it reads the records.
// Only regular files of this user with the form above go; a folder that is missing or locked by another
// holder is left as it is. Returns how many files were removed.
int removeStaleTemporaryFiles(const QString &folder);
