// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>
#include <QTimer>
#include <QUuid>
#include <QWidget>

class InstanceManager;
class LogListModel;
class QLabel;
class QListView;
class QStackedLayout;

// The live log of one instance: selectable, copyable monospaced rows, or "No logs yet". When
// entries arrive it follows the newest, unless the user has scrolled away from the bottom; a view
// first shown with entries starts at the oldest and follows from the next entry on.
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
    void logAppended(const QUuid &id, const QString &entry, qsizetype dropped);
    void logCleared(const QUuid &id);
    void scheduleRedraw();
    void redraw();

    QUuid m_instanceID;
    InstanceManager *m_instanceManager;
    LogListModel *m_model;
    QListView *m_list;
    QLabel *m_placeholder;
    QStackedLayout *m_stack;
    QTimer m_redrawTimer;
    // What the log gained since the last drawing: entries appended, and how many of the oldest
    // of the model's entries followed by these went.
    QStringList m_appended;
    qsizetype m_dropped = 0;
    // Whether the view keeps the newest entry in sight: until the user scrolls away from the
    // bottom, and again once they scroll back to it.
    bool m_following = true;
};
