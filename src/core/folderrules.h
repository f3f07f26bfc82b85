#pragma once

#include <QString>

// Whether a data folder may hold her records. Someone else who owns or may write the folder could plant
// a link there that turns a save into a write to any file of hers, read what she saves, or hand her
// someone else's dates; a data file that leads to another user's file does the same from inside a
// folder of her own.

// Empty when the records in folder may be read and written by this user; otherwise the one line that
// tells her why not, naming the folder or the file. The folder (and the link, when it is one) must be
// hers and writable by nobody else; each data file of datafiles.h that is there must
// be hers, and one that is a symbolic link must lead to a file of hers (or, not there yet, into a
// folder of hers that nobody else may write). A folder that does not exist yet passes: the first save
// makes it, private to her.
QString dataFolderRefusal(const QString &folder);
