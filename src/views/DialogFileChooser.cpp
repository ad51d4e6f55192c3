// SPDX-License-Identifier: MIT
#include "DialogFileChooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QPointer>
#include <QScreen>
#include <QTreeView>

void DialogFileChooser::choose(const FileChooserRequest &request, QObject *context,
                               std::function<void(const QString &path)> done)
{
    // The platform's dialogs (the desktop portal's or the desktop's own, whichever Qt finds) show
    // a title and nothing else of ours, so the title carries the message.
    const QString title = request.message.isEmpty() ? request.title : request.message;
    auto *dialog = new QFileDialog(QApplication::activeWindow(), title, request.directory);
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
    // Where Qt has to draw the dialog itself: room for the name, size, type and date columns, each
    // as wide as its contents and the names taking the rest. A platform dialog has no such parts
    // and keeps its own size.
    if (auto *files = dialog->findChild<QTreeView *>()) {
        files->header()->setStretchLastSection(false);
        files->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        files->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        const QSize room(dialog->fontMetrics().averageCharWidth() * 110, dialog->fontMetrics().lineSpacing() * 30);
        const QScreen *screen =
            dialog->parentWidget() ? dialog->parentWidget()->screen() : QGuiApplication::primaryScreen();
        dialog->resize(room.boundedTo(screen->availableGeometry().size() * 9 / 10));
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
