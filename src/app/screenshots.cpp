// SPDX-License-Identifier: MIT
// Renders every screen of the application in a representative state to PNG files, for review by
// eye. Runs on managers over a temporary directory; run it with QT_QPA_PLATFORM=offscreen.
#include "BackgroundNotice.h"
#include "TrayMenu.h"
#include "backup/ImportExportManager.h"
#include "binary/BinaryManager.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "core/Preferences.h"
#include "instances/InstanceManager.h"
#include "platform/LoginAutostart.h"
#include "views/AboutView.h"
#include "views/AddEditInstanceView.h"
#include "views/ContentView.h"
#include "views/DialogFileChooser.h"
#include "views/DialogPrompter.h"
#include "views/InstanceDetailView.h"
#include "views/MainView.h"
#include "views/SettingsView.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

struct Managers
{
    explicit Managers(const QString &root, const QUrl &releaseUrl = QUrl(QStringLiteral("https://127.0.0.1:9")))
        : paths(root + QStringLiteral("/state"))
        , settings(paths)
        , instances(&settings, paths.registryFile())
        , binary(&settings, paths, &fileChooser, releaseUrl)
        , importExport(&settings, &instances, &fileChooser)
    {
        settings.setDataStorageLocation(QUrl::fromLocalFile(root + QStringLiteral("/data")));
        settings.setTimezone(QStringLiteral("Europe/Vienna"));
    }

    ViewContext context()
    {
        ViewContext context;
        context.settings = &settings;
        context.instances = &instances;
        context.binary = &binary;
        context.importExport = &importExport;
        context.fileChooser = &fileChooser;
        context.prompter = &prompter;
        return context;
    }

    DialogFileChooser fileChooser;
    DialogPrompter prompter;
    AppPaths paths;
    AppSettings settings;
    InstanceManager instances;
    BinaryManager binary;
    ImportExportManager importExport;
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

bool save(const QPixmap &pixmap, const QDir &folder, const QString &name)
{
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    const bool saved = pixmap.save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(QDir::toNativeSeparators(path)));
    return saved;
}

bool grab(QWidget *widget, const QDir &folder, const QString &name)
{
    widget->show();
    settle();
    return save(widget->grab(), folder, name);
}

// The window with its sheet drawn over it, centred at the top as a sheet would be.
bool grabWithSheet(QWidget *window, QWidget *sheet, const QDir &folder, const QString &name)
{
    window->show();
    settle();
    QPixmap picture = window->grab();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
    const QPixmap overlay = sheet->grab();
    painter.drawPixmap((picture.width() - overlay.width()) / 2, 40, overlay);
    painter.end();
    return save(picture, folder, name);
}

