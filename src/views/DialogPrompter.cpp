// SPDX-License-Identifier: MIT
#include "DialogPrompter.h"

#include "AlertDialog.h"

#include <QPointer>
#include <QPushButton>

namespace {

void open(AlertDialog *alert)
{
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
}

} // namespace

void DialogPrompter::alert(QWidget *parent, const QString &title, const QString &message)
{
    auto *alert = new AlertDialog(AlertDialog::Kind::Information, title, message, parent);
    alert->addButton(QStringLiteral("OK"), QDialogButtonBox::RejectRole);
    open(alert);
}

void DialogPrompter::confirm(QWidget *parent, const QString &title, const QString &message, const QString &action,
                             std::function<void(bool confirmed)> done)
{
    auto *question = new AlertDialog(AlertDialog::Kind::Warning, title, message, parent);
    // The harmless answer first: it is the one Return and Escape give.
    question->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton *destructive = question->addDestructiveButton(action);
    QPointer<QWidget> guard(parent);
    QObject::connect(question, &QDialog::finished, question, [question, destructive, guard, done = std::move(done)] {
        if (guard)
            done(question->clickedButton() == destructive);
    });
    open(question);
}
