// SPDX-License-Identifier: MIT
#pragma once

#include <QLibrary>
#include <QString>

#include <memory>

// A C library loaded when it is first needed instead of at every start, with the functions its
// user calls. Functions is a struct of function pointers that names the library's file (fileName,
// and version, the ABI's number in its name; or a path() of its own) and fills every pointer in
// resolve(QLibrary &), false when one is missing. The two macros below write both from one list.
namespace OnDemandLibrary {

// The library's functions, loaded once and safe to ask for from any thread; nothing, with the
// reason in error, when the library or one of its functions is not there.
template<typename Functions>
const Functions *load(QString *error)
{
    static QString loadError;
    static const Functions *const loaded = []() -> const Functions * {
        QLibrary file;
        if constexpr (requires { Functions::path(); })
            file.setFileName(Functions::path());
        else
            file.setFileNameAndVersion(QString::fromLatin1(Functions::fileName), Functions::version);
        auto functions = std::make_unique<Functions>();
        if (!file.load() || !functions->resolve(file)) {
            loadError = file.errorString();
            return nullptr;
        }
        return functions.release();
    }();
    if (!loaded && error)
        *error = loadError;
    return loaded;
}

} // namespace OnDemandLibrary

// A pointer of the function's own type, and its resolution in resolve(QLibrary &library).
#define HALVEX_LIBRARY_DECLARE(name) decltype(&::name) name = nullptr;
#define HALVEX_LIBRARY_RESOLVE(name) &&(name = reinterpret_cast<decltype(&::name)>(library.resolve(#name)))
