// SPDX-License-Identifier: MIT
#pragma once

#include "ViewContext.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <optional>

class AddEditInstanceView;
class EmptyStateView;
class InstanceDetailView;
class InstanceListView;
class QAction;
class QLabel;
class QDialog;
class QMenu;
class QSplitter;
class QStackedWidget;
class SettingsView;

// The main window's content: the sidebar list of instances, the detail column, the toolbar, and
// the sheets it presents (the instance form and the settings). It changes nothing itself: every
// action calls the instance manager or presents a sheet.
class MainView final : public QWidget
{
    Q_OBJECT

public:
    explicit MainView(ViewContext context, QWidget *parent = nullptr);

    // The selection is kept by id, so that a start or an edit of the selected record keeps it.
    std::optional<QUuid> selectedInstanceID() const { return m_selectedID; }
    void selectInstance(const QUuid &id);

    InstanceListView *instanceList() const { return m_list; }
    QAction *settingsAction() const { return m_settingsAction; }
    QAction *addInstanceAction() const { return m_addAction; }
    QAction *startAllAction() const { return m_startAllAction; }
    QAction *stopAllAction() const { return m_stopAllAction; }
    QAction *deleteAction() const { return m_deleteAction; }
    // What the detail column shows now: an InstanceDetailView, the EmptyStateView or the
    // "Select an instance" label.
    QWidget *detailContent() const;
    InstanceDetailView *detailView() const { return m_detailView; }
    // Null until the list is first empty.
    EmptyStateView *emptyState() const { return m_emptyState; }
    // The context menu of a row: "Force Stop…" while a stop is overdue, the quick actions (copy
    // the addresses or the token, open the browser or the data folder), "Edit" and "Delete".
    QMenu *contextMenu(const QUuid &id);

    SettingsView *settingsSheet() const;
    AddEditInstanceView *instanceForm() const;

    void showSettings();
    void showAddInstance();
    void editInstance(const QUuid &id);
    // Asks first, naming the data directory that goes with the instance.
    void deleteInstance(const QUuid &id);
    // Starts every stopped instance; stops every running one that is not stopping already.
    void startAll();
    void stopAll();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildToolBar();
    QWidget *buildSidebar();
    QWidget *buildDetailColumn();
    void followListSelection();
    void updateDetail();
    void updateAddAction();
    // Start All and Stop All follow the run states once per turn of the event loop, however many
    // changes it brought.
    void scheduleRunActionsUpdate();
    void updateRunActions();
    void checkExecutableOnFirstDisplay();
    void presentForm(AddEditInstanceView *form);
    // Opens a sheet window-modal, centred on this window and within its screen.
    void presentSheet(QDialog *sheet);
    // The divider's position as the user left it, kept in the preferences under name.
    void rememberDivider(QSplitter *splitter, const QString &name);

    ViewContext m_context;
    std::optional<QUuid> m_selectedID;
    bool m_shownBefore = false;
    QAction *m_settingsAction = nullptr;
    QAction *m_addAction = nullptr;
    QAction *m_startAllAction = nullptr;
    QAction *m_stopAllAction = nullptr;
    QAction *m_deleteAction = nullptr;
    bool m_runActionsUpdatePending = false;
    InstanceListView *m_list = nullptr;
    QStackedWidget *m_detail = nullptr;
    QWidget *m_detailHolder = nullptr;
    InstanceDetailView *m_detailView = nullptr;
    EmptyStateView *m_emptyState = nullptr;
    QLabel *m_selectPrompt = nullptr;
    QPointer<SettingsView> m_settingsSheet;
    QPointer<AddEditInstanceView> m_form;
};
