// SPDX-License-Identifier: MIT
#pragma once

#include "views/UrlOpener.h"

#include <QList>
#include <QUrl>

// Records what would have been opened, as if the desktop had taken it.
class RecordingUrlOpener final : public UrlOpener
{
public:
    bool open(const QUrl &url) override
    {
        m_opened.append(url);
        return true;
    }
    const QList<QUrl> &opened() const { return m_opened; }

private:
    QList<QUrl> m_opened;
};
