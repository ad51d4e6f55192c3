// SPDX-License-Identifier: MIT
// Renders every window of the application in representative states to PNG files, for review by
// eye: halvex-screenshots FOLDER [--dark] [--scale FACTOR]. --dark renders with a dark desktop
// palette, --scale at a scale factor as QT_SCALE_FACTOR would. Runs on managers over a temporary
// directory; run it with QT_QPA_PLATFORM=offscreen (scripts/screenshots does).
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
#include "views/AccessibleStyle.h"
#include "views/AddEditInstanceView.h"
#include "views/AlertDialog.h"
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
#include "views/SystemColors.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

struct Options
{
    QString folder = QStringLiteral("screenshots");
    bool dark = false;
    QByteArray scale;
};

Options parseOptions(int argc, char *argv[])
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dark") == 0)
            options.dark = true;
        else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc)
            options.scale = argv[++i];
        else
            options.folder = QString::fromLocal8Bit(argv[i]);
    }
    return options;
}

// A dark desktop palette of the kind dark themes hand out, secondary text as faint as they make it.
QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2e);
    const QColor base(0x1e, 0x1e, 0x20);
    const QColor text(0xee, 0xee, 0xee);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0xee, 0xee, 0xee, 0x70));
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, QColor(0x55, 0x55, 0x58));
    palette.setColor(QPalette::Midlight, QColor(0x47, 0x47, 0x4a));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x33));
    palette.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1c));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x8e, 0xe6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    palette.setColor(QPalette::LinkVisited, QColor(0xb4, 0x8c, 0xff));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    return palette;
}

struct Managers
{
    explicit Managers(const QString &root, const QUrl &releaseUrl = QUrl(QStringLiteral("https://127.0.0.1:9")))
        : paths(root + QStringLiteral("/state"))
        , settings(paths)
        , instances(&settings, paths.registryFile())
        , binary(&settings, paths, &fileChooser, releaseUrl)
        , importExport(&settings, &instances, &fileChooser)
        , preferences(root + QStringLiteral("/config"))
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
        context.preferences = &preferences;
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
    Preferences preferences;
};

void settle(int milliseconds = 0)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
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

// The whole screen with the windows where they are, in their frames: shows where windows open
// and whether they fit.
bool grabScreen(const QList<QWidget *> &windows, const QDir &folder, const QString &name)
{
    settle();
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen->devicePixelRatio();
    QPixmap picture(screen->geometry().size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(QColor(0x6b, 0x72, 0x80));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    for (QWidget *window : windows) {
        const QRect frame = window->frameGeometry();
        const QRect client = window->geometry();
        painter.fillRect(frame, QColor(0x3b, 0x40, 0x4a));
        painter.drawPixmap(client.topLeft(), window->grab());
    }
    painter.end();
    return save(picture, folder, name);
}

// window with another window (a sheet, an alert, a menu) drawn over it where it would appear, a
// dialog with a title bar as a window manager would draw it.
bool grabOver(QWidget *window, QWidget *over, const QDir &folder, const QString &name)
{
    settle();
    const bool titled = !qobject_cast<QMenu *>(over);
    const int titleHeight = titled ? over->fontMetrics().height() + 8 : 0;
    const QRect base = window->geometry();
    const QRect top = over->geometry().adjusted(-1, -1 - titleHeight, 1, 1);
    const QRect canvas = base.united(top);
    const qreal ratio = window->devicePixelRatioF();
    QPixmap picture(canvas.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(QColor(0x6b, 0x72, 0x80));
    QPainter painter(&picture);
    painter.translate(-canvas.topLeft());
    painter.drawPixmap(base.topLeft(), window->grab());
    painter.fillRect(top, QColor(0x3b, 0x40, 0x4a));
    if (titled) {
        painter.setPen(Qt::white);
        painter.drawText(QRect(top.left(), top.top(), top.width(), titleHeight), Qt::AlignCenter, over->windowTitle());
    }
    painter.drawPixmap(over->geometry().topLeft(), over->grab());
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
    // The symbols need a colour emoji font.
    instances.addLog(instance.id, QStringLiteral("✅ Architecture check passed (x86_64)"));
    instances.addLog(instance.id, QStringLiteral("⚠️ Port 8080 was busy a moment ago"));
    instances.addLog(instance.id, QStringLiteral("💡 Database is still accessible at http://localhost:8080"));
}

// The shown window of this type (an alert, a chooser), or null.
template<typename T>
T *shownWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *match = qobject_cast<T *>(widget); match && match->isVisible())
            return match;
    }
    return nullptr;
}

