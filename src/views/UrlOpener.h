// SPDX-License-Identifier: MIT
#pragma once

class QUrl;

// Hands addresses and folders to the desktop (the browser, the file manager), so that tests can
// see what would have been opened without anything opening.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;

    // Whether the desktop took it.
    virtual bool open(const QUrl &url) = 0;
};
