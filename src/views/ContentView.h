// SPDX-License-Identifier: MIT
#pragma once

#include "ViewContext.h"

#include <QMainWindow>
#include <QPointer>

class AboutView;
class MainView;

// The application's one main window; its whole content is the MainView.
class ContentView final : public QMainWindow
{
    Q_OBJECT

public:
    explicit ContentView(ViewContext context, QWidget *parent = nullptr);

    MainView *mainView() const { return m_mainView; }
    AboutView *aboutView() const;

    // The About window, one at a time.
    void showAbout();

private:
    AppSettings *m_settings;
    MainView *m_mainView;
    QPointer<AboutView> m_about;
};
