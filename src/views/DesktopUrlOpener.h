// SPDX-License-Identifier: MIT
#pragma once

#include "UrlOpener.h"

// The desktop's own handlers: the default browser for web addresses, the file manager for folders.
class DesktopUrlOpener final : public UrlOpener
{
public:
    bool open(const QUrl &url) override;
};
