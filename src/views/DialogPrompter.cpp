// SPDX-License-Identifier: MIT
#include "DialogPrompter.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

QMessageBox *messageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &message)
{
    auto *box = new QMessageBox(icon, title, title, QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    return box;
}

} // namespace

void DialogPrompter::alert(QWidget *parent, const QString &title, const QString &message)
{
    QMessageBox *box = messageBox(parent, QMessageBox::NoIcon, title, message);
    box->addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
    box->open();
}

void DialogPrompter::confirm(QWidget *parent, const QString &title, const QString &message, const QString &action,
                             std::function<void(bool confirmed)> done)
{
    QMessageBox *box = messageBox(parent, QMessageBox::Warning, title, message);
    box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    QPushButton *destructive = box->addButton(action, QMessageBox::DestructiveRole);
    box->setDefaultButton(qobject_cast<QPushButton *>(box->buttons().constFirst()));
    QPointer<QWidget> guard(parent);
    QObject::connect(box, &QMessageBox::finished, box, [box, destructive, guard, done = std::move(done)] {
        if (guard)
            done(box->clickedButton() == destructive);
    });
    box->open();
}
