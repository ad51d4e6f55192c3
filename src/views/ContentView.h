// SPDX-License-Identifier: MIT
#pragma once

#include "ViewContext.h"

#include <QMainWindow>

class MainView;

// The application's one main window; its whole content is the MainView.
class ContentView final : public QMainWindow
{
    Q_OBJECT

public:
    explicit ContentView(ViewContext context, QWidget *parent = nullptr);

    MainView *mainView() const { return m_mainView; }

private:
    MainView *m_mainView;
};
