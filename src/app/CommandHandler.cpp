// SPDX-License-Identifier: MIT
#include "CommandHandler.h"

#include "CommandConnection.h"
#include "LogCapture.h"
#include "backup/ImportExportManager.h"
#include "instances/ServerSupervisor.h"
#include "views/ContentView.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QPointer>
#include <QTimer>

namespace {

enum Exit { Done = 0, Failed = 1, Unknown = 2, NotRunning = 3, NoSuchInstance = 4 };

QString failureText(const QString &headline, const QStringList &reasons)
{
    return reasons.isEmpty() ? headline : headline + u'\n' + reasons.join(u'\n');
}

} // namespace

CommandHandler::CommandHandler(InstanceManager *instances, ImportExportManager *importExport, ContentView *window,
                               QObject *parent)
    : QObject(parent)
    , m_instances(instances)
    , m_importExport(importExport)
    , m_window(window)
{}

QString CommandHandler::stateName(InstanceManager::RunState state)
{
    switch (state) {
    case InstanceManager::RunState::Starting:
        return QStringLiteral("starting");
    case InstanceManager::RunState::Running:
        return QStringLiteral("running");
    case InstanceManager::RunState::Stopping:
        return QStringLiteral("stopping");
    case InstanceManager::RunState::Stopped:
        break;
    }
    return QStringLiteral("stopped");
}

void CommandHandler::handle(const QJsonObject &request, CommandConnection *connection)
{
    const QString command = request.value(QStringLiteral("command")).toString();
    if (command == u"list")
        return list(connection);
    if (command == u"export")
        return exportTo(request.value(QStringLiteral("path")).toString(), connection);
    if (command == u"import")
        return importFrom(request.value(QStringLiteral("path")).toString(), connection);
    if (command == u"show")
        return show(connection);
    if (command == u"quit")
        return quit(connection);

    const QStringList named{QStringLiteral("start"), QStringLiteral("stop"), QStringLiteral("status"),
                            QStringLiteral("logs")};
    if (!named.contains(command))
        return connection->fail(Unknown, QStringLiteral("Unknown command '%1'").arg(command));
    const QString name = request.value(QStringLiteral("name")).toString();
    const auto instance = m_instances->instanceNamed(name);
    if (!instance)
        return connection->fail(NoSuchInstance, QStringLiteral("No instance is named '%1'").arg(name));
    if (command == u"start")
        return start(*instance, request.value(QStringLiteral("wait")).toBool(), connection);
    if (command == u"stop")
        return stop(*instance, request.value(QStringLiteral("wait")).toBool(), connection);
    if (command == u"status")
        return status(*instance, connection);
    logs(*instance, request.value(QStringLiteral("follow")).toBool(), connection);
}

void CommandHandler::list(CommandConnection *connection)
{
    QJsonArray instances;
    for (const HalvexInstance &instance : m_instances->instances()) {
        const auto pid = m_instances->processId(instance.id);
        instances.append(QJsonObject{
            {QStringLiteral("name"), instance.name},
            {QStringLiteral("port"), instance.port},
            {QStringLiteral("state"), stateName(m_instances->runState(instance.id))},
            {QStringLiteral("url"), instance.localURL()},
            {QStringLiteral("pid"), pid ? QJsonValue(*pid) : QJsonValue(QJsonValue::Null)},
        });
    }
    connection->finish(QJsonObject{{QStringLiteral("instances"), instances}});
}

void CommandHandler::start(const HalvexInstance &instance, bool wait, CommandConnection *connection)
{
    const QUuid id = instance.id;
    switch (m_instances->runState(id)) {
    case InstanceManager::RunState::Running:
        return connection->finish({});
    case InstanceManager::RunState::Stopping:
        return connection->fail(Failed, QStringLiteral("Instance '%1' is still stopping; start it again once it "
                                                       "has stopped")
                                            .arg(instance.name));
    case InstanceManager::RunState::Starting: {
        if (!wait)
            return connection->finish({});
        auto *capture = new LogCapture(m_instances, id, connection);
        capture->markLaunched();
        return awaitRunning(instance, capture, connection);
    }
    case InstanceManager::RunState::Stopped:
        break;
    }

    auto *capture = new LogCapture(m_instances, id, connection);
    connect(m_instances, &InstanceManager::launchEnded, connection,
            [this, instance, wait, capture, connection](const QUuid &launched, bool started) {
                if (launched != instance.id)
                    return;
                disconnect(m_instances, &InstanceManager::launchEnded, connection, nullptr);
                // Every check comes before the launch: a start that launched nothing has failed.
                if (!started)
                    return connection->fail(
                        Failed, failureText(QStringLiteral("Instance '%1' did not start:").arg(instance.name),
                                            capture->reasons()));
                capture->markLaunched();
                if (!wait)
                    return connection->finish({});
                awaitRunning(instance, capture, connection);
            });
    m_instances->startInstance(instance);
}

