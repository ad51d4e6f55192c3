// SPDX-License-Identifier: MIT
// Renders every screen of the application in a representative state to PNG files, for review by
// eye. Runs on managers over a temporary directory; run it with QT_QPA_PLATFORM=offscreen.
#include "backup/ImportExportManager.h"
#include "binary/BinaryManager.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"
#include "views/AddEditInstanceView.h"
#include "views/ContentView.h"
#include "views/DesktopUrlOpener.h"
#include "views/DialogFileChooser.h"
#include "views/DialogPrompter.h"
#include "views/InstanceActions.h"
#include "views/InstanceDetailView.h"
#include "views/InstanceListModel.h"
#include "views/InstanceListView.h"
#include "views/LogFindBar.h"
#include "views/LogsView.h"
#include "views/MainView.h"
#include "views/ProminentButton.h"
#include "views/SettingsView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QSplitter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <csignal>
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
        context.urlOpener = &urlOpener;
        return context;
    }

    DialogFileChooser fileChooser;
    DialogPrompter prompter;
    DesktopUrlOpener urlOpener;
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

// Turns the event loop for a while: a screenshot shows what a user sees after a moment.
void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Turns the event loop until done() holds or the time is up.
bool waitUntil(const std::function<bool()> &done, int milliseconds = 15000)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

// The window with a popup (a menu, a message box) drawn over it where it would appear.
bool grabWithPopup(QWidget *window, QWidget *popup, const QPoint &at, const QDir &folder, const QString &name)
{
    settle();
    QPixmap picture = window->grab();
    QPainter painter(&picture);
    const QPixmap overlay = popup->grab();
    painter.drawPixmap(at, overlay);
    painter.setPen(QColor(0, 0, 0, 90));
    painter.drawRect(QRect(at, overlay.size()).adjusted(-1, -1, 0, 0));
    painter.end();
    return save(picture, folder, name);
}

// The run states, the quick actions, the log tools and the health section, with real servers.
bool grabLifecycle(const QString &root, const QString &server, const QDir &folder)
{
    bool ok = true;
    Managers managers(root);
    managers.settings.setBinaryPath(QUrl::fromLocalFile(server));
    managers.instances.setStopDeadline(std::chrono::milliseconds(300));
    const auto freePort = [] {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    };
    managers.instances.addInstance(
        HalvexInstance::create(QStringLiteral("orders"), QStringLiteral("c0ffee-orders-token-7f3a"), freePort()));
    managers.instances.addInstance(
        HalvexInstance::create(QStringLiteral("billing"), QStringLiteral("b1ll1ng-token-22"), freePort()));
    managers.instances.addInstance(
        HalvexInstance::create(QStringLiteral("search"), QStringLiteral("s3arch-token-9"), freePort()));
    const QList<HalvexInstance> records = managers.instances.instances();
    const HalvexInstance &orders = records.at(0);
    const HalvexInstance &billing = records.at(1);
    const HalvexInstance &search = records.at(2);
    InstanceManager &instances = managers.instances;
    const auto pidOf = [&instances](const QUuid &id) {
        return static_cast<pid_t>(instances.processId(id).value_or(0));
    };

    ContentView window(managers.context());
    window.resize(1100, 800);
    MainView *main = window.mainView();
    window.show();
    settle();

    // A server held still before it could listen stays Starting; one that runs answers /health.
    instances.startInstance(billing);
    ::kill(pidOf(billing.id), SIGSTOP);
    instances.startInstance(orders);
    ok &= waitUntil([&] { return instances.runState(orders.id) == InstanceManager::RunState::Running; });
    main->selectInstance(billing.id);
    ok &= grab(&window, folder, QStringLiteral("11-detail-starting"));

    main->selectInstance(orders.id);
    InstanceDetailView *detail = main->detailView();
    detail->splitter()->setSizes({460, 300}); // the whole form, with the health section
    ok &= waitUntil([&] { return instances.logs(orders.id).constLast().endsWith(QStringLiteral("GET /health 200")); });
    wait(3500); // a later reading, with an uptime
    ok &= grab(&window, folder, QStringLiteral("12-detail-running-health"));
    detail->splitter()->setSizes({300, 460});

    // The quick actions, in the pane and in a row's menu.
    QMenu *actions = detail->actionsButton()->menu();
    actions->popup(detail->actionsButton()->mapToGlobal(QPoint(0, detail->actionsButton()->height())));
    settle();
    ok &= grabWithPopup(&window, actions,
                        detail->actionsButton()->mapTo(&window, QPoint(0, detail->actionsButton()->height())), folder,
                        QStringLiteral("13-detail-actions-menu"));
    actions->hide();
    InstanceListView *list = main->instanceList();
    const QRect row = list->visualRect(list->instanceModel()->indexOf(search.id));
    QMenu *rowMenu = main->contextMenu(search.id);
    rowMenu->popup(list->viewport()->mapToGlobal(row.center()));
    settle();
    ok &= grabWithPopup(&window, rowMenu, list->viewport()->mapTo(&window, row.center()), folder,
                        QStringLiteral("14-row-context-menu"));
    rowMenu->hide();
    delete rowMenu;

    // Find in the log; stepping to an earlier match pauses following.
    for (int i = 0; i < 40; ++i)
        instances.addLog(
            orders.id,
            QStringLiteral("GET /v1/keys/customer-%1 %2 %3 ms").arg(i).arg(i % 9 == 4 ? 404 : 200).arg(3 + i % 17));
    wait(200);
    detail->logsView()->showFindBar();
    LogFindBar *bar = detail->logsView()->findBar();
    bar->field()->setText(QStringLiteral("404"));
    bar->previousButton()->click();
    bar->previousButton()->click();
    ok &= grab(&window, folder, QStringLiteral("15-log-find-and-paused"));
    bar->dismiss();

    // A stop that overruns its deadline offers Force Stop, which asks first.
    ::kill(pidOf(orders.id), SIGSTOP);
    instances.stopInstance(orders);
    ok &= waitUntil([&] { return instances.isStopOverdue(orders.id); });
    ok &= grab(&window, folder, QStringLiteral("16-detail-stop-overdue"));
    detail->startStopButton()->click();
    settle();
    if (auto *question = window.findChild<QMessageBox *>()) {
        const QPoint centre((window.width() - question->width()) / 2, (window.height() - question->height()) / 3);
        ok &= grabWithPopup(&window, question, centre, folder, QStringLiteral("17-force-stop-confirmation"));
        question->close();
    }
    instances.forceStopInstance(orders.id);
    ok &= waitUntil([&] { return instances.runState(orders.id) == InstanceManager::RunState::Stopped; });
    ok &= grab(&window, folder, QStringLiteral("18-detail-last-run"));

    ::kill(pidOf(billing.id), SIGKILL);
    waitUntil([&] { return instances.runState(billing.id) == InstanceManager::RunState::Stopped; });
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(app); // the application icon lives in the library
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Halvex Kelvane"));
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

    const QString server = QCoreApplication::applicationDirPath() + QStringLiteral("/halvex");
    if (QFileInfo(server).isExecutable())
        ok &= grabLifecycle(root.filePath(QStringLiteral("lifecycle")), server, folder);
    else
        std::fprintf(stderr, "no server at %s: the screens of running servers are left out\n", qPrintable(server));
    return ok ? 0 : 1;
}
