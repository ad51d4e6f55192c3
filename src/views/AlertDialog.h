// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QDialogButtonBox>

class QLabel;

// An alert or a question: the title in the title bar, the message once, below it, at a width
// that reads well (about sixty characters a line), and the buttons in the desktop's order.
// Escape rejects it, Return presses the default button.
class AlertDialog final : public QDialog
{
    Q_OBJECT

public:
    enum class Kind { Information, Warning };

    AlertDialog(Kind kind, const QString &title, const QString &message, QWidget *parent = nullptr);

    // A button that answers with role; the first one added is the default (Return).
    QPushButton *addButton(const QString &text, QDialogButtonBox::ButtonRole role);
    // A button for an action that destroys something, drawn in red.
    QPushButton *addDestructiveButton(const QString &text);
    QPushButton *clickedButton() const { return m_clicked; }
    QLabel *messageLabel() const { return m_message; }

    // The width a message is wrapped at in font: about sixty average characters, never wider than
    // its longest line, nor narrower than its longest word.
    static int messageWidth(const QString &message, const QFont &font);

private:
    QPushButton *addedButton(QPushButton *button, QDialogButtonBox::ButtonRole role);

    QLabel *m_message;
    QDialogButtonBox *m_buttons;
    QPushButton *m_clicked = nullptr;
};