QString writeExecutable(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("#!/bin/sh\nexit 0\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Runs the event loop until done() holds or a while has passed.
template<typename Done>
void waitFor(Done done)
{
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    tick.start(20);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();
}

void fillLog(InstanceManager &instances, const HalvexInstance &instance)
{
    instances.addLog(instance.id, QStringLiteral("✓ Data directory created: /home/ann/Halvex/") + instance.name);
    for (int i = 0; i < 120; ++i) {
        instances.addLog(instance.id, QStringLiteral("GET /v1/keys/customer-%1 200 %2 ms").arg(i).arg(3 + i % 17));
        if (i % 25 == 7)
            instances.addLog(instance.id,
                             QStringLiteral("slow query on customers\n  scanned 18233 rows\n  took 412 ms"));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(app); // the application icon lives in the library
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Halvex Kelvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/halvex-kelvane.svg")));
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }
    QTemporaryDir root;
    bool ok = save(QIcon(QStringLiteral(":/app/halvex-kelvane.svg")).pixmap(128, 128), folder,
                   QStringLiteral("00-application-icon"));

    {
        // First start: nothing configured, no instance.
        Managers managers(root.filePath(QStringLiteral("empty")));
        ContentView window(managers.context());
        window.resize(1000, 680);
        ok &= grab(&window, folder, QStringLiteral("01-empty-state-without-executable"));
        SettingsView settings(&managers.settings, &managers.binary, &managers.importExport, &managers.fileChooser,
                              &managers.prompter);
        ok &= grabWithSheet(&window, &settings, folder, QStringLiteral("02-first-start-settings"));
    }

    {
        // Downloads: one that fails, one that is under way.
        QTcpServer release;
        release.listen(QHostAddress::LocalHost, 0);
        Managers failing(root.filePath(QStringLiteral("failing")),
                         QUrl(QStringLiteral("https://127.0.0.1:%1").arg(release.serverPort())));
        failing.settings.setBinaryPath(QUrl::fromLocalFile(QStringLiteral("/opt/halvex/halvex")));
        QObject::connect(&release, &QTcpServer::newConnection, &release,
                         [&release] { release.nextPendingConnection()->abort(); });
        failing.binary.downloadBinary();
        while (failing.binary.isDownloading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        SettingsView failed(&failing.settings, &failing.binary, &failing.importExport, &failing.fileChooser,
                            &failing.prompter);
        ok &= grab(&failed, folder, QStringLiteral("03-settings-download-error"));

        QTcpServer silent;
        silent.listen(QHostAddress::LocalHost, 0);
        Managers downloading(root.filePath(QStringLiteral("downloading")),
                             QUrl(QStringLiteral("https://127.0.0.1:%1").arg(silent.serverPort())));
        downloading.binary.downloadBinary();
        SettingsView progress(&downloading.settings, &downloading.binary, &downloading.importExport,
                              &downloading.fileChooser, &downloading.prompter);
        ok &= grab(&progress, folder, QStringLiteral("04-settings-downloading"));
    }

    {
        // A configured executable, two instances, one running and selected, with a long log.
        Managers managers(root.filePath(QStringLiteral("working")));
        managers.settings.setBinaryPath(
            QUrl::fromLocalFile(writeExecutable(root.filePath(QStringLiteral("working/halvex")))));
        managers.instances.addInstance(
            HalvexInstance::create(QStringLiteral("orders"), QStringLiteral("c0ffee-orders-token-7f3a"), 8080));
        managers.instances.addInstance(
            HalvexInstance::create(QStringLiteral("billing"), QStringLiteral("b1ll1ng-token-22"), 8081));
        const HalvexInstance orders = managers.instances.instances().first();
        fillLog(managers.instances, orders);
        managers.instances.markInstanceRunning(orders.id);

        SettingsView installed(&managers.settings, &managers.binary, &managers.importExport, &managers.fileChooser,
                               &managers.prompter);
        ok &= grab(&installed, folder, QStringLiteral("05-settings-installed"));

        ContentView window(managers.context());
        window.resize(1100, 760);
        ok &= grab(&window, folder, QStringLiteral("06-list-nothing-selected"));
        window.mainView()->selectInstance(orders.id);
        managers.instances.addLog(orders.id, QStringLiteral("GET /v1/health 200 1 ms"));
        // The log view draws new entries on its next frame.
        QEventLoop frame;
        QTimer::singleShot(200, &frame, &QEventLoop::quit);
        frame.exec();
        ok &= grab(&window, folder, QStringLiteral("07-detail-running-with-long-log"));

        AddEditInstanceView form(std::nullopt, &managers.instances, &managers.prompter, &window);
        form.nameField()->setText(QStringLiteral("Orders"));
        form.portField()->setText(QStringLiteral("8080"));
        form.tokenField()->setText(QStringLiteral("secret"));
        ok &= grabWithSheet(&window, &form, folder, QStringLiteral("08-form-new-instance"));
        form.saveInstance();
        settle();
        if (auto *alert = form.findChild<QMessageBox *>()) {
            QPixmap picture = form.grab();
            QPainter painter(&picture);
            const QPixmap overlay = alert->grab();
            const QRect frame((picture.width() - overlay.width()) / 2, (picture.height() - overlay.height()) / 2,
                              overlay.width(), overlay.height());
            painter.drawPixmap(frame.topLeft(), overlay);
            painter.setPen(QColor(0, 0, 0, 90));
            painter.drawRect(frame.adjusted(-1, -1, 0, 0));
            painter.end();
            ok &= save(picture, folder, QStringLiteral("09-form-error-alert"));
        }

        AddEditInstanceView edit(managers.instances.instances().last(), &managers.instances, &managers.prompter,
                                 &window);
        ok &= grab(&edit, folder, QStringLiteral("10-form-edit-instance"));
    }

    {
        // The tray's menu over real servers: two running, one starting, one stopping, and more
        // instances than the menu lists.
        Managers managers(root.filePath(QStringLiteral("tray")));
        const QString server = QCoreApplication::applicationDirPath() + QStringLiteral("/halvex");
        managers.settings.setBinaryPath(QUrl::fromLocalFile(server));
        for (const QString &name : {QStringLiteral("orders"), QStringLiteral("billing"), QStringLiteral("reports"),
                                    QStringLiteral("search"), QStringLiteral("archive")})
            managers.instances.addInstance(HalvexInstance::create(name, QStringLiteral("token"), freePort()));
        for (int i = 1; i <= 30; ++i)
            managers.instances.addInstance(HalvexInstance::create(
                QStringLiteral("shard-%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("token"), freePort()));
        const QList<HalvexInstance> all = managers.instances.instances();
        for (int i : {0, 1, 3})
            managers.instances.startInstance(all.at(i));
        waitFor([&] { return managers.instances.runState(all.at(3).id) == InstanceManager::RunState::Running; });
        // Starting and Stopping last until the next turns of the event loop: drawn before those.
        managers.instances.startInstance(all.at(2));
        managers.instances.stopInstance(all.at(3));
        TrayMenu menu(&managers.instances);
        menu.popup(QPoint(0, 0));
        ok &= save(menu.grab(), folder, QStringLiteral("11-tray-menu"));
        menu.hide();
        managers.instances.stopAllInstances();
        waitFor([&] {
            return std::all_of(all.cbegin(), all.cend(), [&](const HalvexInstance &instance) {
                return managers.instances.runState(instance.id) == InstanceManager::RunState::Stopped;
            });
        });

        AboutView about(&managers.settings);
        ok &= grab(&about, folder, QStringLiteral("12-about"));

        // The settings' end: the desktop choices and the way to the About window.
        Preferences preferences(root.filePath(QStringLiteral("tray/config")));
        preferences.setKeepsRunningInBackground(true);
        LoginAutostart autostart(root.filePath(QStringLiteral("tray/config")), QStringLiteral("halvex-kelvane"));
        SettingsView settings(&managers.settings, &managers.binary, &managers.importExport, &managers.fileChooser,
                              &managers.prompter);
        settings.offerDesktopOptions(&preferences, &autostart);
        settings.show();
        settle();
        QScrollBar *scroll = settings.findChild<QScrollArea *>()->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        ok &= grab(&settings, folder, QStringLiteral("13-settings-desktop-and-about"));

        // The first close into the background on a desktop without a tray.
        ContentView window(managers.context());
        window.resize(1000, 680);
        window.show();
        settle();
        BackgroundNotice notice(&preferences, &managers.prompter, nullptr);
        notice.windowClosed(&window);
        settle();
        if (auto *alert = window.findChild<QMessageBox *>())
            ok &= save(alert->grab(), folder, QStringLiteral("14-background-notice-without-tray"));
    }
    return ok ? 0 : 1;
}
