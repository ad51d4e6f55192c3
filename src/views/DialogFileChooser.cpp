// SPDX-License-Identifier: MIT
#include "DialogFileChooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>

void DialogFileChooser::choose(const FileChooserRequest &request, QObject *context,
                               std::function<void(const QString &path)> done)
{
    auto *dialog = new QFileDialog(QApplication::activeWindow(), request.title, request.directory);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    if (!request.nameFilters.isEmpty())
        dialog->setNameFilters(request.nameFilters);
    switch (request.mode) {
    case FileChooserRequest::Mode::OpenFile:
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        break;
    case FileChooserRequest::Mode::SaveFile:
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->selectFile(request.suggestedName);
        break;
    case FileChooserRequest::Mode::OpenDirectory:
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        break;
    }
    // Qt's own dialog, because the platform ones have no place for the message.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog->layout()); grid && !request.message.isEmpty()) {
        auto *message = new QLabel(request.message, dialog);
        message->setWordWrap(true);
        grid->addWidget(message, grid->rowCount(), 0, 1, grid->columnCount());
    }

    QPointer<QObject> guard(context);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, guard, done = std::move(done)](int result) {
        if (!guard)
            return;
        const QStringList files = dialog->selectedFiles();
        done(result == QDialog::Accepted && !files.isEmpty() ? files.first() : QString());
    });
    dialog->open();
}
