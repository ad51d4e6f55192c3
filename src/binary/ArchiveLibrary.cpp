// SPDX-License-Identifier: MIT
#include "ArchiveLibrary.h"

#include <QLibrary>

const ArchiveLibrary *ArchiveLibrary::instance(QString *error)
{
    static QString loadError;
    static const ArchiveLibrary *const library = []() -> const ArchiveLibrary * {
        QLibrary file(QStringLiteral("archive"), 13); // libarchive.so.13, the ABI of libarchive 3
        if (!file.load()) {
            loadError = file.errorString();
            return nullptr;
        }
        auto *resolved = new ArchiveLibrary;
#define HALVEX_ARCHIVE_RESOLVE(name)                                                                                   \
    resolved->name = reinterpret_cast<decltype(&::name)>(file.resolve(#name));                                         \
    if (!resolved->name) {                                                                                             \
        loadError = file.errorString();                                                                                \
        delete resolved;                                                                                               \
        return nullptr;                                                                                                \
    }
        HALVEX_ARCHIVE_FUNCTIONS(HALVEX_ARCHIVE_RESOLVE)
#undef HALVEX_ARCHIVE_RESOLVE
        return resolved;
    }();
    if (!library && error)
        *error = loadError;
    return library;
}
