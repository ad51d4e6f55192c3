// SPDX-License-Identifier: MIT
#include "AppScenarios.h"

#include "BenchSupport.h"
#include "app/ApplicationShell.h"
#include "instances/InstanceManager.h"
#include "views/InstanceListView.h"

#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QStringListModel>

namespace {

// The baseline of a selection change: a plain list of the names beside a form of labels that
// shows the selected record's fields. Its rows are as tall as the sidebar's and it is as tall as
// the sidebar, so that a Down scrolls both lists or neither: otherwise the figure would count how
// often the sidebar's taller rows scroll rather than what the application adds.
class PlainSelection final : public QWidget
{
public:
    PlainSelection(InstanceManager *manager, const QSize &listSize, int rowHeight)
        : m_manager(manager)
    {
        QStringList names;
        for (const HalvexInstance &record : manager->instances()) {
            m_ids.append(record.id);
            names.append(record.name);
        }
        m_model.setStringList(names);
        m_list.setModel(&m_model);
        m_list.setUniformItemSizes(true);
        m_list.setFrameShape(QFrame::NoFrame);
        m_list.setGridSize(QSize(listSize.width(), rowHeight));
        m_list.setFixedSize(listSize);
        auto *row = new QHBoxLayout(this);
        row->addWidget(&m_list);
        auto *form = new QFormLayout;
        for (const char *label :
             {"Name", "State", "URL", "Port", "Auth token", "Data directory", "Created", "Updated"}) {
            auto *value = new QLabel(this);
            form->addRow(QString::fromLatin1(label), value);
            m_values.append(value);
        }
        row->addLayout(form, 1);
        connect(m_list.selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex &current) { showRecord(m_ids.value(current.row())); });
    }

    QListView *list() { return &m_list; }

private:
    void showRecord(const QUuid &id)
    {
        const auto record = m_manager->instance(id);
        if (!record)
            return;
        // Reference seconds count from 2001-01-01 00:00:00 UTC.
        const auto date = [](double seconds) {
            return QLocale().toString(
                QDateTime::fromMSecsSinceEpoch(static_cast<qint64>((seconds + 978307200.0) * 1000.0)).toLocalTime(),
                QLocale::ShortFormat);
        };
        const QStringList texts{record->name,
                                record->isRunning ? QStringLiteral("Running") : QStringLiteral("Stopped"),
                                record->localURL(),
                                QString::number(record->port),
                                record->authToken,
                                m_manager->dataDirectoryPath(*record),
                                date(record->createdAt),
                                date(record->updatedAt)};
        for (qsizetype i = 0; i < texts.size(); ++i)
            m_values.at(i)->setText(texts.at(i));
    }

    InstanceManager *m_manager;
    QList<QUuid> m_ids;
    QStringListModel m_model;
    QListView m_list;
    QList<QLabel *> m_values;
};

// GUI-thread CPU time of one Down until the window is painted again.
double timedDown(QAbstractItemView *list)
{
    const double before = Bench::threadCpuMilliseconds();
    AppScenarios::pressDown(list);
    Bench::settle();
    return Bench::threadCpuMilliseconds() - before;
}

} // namespace

namespace AppScenarios {

int selection(ApplicationShell &shell, int row, int changes)
{
    openWindow(shell);
    InstanceListView *list = sidebar(shell);
    select(list, row);
    PlainSelection plain(shell.instances(), list->size(), list->sizeHintForRow(0));
    plain.resize(1000, 680);
    plain.show();
    select(plain.list(), row);

    for (int i = 0; i < changes; ++i) {
        if (i % 2 == 0) {
            Bench::report("application", timedDown(list));
            Bench::report("plain", timedDown(plain.list()));
        } else {
            Bench::report("plain", timedDown(plain.list()));
            Bench::report("application", timedDown(list));
        }
    }
    // Both must really have moved, one row per change.
    const bool moved =
        list->currentIndex().row() == row + changes && plain.list()->currentIndex().row() == row + changes;
    if (!moved)
        std::fprintf(stderr, "the selection did not follow the keys: rows %d and %d\n", list->currentIndex().row(),
                     plain.list()->currentIndex().row());
    return moved ? 0 : 1;
}

} // namespace AppScenarios
