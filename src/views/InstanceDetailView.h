// SPDX-License-Identifier: MIT
#pragma once

#include "ViewContext.h"
#include "core/HalvexInstance.h"
#include "instances/InstanceManager.h"

#include <QDate>
#include <QFont>
#include <QHash>
#include <QUuid>
#include <QWidget>

#include <optional>

class FormValue;
class InstanceActions;
class InstanceHealthView;
class InstanceTitle;
class LogsView;
class ProminentButton;
class QFormLayout;
class QLabel;
class QPushButton;
class QSplitter;
class QStackedLayout;
class QToolButton;

// The selected instance: its name, run state and address with Start, Stop or Force Stop and its
// quick actions, its configuration, time stamps, how its last server ended and, while it runs, its
// health; below a draggable divider its live log, which can be searched (Ctrl+F), paused and saved.
class InstanceDetailView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int minimumFormHeight = 200;
    static constexpr int idealFormHeight = 300;
    static constexpr int minimumLogHeight = 150;

    InstanceDetailView(const QUuid &instanceID, ViewContext context, QWidget *parent = nullptr);

    QUuid instanceID() const { return m_instanceID; }
    // Shows another instance in the same pane: its fields and its log.
    void setInstanceID(const QUuid &instanceID);
    bool showsNotFound() const;
    ProminentButton *startStopButton() const { return m_startStop; }
    QToolButton *actionsButton() const { return m_actionsButton; }
    InstanceActions *actions() const { return m_actions; }
    QPushButton *clearLogsButton() const { return m_clearLogs; }
    QPushButton *followButton() const { return m_follow; }
    QPushButton *saveLogButton() const { return m_saveLog; }
    // The badge beside the name: the run state in its colour while there is a server, else empty.
    QString badgeText() const;
    QSplitter *splitter() const { return m_splitter; }
    LogsView *logsView() const { return m_logs; }
    InstanceHealthView *healthView() const { return m_health; }
    // The value beside a row label of the form ("Name", "Port", "State", "Last Run", ...).
    QString value(const QString &label) const;
    bool isRowShown(const QString &label) const;

    // Asks where to save the log as it is shown now, and writes it there.
    void saveLog();

protected:
    void changeEvent(QEvent *event) override;

private:
    QWidget *buildContent();
    QWidget *buildHeader();
    QWidget *buildForm();
    QWidget *buildLogArea();
    FormValue *addRow(QFormLayout *form, const QString &label);
    void refresh();
    void refreshIfShown(const QUuid &id);
    // A start, a stop or a server's end changes the state, the button and the last run; the
    // configuration and time stamps stay as they are shown.
    void refreshRunState(const QUuid &id);
    void showRunState();
    void startOrStop();

    QUuid m_instanceID;
    ViewContext m_context;
    std::optional<HalvexInstance> m_record;
    InstanceActions *m_actions;
    QStackedLayout *m_stack = nullptr;
    InstanceTitle *m_title = nullptr;
    QSize m_startStopRoom; // as wide as Start and Stop, in this font:
    QFont m_startStopFont;
    // What the Last Run row says, on the day it was written (its date shows from the next day on).
    std::optional<InstanceManager::LastRun> m_lastRunShown;
    QDate m_lastRunShownOn;
    QToolButton *m_actionsButton = nullptr;
    ProminentButton *m_startStop = nullptr;
    QFormLayout *m_statusRows = nullptr;
    InstanceHealthView *m_health = nullptr;
    QSplitter *m_splitter = nullptr;
    QPushButton *m_follow = nullptr;
    QPushButton *m_saveLog = nullptr;
    QPushButton *m_clearLogs = nullptr;
    LogsView *m_logs = nullptr;
    QHash<QString, FormValue *> m_values;
};
