// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"

#include <QHash>
#include <QUuid>
#include <QWidget>

#include <optional>

class InstanceManager;
class LogsView;
class ProminentButton;
class QFormLayout;
class QLabel;
class QPushButton;
class QSplitter;
class QStackedLayout;

// The selected instance: its name, run state and address with Start or Stop, its configuration
// and time stamps, and below a draggable divider its live log.
class InstanceDetailView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int minimumFormHeight = 200;
    static constexpr int idealFormHeight = 300;
    static constexpr int minimumLogHeight = 150;

    InstanceDetailView(const QUuid &instanceID, InstanceManager *instanceManager, QWidget *parent = nullptr);

    QUuid instanceID() const { return m_instanceID; }
    // Shows another instance in the same pane: its fields and its log.
    void setInstanceID(const QUuid &instanceID);
    bool showsNotFound() const;
    ProminentButton *startStopButton() const { return m_startStop; }
    QPushButton *clearLogsButton() const { return m_clearLogs; }
    QWidget *runningBadge() const { return m_badge; }
    QSplitter *splitter() const { return m_splitter; }
    LogsView *logsView() const { return m_logs; }
    // The value beside a row label of the form ("Name", "Port", "State", ...).
    QString value(const QString &label) const;

private:
    QWidget *buildContent();
    QWidget *buildHeader();
    QWidget *buildForm();
    QWidget *buildLogArea();
    QLabel *addRow(QFormLayout *form, const QString &label);
    void refresh();
    void refreshIfShown(const QUuid &id);
    void startOrStop();

    QUuid m_instanceID;
    InstanceManager *m_instanceManager;
    std::optional<HalvexInstance> m_record;
    QStackedLayout *m_stack = nullptr;
    QLabel *m_name = nullptr;
    QWidget *m_badge = nullptr;
    QLabel *m_url = nullptr;
    ProminentButton *m_startStop = nullptr;
    QSplitter *m_splitter = nullptr;
    QPushButton *m_clearLogs = nullptr;
    LogsView *m_logs = nullptr;
    QHash<QString, QLabel *> m_values;
};
