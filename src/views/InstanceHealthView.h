// SPDX-License-Identifier: MIT
#pragma once

#include <QGroupBox>
#include <QHash>
#include <QUuid>

class FormValue;
class HealthMonitor;
class InstanceManager;
class QFormLayout;

// The "Health" section of the detail pane, shown while the instance's server runs: whether it
// answers at /health ("OK", "no answer", or the HTTP status), how long it has been up, its process
// id and its resident memory. The server is asked only while the section is on screen for it:
// hiding the pane, minimising the window or showing another instance ends the asking.
class InstanceHealthView final : public QGroupBox
{
    Q_OBJECT

public:
    InstanceHealthView(const QUuid &instanceID, InstanceManager *instanceManager, QWidget *parent = nullptr);

    void setInstanceID(const QUuid &instanceID);
    HealthMonitor *monitor() const { return m_monitor; }
    // The value beside a row label ("Answers", "Uptime", "PID", "Memory").
    QString value(const QString &label) const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void refresh();
    void updateWatching();
    void showReading();
    FormValue *addRow(const QString &label);

    QUuid m_instanceID;
    InstanceManager *m_instanceManager;
    HealthMonitor *m_monitor;
    bool m_onScreen = false;
    QFormLayout *m_rows;
    QHash<QString, FormValue *> m_values;
    FormValue *m_answers;
    FormValue *m_uptime;
    FormValue *m_pid;
    FormValue *m_memory;
};
