// SPDX-License-Identifier: MIT
#pragma once

#include "ViewContext.h"

#include <QMainWindow>
#include <QPointer>

class AboutView;
class MainView;

// The application's one main window; its whole content is the MainView. It opens where and as
// large as the user left it, within the screen it opens on. Closing it quits the application,
// unless the user chose to keep it running in the background: then it only hides.
class ContentView final : public QMainWindow
{
    Q_OBJECT

public:
    explicit ContentView(ViewContext context, QWidget *parent = nullptr);
    ~ContentView() override;

    MainView *mainView() const { return m_mainView; }
    AboutView *aboutView() const;

    // Shows the window in front, also when it was hidden or minimized.
    void present();
    // The About window, one at a time.
    void showAbout();

signals:
    // The user closed the window and the application keeps running without it.
    void closedToBackground();
    // Once, when the window's first frame has been painted and shown.
    void firstPainted();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void restoreWindowGeometry();
    void keepWithinScreen();
    void saveWindowGeometry();

    AppSettings *m_settings;
    Preferences *m_preferences;
    MainView *m_mainView;
    QPointer<AboutView> m_about;
    bool m_painted = false;
};
