// SPDX-License-Identifier: MIT
#include "Network.h"

#include "InstalledProgram.h"

#include <QCoreApplication>
#include <QLibrary>

namespace Network {
namespace {

// The installed program loads the installed module and nothing else; a program of the build
// tree (the application, the tests) loads the module built beside it.
QString modulePath()
{
    if (isInstalledProgram(QStringLiteral(HALVEX_INSTALLED_BINDIR), QCoreApplication::applicationDirPath()))
        return QStringLiteral(HALVEX_INSTALLED_NETWORK_MODULE);
    return QStringLiteral(HALVEX_BUILT_NETWORK_MODULE);
}

} // namespace

Module *module(QString *error)
{
    static QString loadError;
    static Module *const loaded = []() -> Module * {
        QLibrary library(modulePath());
        using Entry = Module *(*)();
        const auto entry = reinterpret_cast<Entry>(library.resolve(HALVEX_NETWORK_MODULE_ENTRY));
        if (!entry) {
            loadError = QStringLiteral("the network module cannot be loaded: ") + library.errorString();
            return nullptr;
        }
        // Kept loaded: its objects live until the application ends.
        return entry();
    }();
    if (!loaded && error)
        *error = loadError;
    return loaded;
}

} // namespace Network
