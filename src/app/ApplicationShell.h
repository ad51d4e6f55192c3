// SPDX-License-Identifier: MIT
#pragma once

#include "AppDelegate.h"

#include <memory>

class ContentView;

// The application's set-up: its identity, the quit hook and the one main window over the shared
// managers. main() runs it, and so does the start-up benchmark, so both start the same way.
class ApplicationShell
{
public:
    // A QApplication must exist.
    ApplicationShell();
    ~ApplicationShell();

    ContentView *window() const { return m_window.get(); }

private:
    AppDelegate m_delegate;
    std::unique_ptr<ContentView> m_window;
};
