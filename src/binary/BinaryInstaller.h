// SPDX-License-Identifier: MIT
#pragma once

#include "PayloadFormat.h"
#include "core/AppPaths.h"

#include <QString>

#include <optional>

// The install steps of a downloaded payload, safe to run on a worker thread: recognise it, unpack
// it if it is an archive, choose the unpacked file that runs on this machine, make it runnable,
// and only then move it over the installed one, so that a failure leaves the previous executable
// in place. Reports its progress on standard output.
class BinaryInstaller
{
public:
    explicit BinaryInstaller(AppPaths paths);

    // Installs the payload at binaryInstallPath(), then removes the payload file and the
    // extraction directory whatever the outcome. Returns why the install failed, without the
    // "Installation failed: " prefix.
    std::optional<QString> install(const QString &payloadPath) const;

private:
    std::optional<QString> unpack(const QString &payloadPath, PayloadFormat format, const QString &staged) const;
    std::optional<QString> makeRunnable(const QString &staged) const;

    AppPaths m_paths;
};
