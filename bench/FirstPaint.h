// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

// Says "painted" on standard output when the first widget of a window is painted, then quits,
// or with stay, keeps running so that its memory can be read.
class FirstPaint final : public QObject
{
public:
    FirstPaint(QWidget *window, bool stay)
        : m_window(window)
        , m_stay(stay)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->window() == m_window) {
            qApp->removeEventFilter(this);
            // Reported once the paint has been handled, as the first frame is complete.
            QTimer::singleShot(0, qApp, [stay = m_stay] {
                std::printf("painted\n");
                std::fflush(stdout);
                if (!stay)
                    QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    QWidget *m_window;
    bool m_stay;
};
