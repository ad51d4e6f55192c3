// SPDX-License-Identifier: MIT
#include "Figures.h"

#include "core/HalvexInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

namespace {

const QString application = QStringLiteral(COLDSTART_APP_PATH);
const QString minimal = QStringLiteral(MINIMAL_WINDOW_PATH);

// A home of its own for the application, with an executable configured and count instances.
class Home
{
public:
    explicit Home(int count)
    {
        const QString state = m_dir.filePath(QStringLiteral("data/HalvexKelvane"));
        QDir().mkpath(state);
        const QJsonObject settings{
            {QStringLiteral("dataStorageLocation"),
             QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("Halvex"))).toString()},
            {QStringLiteral("binaryPath"), QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)).toString()},
            {QStringLiteral("timezone"), QStringLiteral("UTC")},
        };
        write(state + QStringLiteral("/settings.json"), QJsonDocument(settings).toJson(QJsonDocument::Compact));
        QJsonArray instances;
        for (int i = 0; i < count; ++i) {
            instances.append(
                HalvexInstance::create(QStringLiteral("instance-%1").arg(i), QStringLiteral("token"), 10000 + i)
                    .toJson());
        }
        write(state + QStringLiteral("/instances.json"), QJsonDocument(instances).toJson(QJsonDocument::Compact));
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_dir.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return environment;
    }

private:
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }

    QTemporaryDir m_dir;
};

struct Start
{
    double milliseconds = -1; // from process start to the first paint
    double residentMiB = 0;   // with stay: after the window has settled
};

Start start(const QString &program, const Home &home, bool stay)
{
    QProcess process;
    process.setProcessEnvironment(home.environment());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    Start result;
    QElapsedTimer timer;
    timer.start();
    process.start(program, stay ? QStringList{QStringLiteral("--stay")} : QStringList());
    QByteArray output;
    while (!output.contains("painted") && process.waitForReadyRead(10000))
        output += process.readAllStandardOutput();
    if (output.contains("painted"))
        result.milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (stay) {
        QThread::msleep(500); // let the window settle before its memory is read
        result.residentMiB = Bench::residentMiB(process.processId());
        process.kill();
    }
    process.waitForFinished(10000);
    return result;
}

void coldStartWith(int count, double goal)
{
    const Home home(count);
    // A first start of each warms the file cache; only the later, alternating starts count.
    start(application, home, false);
    start(minimal, home, false);
    // The machine's speed drifts between runs (shared hosts); a start and the baseline start right
    // after it see the same conditions, so the ratio is taken per pair and its median reported.
    QList<double> app;
    QList<double> baseline;
    QList<double> ratios;
    for (int i = 0; i < 31; ++i) {
        app.append(start(application, home, false).milliseconds);
        baseline.append(start(minimal, home, false).milliseconds);
        ratios.append(app.last() / baseline.last());
    }
    const double ratio = Bench::median(ratios);
    Bench::printRow({QStringLiteral("cold start to first paint, %1 instances (median of 31 pairs)").arg(count),
                     QStringLiteral("%1 ms").arg(Bench::median(app), 0, 'f', 1),
                     QStringLiteral("%1 ms minimal Qt Widgets window").arg(Bench::median(baseline), 0, 'f', 1), ratio,
                     QStringLiteral("≤ %1×").arg(goal), ratio <= goal});
}

} // namespace

namespace Figures {

void coldStart()
{
    coldStartWith(0, 1.3);
    coldStartWith(1000, 1.6);
}

void idleMemory()
{
    const Home home(20);
    QList<double> app;
    QList<double> baseline;
    for (int i = 0; i < 5; ++i) {
        app.append(start(application, home, true).residentMiB);
        baseline.append(start(minimal, home, true).residentMiB);
    }
    const double a = Bench::median(app);
    const double b = Bench::median(baseline);
    Bench::printRow({QStringLiteral("idle memory, 20 instances (median of 5)"),
                     QStringLiteral("%1 MB").arg(a, 0, 'f', 1),
                     QStringLiteral("%1 MB minimal Qt Widgets window").arg(b, 0, 'f', 1), a / b,
                     QStringLiteral("≤ 1.3×"), a <= 1.3 * b});
}

} // namespace Figures
