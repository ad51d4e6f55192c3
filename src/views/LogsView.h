// SPDX-License-Identifier: MIT
#pragma once

#include <QTimer>
#include <QUuid>
#include <QWidget>

class InstanceManager;
class LogListModel;
class QLabel;
class QListView;
class QStackedLayout;

// The live log of one instance: selectable, copyable monospaced rows, or "No logs yet". It follows
// the newest entry whenever the number of entries changes after it was first shown.
class LogsView final : public QWidget
{
    Q_OBJECT

public:
    // A flooding server changes the log far more often than a screen can show; changes are
    // gathered and drawn at most once per frame.
    static constexpr int redrawInterval = 16;

    LogsView(const QUuid &instanceID, InstanceManager *instanceManager, QWidget *parent = nullptr);

    // Shows another instance's log, from its oldest entry, as a newly shown view would.
    void setInstanceID(const QUuid &instanceID);

    QListView *list() const { return m_list; }
    LogListModel *model() const { return m_model; }
    QString placeholderText() const;
    bool showsPlaceholder() const;

    // Copies the selected entries, oldest first, one per line.
    void copySelection() const;

private:
    void showFromOldest();
    void scheduleRedraw();
    void redraw();

    QUuid m_instanceID;
    InstanceManager *m_instanceManager;
    LogListModel *m_model;
    QListView *m_list;
    QLabel *m_placeholder;
    QStackedLayout *m_stack;
    QTimer m_redrawTimer;
    qsizetype m_watchedCount = 0;
};
