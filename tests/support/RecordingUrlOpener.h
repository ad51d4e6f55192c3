// SPDX-License-Identifier: MIT
#pragma once

#include "views/UrlOpener.h"

#include <QList>
#include <QUrl>

// Records what would have been opened, and answers as told whether the desktop took it.
class RecordingUrlOpener final : public UrlOpener
{
public:
    bool open(const QUrl &url) override
    {
        m_opened.append(url);
        return m_succeeds;
    }
    void setSucceeds(bool succeeds) { m_succeeds = succeeds; }
    const QList<QUrl> &opened() const { return m_opened; }

private:
    QList<QUrl> m_opened;
    bool m_succeeds = true;
};
