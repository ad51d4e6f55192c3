// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"

#include <QDialog>

#include <optional>

class InstanceManager;
class Prompter;
class QLabel;
class QLineEdit;
class QPushButton;

// The form that creates a new instance, or changes an existing one, after checking its entries
// against the registry and against the ports other programs hold. Rejections appear in an
// "Error" alert and the form stays open with the entries as typed.
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
    QLabel *nameHelp() const { return m_nameHelp; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    QWidget *buildSection(const QString &title, QLineEdit *field, QLabel *help);
    void lowerCaseName();
    void updateNameHelp();
    void fail(const QString &message);

    std::optional<HalvexInstance> m_instance;
    InstanceManager *m_instanceManager;
    Prompter *m_prompter;
    QLineEdit *m_name;
    QLineEdit *m_port;
    QLineEdit *m_authToken;
    QLabel *m_nameHelp;
    QPushButton *m_cancel;
    QPushButton *m_save;
    QString m_errorMessage;
};
