// SPDX-License-Identifier: MIT
#include "Network.h"

#include "InstalledProgram.h"
#include "OnDemandLibrary.h"

#include <QCoreApplication>

namespace Network {
namespace {

// The module as a library loaded when first needed: its file, and the module its entry makes.
struct ModuleLibrary
{
    // The installed program loads the installed module and nothing else; a program of the build
    // tree (the application, the tests) loads the module built beside it.
    static QString path()
    {
        if (isInstalledProgram(QStringLiteral(HALVEX_INSTALLED_BINDIR), QCoreApplication::applicationDirPath()))
            return QStringLiteral(HALVEX_INSTALLED_NETWORK_MODULE);
        return QStringLiteral(HALVEX_BUILT_NETWORK_MODULE);
    }

    // Made once and kept: its objects live until the application ends.
    Module *module = nullptr;
    bool resolve(QLibrary &library)
    {
        using Entry = Module *(*)();
        const auto entry = reinterpret_cast<Entry>(library.resolve(HALVEX_NETWORK_MODULE_ENTRY));
        module = entry ? entry() : nullptr;
        return module;
    }
};

} // namespace

Module *module(QString *error)
{
    QString reason;
    const ModuleLibrary *library = OnDemandLibrary::load<ModuleLibrary>(&reason);
    if (!library && error)
        *error = QStringLiteral("the network module cannot be loaded: ") + reason;
    return library ? library->module : nullptr;
}

} // namespace Network
