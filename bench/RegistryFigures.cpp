// SPDX-License-Identifier: MIT
#include "BenchSupport.h"
#include "Figures.h"
#include "FileSystems.h"
#include "Fixture.h"
#include "Sandbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>

namespace {

double milliseconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The wall time of one edit of a record until the registry file holds it: the file is written on
// a thread of its own, and the figure waits for that write.
double timedEdit(InstanceManager &manager, qsizetype row, const QString &token)
{
    HalvexInstance record = manager.instances().at(row);
    record.authToken = token;
    QElapsedTimer timer;
    timer.start();
    manager.updateInstance(record);
    manager.waitForSave();
    return milliseconds(timer);
}

// The same bytes written with QSaveFile alone, as the registry is: replaced atomically, mode 0600.
double timedSaveFile(const QString &path, const QByteArray &bytes)
{
    QElapsedTimer timer;
    timer.start();
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                    file.write(bytes) == bytes.size() && file.commit();
    return ok ? milliseconds(timer) : -1;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Writes
{
    QList<double> first;
    QList<double> firstBaseline;
    QList<double> edit;
    QList<double> editBaseline;
};

// Each run is a session: the manager loads the registry, the user edits one record (the session's
// first save), then another.
Writes measure(const QString &directory, const QByteArray &registry, int count)
{
    Writes writes;
    for (int run = 0; run < 7; ++run) {
        const Fixture fixture(directory, registry);
        auto manager = fixture.manager();
        // A user's first save comes once the window is up, which prepares saving.
        manager->prepareSaves();
        manager->waitForSave();
        const QString baseline = fixture.path(QStringLiteral("baseline.json"));
        // A save replaces the registry, and freeing the pages of the file replaced is part of its
        // cost: the baseline replaces a file of the same size too.
        if (timedSaveFile(baseline, registry) < 0)
            writes.firstBaseline.append(-1);
        // Alternating which goes first, so that neither always writes right after the other's sync.
        const bool baselineFirst = run % 2;
        const auto pair = [&](QList<double> &application, QList<double> &saveFile, const QString &token) {
            if (baselineFirst)
                saveFile.append(timedSaveFile(baseline, contents(fixture.registryFile())));
            application.append(timedEdit(*manager, count / 2, token));
            if (!baselineFirst)
                saveFile.append(timedSaveFile(baseline, contents(fixture.registryFile())));
        };
        pair(writes.first, writes.firstBaseline, QStringLiteral("edited-first"));
        pair(writes.edit, writes.editBaseline, QStringLiteral("edited-again"));
    }
    return writes;
}

void printWrite(const QString &figure, const QList<double> &application, const QList<double> &baseline, qsizetype bytes)
{
    const QList<double> each = Figures::ratios(application, baseline);
    const bool failed = application.contains(-1) || baseline.contains(-1);
    Table::printRow({figure, QStringLiteral("ms"), application, QString(), baseline,
                     QStringLiteral("QSaveFile of the same %1 KB").arg(bytes / 1024), each, QStringLiteral("≤ 1.5×"),
                     !failed && Figures::median(each) <= 1.5});
}

} // namespace

namespace Figures {

void registryWrites()
{
    QList<std::pair<QString, FileSystems::Place>> places{{QStringLiteral("disk"), FileSystems::stateDirectory()}};
    if (const auto tmpfs = FileSystems::tmpfs())
        places.append({QStringLiteral("tmpfs"), *tmpfs});
    else
        Table::printFailure(QStringLiteral("registry writes on tmpfs"), QStringLiteral("no tmpfs found"));
    for (const int count : {1000, 10000}) {
        const QByteArray registry = Sandbox::registry(Sandbox::records(count));
        for (const auto &[name, place] : places) {
            const Writes writes = measure(place.directory, registry, count);
            printWrite(QStringLiteral("registry, first save of a session, %1 records, %2").arg(count).arg(name),
                       writes.first, writes.firstBaseline, registry.size());
            if (count == 10000) {
                printWrite(QStringLiteral("registry, one-record edit, %1 records, %2").arg(count).arg(name),
                           writes.edit, writes.editBaseline, registry.size());
            }
        }
    }
}

} // namespace Figures
