// SPDX-License-Identifier: MIT
#pragma once

#include "RecordingUrlOpener.h"
#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "core/Preferences.h"
#include "views/ViewContext.h"

// A test home with what the windows need besides the managers: a scripted prompter, the
// preferences and an opener that records instead of opening.
class ViewFixture : public TestHome
{
public:
    using TestHome::TestHome;

    ViewContext context()
    {
        ViewContext context;
        context.settings = settings.get();
        context.instances = instances.get();
        context.binary = binary.get();
        context.importExport = importExport.get();
        context.fileChooser = &chooser;
        context.prompter = &prompter;
        context.preferences = &preferences;
        context.urlOpener = &urlOpener;
        return context;
    }

    ScriptedPrompter prompter;
    RecordingUrlOpener urlOpener;
    Preferences preferences{m_dir.filePath(QStringLiteral("config"))};
};
