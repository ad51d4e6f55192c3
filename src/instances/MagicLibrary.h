// SPDX-License-Identifier: MIT
#pragma once

#include "platform/OnDemandLibrary.h"

#include <magic.h>

// The functions of the file tool's library that describing an executable uses, resolved by the
// first description, which comes after the window is up: linked, the library would be loaded
// before the window at every start.
struct MagicLibrary
{
#define HALVEX_MAGIC_FUNCTIONS(X)                                                                                      \
    X(magic_close)                                                                                                     \
    X(magic_file)                                                                                                      \
    X(magic_load)                                                                                                      \
    X(magic_open)
    HALVEX_MAGIC_FUNCTIONS(HALVEX_LIBRARY_DECLARE)

    static constexpr const char *fileName = "magic";
    static constexpr int version = 1; // libmagic.so.1
    bool resolve(QLibrary &library)
    {
        return true HALVEX_MAGIC_FUNCTIONS(HALVEX_LIBRARY_RESOLVE);
    }

    // The library, loaded once (safe from any thread), or nothing when it is not installed.
    static const MagicLibrary *instance()
    {
        return OnDemandLibrary::load<MagicLibrary>(nullptr);
    }
};
