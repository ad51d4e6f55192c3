// SPDX-License-Identifier: MIT
#pragma once

#include "ViewContext.h"

#include <QMainWindow>

class MainView;

// The application's one main window; its whole content is the MainView. It opens where and as
// large as the user left it, within the screen it opens on.
class ContentView final : public QMainWindow
{
    Q_OBJECT

public:
    explicit ContentView(ViewContext context, QWidget *parent = nullptr);
    ~ContentView() override;

    MainView *mainView() const { return m_mainView; }

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void restoreWindowGeometry();
    void keepWithinScreen();
    void saveWindowGeometry();

    Preferences *m_preferences;
    MainView *m_mainView;
};
