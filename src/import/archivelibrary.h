#pragma once

#include <archive.h>
#include <archive_entry.h>

// libarchive, loaded (QLibrary) at the first zip that is read rather than linked: linked, it and the libraries it
// brings (libxml2, libnettle, libacl, libbz2) would be loaded and relocated at every start of the
// program, for an import that most starts never make.
#define EVELUNA_ARCHIVE_FUNCTIONS(X)                                                                                   \
    X(archive_read_new)                                                                                                \
    X(archive_read_support_format_zip_seekable)                                                                        \
    X(archive_read_open_fd)                                                                                            \
    X(archive_read_open_memory)                                                                                        \
    X(archive_read_next_header)                                                                                        \
    X(archive_read_data)                                                                                               \
    X(archive_read_free)                                                                                               \
    X(archive_error_string)                                                                                            \
    X(archive_entry_pathname_utf8)

struct ArchiveLibrary
{
    const void *handle = nullptr; // the loaded library; null until every function is resolved
#define EVELUNA_ARCHIVE_POINTER(name) decltype(&::name) name = nullptr;
    EVELUNA_ARCHIVE_FUNCTIONS(EVELUNA_ARCHIVE_POINTER)
#undef EVELUNA_ARCHIVE_POINTER
};

// The loaded library, every function resolved. Throws EImportError with the loader's reason when
// libarchive.so.13 cannot be loaded or lacks a function.
const ArchiveLibrary &archiveLibrary();
