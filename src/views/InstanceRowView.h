// SPDX-License-Identifier: MIT
#pragma once

#include <QUuid>
#include <QWidget>

class InstanceManager;
class QLabel;
class QToolButton;
class StatusDot;

// One sidebar row: the instance's name and local address, a green dot while it runs, and a
// button that starts or stops it. The row looks its record up by id each time it redraws.
class InstanceRowView final : public QWidget
{
    Q_OBJECT

public:
    InstanceRowView(const QUuid &instanceID, InstanceManager *instanceManager, QWidget *parent = nullptr);

    QUuid instanceID() const { return m_instanceID; }
    QToolButton *startStopButton() const { return m_button; }
    StatusDot *runningDot() const { return m_dot; }
    QString nameText() const;
    QString urlText() const;

private:
    void refresh();
    void startOrStop();

    QUuid m_instanceID;
    InstanceManager *m_instanceManager;
    QWidget *m_content;
    QLabel *m_name;
    QLabel *m_url;
    StatusDot *m_dot;
    QToolButton *m_button;
    bool m_showsRunning = false;
};
