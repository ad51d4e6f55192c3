// SPDX-License-Identifier: MIT
#pragma once

#include "ViewContext.h"

#include <QObject>
#include <QUuid>

class QAction;
class QMenu;
class QWidget;

// What can be done to one instance besides starting and stopping it, for its detail pane and its
// row's context menu alike: copy its addresses and its token, open its health page in the browser
// and its data folder in the file manager, and end by force a server that overran its stop. Each
// action looks the record up when it is triggered.
class InstanceActions final : public QObject
{
    Q_OBJECT

public:
    // Questions and alerts are shown over dialogParent, which is also the parent unless another is
    // given.
    InstanceActions(const QUuid &instanceID, ViewContext context, QWidget *dialogParent, QObject *parent = nullptr);

    void setInstanceID(const QUuid &instanceID);

    // "http://<name>.halvex.local:<port>"
    QAction *copyAddress() const { return m_copyAddress; }
    // "http://localhost:<port>", which works without the hosts entry.
    QAction *copyLocalhostAddress() const { return m_copyLocalhostAddress; }
    QAction *copyToken() const { return m_copyToken; }
    // The server's /health, while it runs.
    QAction *openInBrowser() const { return m_openInBrowser; }
    QAction *openDataFolder() const { return m_openDataFolder; }
    // Only while a stop is overdue; asks first.
    QAction *forceStop() const { return m_forceStop; }

    // The copy and open actions, in groups divided by separators.
    void addQuickActions(QMenu *menu) const;
    // Asks whether to end the server by force (SIGKILL) and does so when the user agrees.
    void confirmForceStop();

private:
    void update();
    void copy(const QString &text) const;
    void open(const QUrl &url, const QString &what);
    void openDataDirectory();

    QUuid m_instanceID;
    ViewContext m_context;
    QWidget *m_dialogParent;
    QAction *m_copyAddress;
    QAction *m_copyLocalhostAddress;
    QAction *m_copyToken;
    QAction *m_openInBrowser;
    QAction *m_openDataFolder;
    QAction *m_forceStop;
};
