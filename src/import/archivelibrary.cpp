#include "archivelibrary.h"

#include "importrecords.h"

#include <QLibrary>
#include <QString>

#include <mutex>

const ArchiveLibrary &archiveLibrary()
{
    static ArchiveLibrary library;
    static QString failure;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        // Never unloaded: the resolved functions are used until the program ends.
        static QLibrary archive(QStringLiteral("archive"), 13);
        archive.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!archive.load()) {
            failure = archive.errorString();
            return;
        }
        QString missing;
#define EVELUNA_ARCHIVE_RESOLVE(name)                                                                                  \
    library.name = reinterpret_cast<decltype(&::name)>(archive.resolve(#name));                                        \
    if (library.name == nullptr && missing.isEmpty()) {                                                                \
        missing = archive.errorString();                                                                               \
    }
        EVELUNA_ARCHIVE_FUNCTIONS(EVELUNA_ARCHIVE_RESOLVE)
#undef EVELUNA_ARCHIVE_RESOLVE
        if (missing.isEmpty()) {
            library.handle = &archive;
        } else {
            failure = missing;
            archive.unload();
        }
    });
    if (library.handle == nullptr) {
        throw EImportError(
            QStringLiteral("zip を読むためのライブラリ (libarchive.so.13) を読み込めません（%1）").arg(failure));
    }
    return library;
}
