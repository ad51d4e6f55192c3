// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class AppSettings;
class BinaryManager;
class ProminentButton;
class QLabel;

// The detail column while there is no instance at all: it invites the user to create one, or to
// obtain the server executable first.
class EmptyStateView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int symbolSize = 64;

    EmptyStateView(BinaryManager *binaryManager, AppSettings *settings, QWidget *parent = nullptr);

    QString messageText() const;
    ProminentButton *actionButton() const { return m_action; }

signals:
    void addInstanceRequested();
    void openSettingsRequested();

private:
    void refresh();

    BinaryManager *m_binaryManager;
    QLabel *m_symbol;
    QLabel *m_message;
    ProminentButton *m_action;
    bool m_binaryAvailable = false;
};
