// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileChooser.h"

// The desktop's own file dialogs, shown window-modal over the active window.
class DialogFileChooser final : public FileChooser
{
public:
    void choose(const FileChooserRequest &request, QObject *context,
                std::function<void(const QString &path)> done) override;
};
