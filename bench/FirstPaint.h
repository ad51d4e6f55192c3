// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>

// Says "painted" on standard output once the first paint of a widget is complete, then quits; with
// HALVEX_BENCH_STAY set, keeps running so that its memory can be read. Installed by
// Q_COREAPP_STARTUP_FUNCTION(installFirstPaint) as the application object is made, so that the program under
// measurement starts exactly as it always does.
class FirstPaint final : public QObject
{
public:
    FirstPaint(bool stay, QObject *parent)
        : QObject(parent)
        , m_stay(stay)
    {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            qApp->removeEventFilter(this);
            // Reported once the paint has been handled: the whole first frame is drawn by then.
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
    bool m_stay;
};

inline void installFirstPaint()
{
    qApp->installEventFilter(new FirstPaint(qEnvironmentVariableIsSet("HALVEX_BENCH_STAY"), qApp));
}
