#include "archivelibrary.h"

#include "importrecords.h"

#include <QString>

#include <mutex>

#include <dlfcn.h>

const ArchiveLibrary &archiveLibrary()
{
    static ArchiveLibrary library;
    static QString failure;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        void *handle = ::dlopen("libarchive.so.13", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            failure = QString::fromLocal8Bit(::dlerror());
            return;
        }
        const char *missing = nullptr;
#define EVELUNA_ARCHIVE_RESOLVE(name)                                                                                  \
    library.name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name));                                        \
    if (library.name == nullptr && missing == nullptr) {                                                               \
        missing = ::dlerror();                                                                                         \
    }
        EVELUNA_ARCHIVE_FUNCTIONS(EVELUNA_ARCHIVE_RESOLVE)
#undef EVELUNA_ARCHIVE_RESOLVE
        if (missing == nullptr) {
            library.handle = handle;
        } else {
            failure = QString::fromLocal8Bit(missing);
            ::dlclose(handle);
        }
    });
    if (library.handle == nullptr) {
        throw EImportError(
            QStringLiteral("zip を読むためのライブラリ (libarchive.so.13) を読み込めません（%1）").arg(failure));
    }
    return library;
}