// Moves the keyboard focus forward until it reaches target, so that its focus ring shows.
void tabTo(QWidget *window, QWidget *target)
{
    window->activateWindow();
    settle();
    for (int i = 0; i < 40 && QApplication::focusWidget() != target; ++i) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : window, &tab);
    }
    settle();
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
    ok &= waitUntil([&] { return !instances.isLaunching(billing.id); }) && pidOf(billing.id) > 0;
    if (ok)
        ::kill(pidOf(billing.id), SIGSTOP);
    instances.startInstance(orders);
    ok &= waitUntil([&] { return instances.runState(orders.id) == InstanceManager::RunState::Running; });
    main->selectInstance(billing.id);
    ok &= grab(&window, folder, QStringLiteral("24-detail-starting"));

    main->selectInstance(orders.id);
    InstanceDetailView *detail = main->detailView();
    detail->splitter()->setSizes({460, 300}); // the whole form, with the health section
    ok &= waitUntil([&] { return instances.logs(orders.id).constLast().endsWith(QStringLiteral("GET /health 200")); });
    wait(3500); // a later reading, with an uptime
    ok &= grab(&window, folder, QStringLiteral("25-detail-running-health"));
    detail->splitter()->setSizes({300, 460});

    // The quick actions, in the pane and in a row's menu.
    QMenu *actions = detail->actionsButton()->menu();
    actions->popup(detail->actionsButton()->mapToGlobal(QPoint(0, detail->actionsButton()->height())));
    settle();
    ok &= grabWithPopup(&window, actions,
                        detail->actionsButton()->mapTo(&window, QPoint(0, detail->actionsButton()->height())), folder,
                        QStringLiteral("26-detail-actions-menu"));
    actions->hide();
    InstanceListView *list = main->instanceList();
    const QRect row = list->visualRect(list->instanceModel()->indexOf(search.id));
    QMenu *rowMenu = main->contextMenu(search.id);
    rowMenu->popup(list->viewport()->mapToGlobal(row.center()));
    settle();
    ok &= grabWithPopup(&window, rowMenu, list->viewport()->mapTo(&window, row.center()), folder,
                        QStringLiteral("27-row-context-menu"));
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
    ok &= grab(&window, folder, QStringLiteral("28-log-find-and-paused"));
    bar->dismiss();

    // A stop that overruns its deadline offers Force Stop, which asks first.
    ::kill(pidOf(orders.id), SIGSTOP);
    instances.stopInstance(orders);
    ok &= waitUntil([&] { return instances.isStopOverdue(orders.id); });
    ok &= grab(&window, folder, QStringLiteral("29-detail-stop-overdue"));
    detail->startStopButton()->click();
    settle();
    if (auto *question = shownWindow<AlertDialog>()) {
        const QPoint centre((window.width() - question->width()) / 2, (window.height() - question->height()) / 3);
        ok &= grabWithPopup(&window, question, centre, folder, QStringLiteral("30-force-stop-confirmation"));
        question->close();
    }
    instances.forceStopInstance(orders.id);
    ok &= waitUntil([&] { return instances.runState(orders.id) == InstanceManager::RunState::Stopped; });
    ok &= grab(&window, folder, QStringLiteral("31-detail-last-run"));

    if (const pid_t billingPid = pidOf(billing.id); billingPid > 0)
        ::kill(billingPid, SIGKILL);
    waitUntil([&] { return instances.runState(billing.id) == InstanceManager::RunState::Stopped; });
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    const Options options = parseOptions(argc, argv);
    if (!options.scale.isEmpty())
        qputenv("QT_SCALE_FACTOR", options.scale);
    Q_INIT_RESOURCE(app); // the application icon lives in the library
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Halvex Kelvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/halvex-kelvane.svg")));
    QApplication::setStyle(new AccessibleStyle);
    // An explicit palette is not the desktop's: the style does not see it, so it is made readable
    // here as the style makes a desktop's palette readable.
    if (options.dark)
        QApplication::setPalette(SystemColors::readablePalette(darkPalette()));
    const QDir folder(options.folder);
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }
    QTemporaryDir root;
    bool ok = save(QIcon(QStringLiteral(":/app/halvex-kelvane.svg")).pixmap(128, 128), folder,
                   QStringLiteral("00-application-icon"));

    {
        // First start: nothing configured, no instance; the settings open by themselves.
        Managers managers(root.filePath(QStringLiteral("empty")));
        ContentView window(managers.context());
        window.show();
        settle(50);
        SettingsView *settings = window.mainView()->settingsSheet();
        ok &= grab(&window, folder, QStringLiteral("01-empty-state-without-executable"));
        if (settings)
            ok &= grabScreen({&window, settings}, folder, QStringLiteral("02-first-start-settings-on-screen"));
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
        // A configured executable, three instances, one running and selected, with a long log.
        Managers managers(root.filePath(QStringLiteral("working")));
        managers.settings.setBinaryPath(
            QUrl::fromLocalFile(writeExecutable(root.filePath(QStringLiteral("working/halvex")))));
        managers.instances.addInstance(
            HalvexInstance::create(QStringLiteral("orders"), QStringLiteral("c0ffee-orders-token-7f3a"), 8080));
        managers.instances.addInstance(
            HalvexInstance::create(QStringLiteral("billing"), QStringLiteral("b1ll1ng-token-22"), 8081));
        managers.instances.addInstance(
            HalvexInstance::create(QStringLiteral("analytics"), QStringLiteral("an4lyt1cs"), 8082));
        const HalvexInstance orders = managers.instances.instances().first();
        fillLog(managers.instances, orders);
        managers.instances.markInstanceRunning(orders.id);

        SettingsView installed(&managers.settings, &managers.binary, &managers.importExport, &managers.fileChooser,
                               &managers.prompter);
        ok &= grab(&installed, folder, QStringLiteral("05-settings-installed"));
        installed.changeBinaryMenu()->popup(
            installed.changeBinaryButton()->mapToGlobal(QPoint(0, installed.changeBinaryButton()->height())));
        ok &= grabOver(&installed, installed.changeBinaryMenu(), folder, QStringLiteral("06-settings-change-binary"));
        installed.changeBinaryMenu()->hide();
        installed.hide();

        ContentView window(managers.context());
        window.show();
        ok &= grab(&window, folder, QStringLiteral("07-list-nothing-selected"));
        window.mainView()->selectInstance(orders.id);
        managers.instances.addLog(orders.id, QStringLiteral("GET /v1/health 200 1 ms"));
        // The log view draws new entries on its next frame.
        settle(200);
        ok &= grab(&window, folder, QStringLiteral("08-detail-running-with-long-log"));
        ok &= grabScreen({&window}, folder, QStringLiteral("09-main-window-on-screen"));

        // The keyboard on the coloured Stop button: its focus ring.
        tabTo(&window, window.mainView()->detailView()->startStopButton());
        ok &= grab(&window, folder, QStringLiteral("10-keyboard-focus-on-stop"));
        for (QToolButton *button : window.findChildren<QToolButton *>()) {
            if (button->defaultAction() == window.mainView()->startAllAction())
                tabTo(&window, button);
        }
        ok &= grab(&window, folder, QStringLiteral("11-keyboard-focus-on-start-all"));

        InstanceListView *list = window.mainView()->instanceList();
        QMenu *menu = window.mainView()->contextMenu(managers.instances.instances().at(1).id);
        menu->popup(list->viewport()->mapToGlobal(list->visualRect(list->model()->index(1, 0)).center()));
        ok &= grabOver(&window, menu, folder, QStringLiteral("12-row-menu"));
        menu->hide();

        window.mainView()->deleteInstance(managers.instances.instances().at(1).id);
        if (auto *question = shownWindow<AlertDialog>()) {
            ok &= grabOver(&window, question, folder, QStringLiteral("13-delete-confirmation"));
            question->reject();
        }

        window.mainView()->showAddInstance();
        settle();
        if (AddEditInstanceView *form = window.mainView()->instanceForm()) {
            ok &= grabOver(&window, form, folder, QStringLiteral("14-form-new-instance-disabled-create"));
            form->nameField()->setText(QStringLiteral("Orders"));
            form->portField()->setText(QStringLiteral("8080"));
            form->tokenField()->setText(QStringLiteral("secret"));
            ok &= grab(form, folder, QStringLiteral("15-form-new-instance"));
            form->saveInstance();
            settle();
            if (auto *alert = shownWindow<AlertDialog>()) {
                ok &= grabOver(form, alert, folder, QStringLiteral("16-form-error-alert"));
                alert->reject();
            }
            form->reject();
            settle();
        }

        window.mainView()->editInstance(managers.instances.instances().last().id);
        settle();
        if (AddEditInstanceView *edit = window.mainView()->instanceForm()) {
            ok &= grab(edit, folder, QStringLiteral("17-form-edit-instance"));
            edit->reject();
            settle();
        }

        managers.prompter.alert(&window, QStringLiteral("Export Successful"),
                                QStringLiteral("Saved 3 instance(s) and the settings to:\n%1")
                                    .arg(QDir::homePath() + QStringLiteral("/halvex-config-2025-05-14-0930.json")));
        if (auto *alert = shownWindow<AlertDialog>()) {
            ok &= grabOver(&window, alert, folder, QStringLiteral("18-export-confirmation"));
            alert->reject();
        }

        // The file chooser as Qt draws it where the desktop offers none of its own.
        managers.binary.selectBinary();
        settle(300);
        if (auto *chooser = shownWindow<QFileDialog>()) {
            ok &= grab(chooser, folder, QStringLiteral("19-file-chooser-fallback"));
            chooser->reject();
        }
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
        waitFor([&] { return !managers.instances.isLaunching(all.at(2).id); });
        managers.instances.stopInstance(all.at(3));
        TrayMenu menu(&managers.instances);
        menu.popup(QPoint(0, 0));
        ok &= save(menu.grab(), folder, QStringLiteral("20-tray-menu"));
        menu.hide();
        managers.instances.stopAllInstances();
        waitFor([&] {
            return std::all_of(all.cbegin(), all.cend(), [&](const HalvexInstance &instance) {
                return managers.instances.runState(instance.id) == InstanceManager::RunState::Stopped;
            });
        });

        AboutView about(&managers.settings);
        ok &= grab(&about, folder, QStringLiteral("21-about"));

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
        ok &= grab(&settings, folder, QStringLiteral("22-settings-desktop-and-about"));

        // The first close into the background on a desktop without a tray.
        ContentView window(managers.context());
        window.resize(1000, 680);
        window.show();
        settle();
        BackgroundNotice notice(&preferences, &managers.prompter, nullptr);
        notice.windowClosed(&window);
        settle();
        if (auto *alert = shownWindow<AlertDialog>())
            ok &= save(alert->grab(), folder, QStringLiteral("23-background-notice-without-tray"));
    }

    const QString server = QCoreApplication::applicationDirPath() + QStringLiteral("/halvex");
    if (QFileInfo(server).isExecutable())
        ok &= grabLifecycle(root.filePath(QStringLiteral("lifecycle")), server, folder);
    else
        std::fprintf(stderr, "no server at %s: the screens of running servers are left out\n", qPrintable(server));
    return ok ? 0 : 1;
}