void CommandHandler::awaitRunning(const HalvexInstance &instance, LogCapture *capture, CommandConnection *connection)
{
    const QUuid id = instance.id;
    const QString name = instance.name;
    connect(m_instances, &InstanceManager::runStateChanged, connection,
            [this, id, name, capture, connection](const QUuid &changed) {
                if (changed != id)
                    return;
                switch (m_instances->runState(id)) {
                case InstanceManager::RunState::Running:
                    return connection->finish({});
                case InstanceManager::RunState::Stopped:
                    return connection->fail(
                        Failed,
                        failureText(QStringLiteral("Instance '%1' did not start:").arg(name), capture->reasons()));
                case InstanceManager::RunState::Stopping:
                    return connection->fail(
                        Failed, QStringLiteral("Instance '%1' was asked to stop before it was ready").arg(name));
                case InstanceManager::RunState::Starting:
                    return;
                }
            });

    // The server's own readiness deadline, counted from its start, not from this request.
    const QDateTime since = m_instances->runningSince(id).value_or(QDateTime::currentDateTime());
    const qint64 deadlineMs = std::chrono::milliseconds(ServerSupervisor::readinessDeadline).count();
    const qint64 remainingMs = qMax<qint64>(0, deadlineMs - since.msecsTo(QDateTime::currentDateTime()));
    QTimer::singleShot(std::chrono::milliseconds(remainingMs), connection, [this, id, instance, connection] {
        if (m_instances->runState(id) != InstanceManager::RunState::Starting)
            return;
        connection->fail(Failed, QStringLiteral("Instance '%1' is not accepting connections on port %2 after %3 "
                                                "seconds; it is still starting")
                                     .arg(instance.name)
                                     .arg(instance.port)
                                     .arg(ServerSupervisor::readinessDeadline.count()));
    });
}

void CommandHandler::stop(const HalvexInstance &instance, bool wait, CommandConnection *connection)
{
    const QUuid id = instance.id;
    if (m_instances->runState(id) == InstanceManager::RunState::Stopped)
        return connection->finish({});
    auto *capture = new LogCapture(m_instances, id, connection);
    m_instances->stopInstance(instance);
    if (!wait)
        return connection->finish({});

    const QString name = instance.name;
    const auto check = [this, id, name, capture, connection] {
        if (m_instances->runState(id) == InstanceManager::RunState::Stopped)
            connection->finish({});
        else if (m_instances->isStopOverdue(id))
            connection->fail(Failed,
                             failureText(QStringLiteral("Instance '%1' did not stop:").arg(name), capture->reasons()));
    };
    connect(m_instances, &InstanceManager::runStateChanged, connection, [id, check](const QUuid &changed) {
        if (changed == id)
            check();
    });
    check();
}

void CommandHandler::status(const HalvexInstance &instance, CommandConnection *connection)
{
    const InstanceManager::RunState state = m_instances->runState(instance.id);
    connection->finish(QJsonObject{{QStringLiteral("state"), stateName(state)}},
                       state == InstanceManager::RunState::Running ? Done : NotRunning);
}

void CommandHandler::logs(const HalvexInstance &instance, bool follow, CommandConnection *connection)
{
    const QJsonObject entries{{QStringLiteral("entries"), QJsonArray::fromStringList(m_instances->logs(instance.id))}};
    if (!follow)
        return connection->finish(entries);

    connection->send(entries);
    const QUuid id = instance.id;
    connect(m_instances, &InstanceManager::logAppended, connection,
            [id, connection](const QUuid &changed, const QString &entry) {
                if (changed == id)
                    connection->send(QJsonObject{{QStringLiteral("entry"), entry}});
            });
    const QString name = instance.name;
    connect(m_instances, &InstanceManager::instanceRemoved, connection, [this, id, name, connection] {
        if (!m_instances->instance(id))
            connection->fail(NoSuchInstance, QStringLiteral("Instance '%1' was deleted").arg(name));
    });
}

void CommandHandler::exportTo(const QString &path, CommandConnection *connection)
{
    const QPointer<CommandConnection> client(connection);
    m_importExport->exportTo(path, [this, client](bool written) {
        if (!client)
            return;
        if (written)
            client->finish({});
        else
            client->fail(Failed, m_importExport->lastError());
    });
}

void CommandHandler::importFrom(const QString &path, CommandConnection *connection)
{
    const QPointer<CommandConnection> client(connection);
    m_importExport->importFrom(path, [this, client](bool success, int imported, int skipped) {
        if (!client)
            return;
        if (success)
            client->finish(
                QJsonObject{{QStringLiteral("message"), ImportExportManager::importSummary(imported, skipped)}});
        else
            client->fail(Failed, m_importExport->lastError());
    });
}

void CommandHandler::show(CommandConnection *connection)
{
    m_window->present();
    connection->finish({});
}

void CommandHandler::quit(CommandConnection *connection)
{
    connection->finish({});
    // The window's Quit command: every running server is asked to stop, nothing waits for them.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}
