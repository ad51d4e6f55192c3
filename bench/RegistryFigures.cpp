// SPDX-License-Identifier: MIT
#include "Figures.h"
#include "Fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

void writeRegistry(const QString &path, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i) {
        array.append(HalvexInstance::create(QStringLiteral("instance-%1").arg(i),
                                            QStringLiteral("token-%1-0123456789abcdef").arg(i), 10000 + i)
                         .toJson());
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

double milliseconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

namespace Figures {

void registryWrite()
{
    Fixture fixture;
    writeRegistry(fixture.path(QStringLiteral("instances.json")), 1000);
    auto manager = fixture.manager();
    QFile written(fixture.path(QStringLiteral("instances.json")));
    written.open(QIODevice::ReadOnly);
    const QByteArray bytes = written.readAll();

    QList<double> app;
    QList<double> baseline;
    for (int i = 0; i < 30; ++i) {
        QElapsedTimer timer;
        timer.start();
        manager->saveInstances();
        app.append(milliseconds(timer));

        timer.restart();
        QSaveFile file(fixture.path(QStringLiteral("baseline.json")));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.commit();
        baseline.append(milliseconds(timer));
    }
    const double a = Bench::median(app);
    const double b = Bench::median(baseline);
    Bench::printRow({QStringLiteral("registry write, 1000 instances (median of 30)"),
                     QStringLiteral("%1 ms").arg(a, 0, 'f', 2),
                     QStringLiteral("%1 ms QSaveFile of the same %2 KB").arg(b, 0, 'f', 2).arg(bytes.size() / 1024),
                     a / b, QStringLiteral("≤ 1.5×"), a <= 1.5 * b});
}

void registryLoad()
{
    Fixture fixture;
    writeRegistry(fixture.path(QStringLiteral("instances.json")), 10000);
    QList<double> times;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer timer;
        timer.start();
        auto manager = fixture.manager();
        times.append(milliseconds(timer));
    }
    Bench::printRow({QStringLiteral("registry load, 10 000 instances (median of 10)"),
                     QStringLiteral("%1 ms").arg(Bench::median(times), 0, 'f', 1), QStringLiteral("–"), 0, QString(),
                     true});
}

} // namespace Figures
