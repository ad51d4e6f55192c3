// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"

#include <QDialog>

#include <optional>

class InstanceManager;
class Prompter;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The form that creates a new instance, or changes an existing one, after checking its entries
// against the registry and against the ports other programs hold. Rejections appear in an
// "Error" alert and the form stays open with the entries as typed. A new instance starts with the
// first free port from 8080 up; "Generate" proposes a token.
class AddEditInstanceView final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int formWidth = 500;
    static constexpr int formHeight = 550;

    // Without a record the form creates a new instance; with one it edits that record.
    AddEditInstanceView(std::optional<HalvexInstance> instance, InstanceManager *instanceManager, Prompter *prompter,
                        QWidget *parent = nullptr);

    const std::optional<HalvexInstance> &instance() const { return m_instance; }
    bool isValid() const;
    void saveInstance();
    // The value of an integer written in decimal with an optional sign, or nothing.
    static std::optional<qint64> integerValue(const QString &text);

    QString errorMessage() const { return m_errorMessage; }
    QLineEdit *nameField() const { return m_name; }
    QLineEdit *portField() const { return m_port; }
    QLineEdit *tokenField() const { return m_authToken; }
    QPushButton *generateButton() const { return m_generate; }
    QCheckBox *startAtLaunchBox() const { return m_startAtLaunch; }
    QLabel *nameHelp() const { return m_nameHelp; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    QWidget *buildSection(const QString &title, QLineEdit *field, QLabel *help, QWidget *action = nullptr);
    void lowerCaseName();
    void updateNameHelp();
    // An edit that keeps the port of an instance whose server runs: the server holds that port.
    bool isHeldByOwnServer(qint64 port) const;
    void fail(const QString &message);

    std::optional<HalvexInstance> m_instance;
    InstanceManager *m_instanceManager;
    Prompter *m_prompter;
    QLineEdit *m_name;
    QLineEdit *m_port;
    QLineEdit *m_authToken;
    QLabel *m_nameHelp;
    QPushButton *m_generate;
    QCheckBox *m_startAtLaunch;
    QPushButton *m_cancel;
    QPushButton *m_save;
    QString m_errorMessage;
};
