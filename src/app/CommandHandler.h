// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"
#include "instances/InstanceManager.h"

#include <QJsonObject>
#include <QObject>

class CommandConnection;
class LogCapture;
class ImportExportManager;
class ContentView;

// Answers the command line's requests with the application's own managers, so that a command
// does exactly what the same action in the window does. Exit codes: 0 done, 1 failed (the reason
// on standard error), 2 a request it does not understand, 3 the instance is not running, 4 no
// such instance.
class CommandHandler final : public QObject
{
    Q_OBJECT

public:
    CommandHandler(InstanceManager *instances, ImportExportManager *importExport, ContentView *window,
                   QObject *parent = nullptr);

    void handle(const QJsonObject &request, CommandConnection *connection);

    // "running", "starting", "stopping", "stopped".
    static QString stateName(InstanceManager::RunState state);

private:
    void list(CommandConnection *connection);
    void start(const HalvexInstance &instance, bool wait, CommandConnection *connection);
    void awaitRunning(const HalvexInstance &instance, LogCapture *capture, CommandConnection *connection);
    void stop(const HalvexInstance &instance, bool wait, CommandConnection *connection);
    void status(const HalvexInstance &instance, CommandConnection *connection);
    void logs(const HalvexInstance &instance, bool follow, CommandConnection *connection);
    void exportTo(const QString &path, CommandConnection *connection);
    void importFrom(const QString &path, CommandConnection *connection);
    void show(CommandConnection *connection);
    void quit(CommandConnection *connection);

    InstanceManager *m_instances;
    ImportExportManager *m_importExport;
    ContentView *m_window;
};
