// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>
#include <QTimer>
#include <QUuid>
#include <QWidget>

class InstanceManager;
class LogEntryDelegate;
class LogFindBar;
class LogListModel;
class LogSearch;
class QLabel;
class QListView;
class QStackedLayout;

// The live log of one instance: selectable, copyable monospaced rows, or "No logs yet". When
// entries arrive it follows the newest, unless the user paused it or scrolled away from the
// bottom; a view first shown with entries starts at the oldest and follows from the next entry on.
// While it does not follow, entries that leave the top of a full log do not move the text in
// view. A find bar above the rows marks the matches of a text and steps through them.
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
    LogSearch *search() const { return m_search; }
    LogFindBar *findBar() const { return m_findBar; }
    QString placeholderText() const;
    bool showsPlaceholder() const;

    // Copies the selected entries, oldest first, one per line.
    void copySelection() const;
    // The entries as shown, oldest first, each followed by a line break.
    QString text() const;

    bool isFollowing() const { return m_following; }
    // Following keeps the newest entry in sight and goes there at once; not following leaves the
    // rows where they are while entries arrive, until the user scrolls to the bottom.
    void setFollowing(bool following);

    // Opens the find bar, ready to type.
    void showFindBar();

signals:
    void followingChanged(bool following);

private:
    void showFromOldest();
    void logAppended(const QUuid &id, const QString &entry, qsizetype dropped);
    void logCleared(const QUuid &id);
    void scheduleRedraw();
    void redraw();
    void updateFollowing(bool following);
    void findFromView(const QString &text, Qt::CaseSensitivity sensitivity);
    // Brings the current match into view, the row of the entry that holds it.
    void showCurrentMatch();

    QUuid m_instanceID;
    InstanceManager *m_instanceManager;
    LogListModel *m_model;
    LogSearch *m_search;
    QListView *m_list;
    LogEntryDelegate *m_delegate;
    LogFindBar *m_findBar;
    QLabel *m_placeholder;
    QStackedLayout *m_stack;
    QTimer m_redrawTimer;
    // What the log gained since the last drawing: entries appended, and how many of the oldest
    // of the model's entries followed by these went.
    QStringList m_appended;
    qsizetype m_dropped = 0;
    // Whether the view keeps the newest entry in sight: until the user pauses it or scrolls away
    // from the bottom, and again once they scroll back to it or ask for it.
    bool m_following = true;
};
