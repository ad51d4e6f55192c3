// SPDX-License-Identifier: MIT
#include "CommandClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

// How long the application may take to come up and answer.
constexpr auto patience = 20s;
constexpr auto retryInterval = 50ms;
// An application started in the background that does not answer within this is started again: it
// may have found the one that was quitting just then still holding the lock.
constexpr auto restartInterval = 2s;

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

CommandClient::CommandClient(QString socketPath, QJsonObject request, bool mayStartApplication, QObject *parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
    , m_request(std::move(request))
    , m_mayStartApplication(mayStartApplication)
    , m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(retryInterval);
    connect(m_retry, &QTimer::timeout, this, &CommandClient::connectToApplication);
}

CommandClient::~CommandClient() = default;

void CommandClient::start()
{
    QString error;
    Network::Module *network = Network::module(&error);
    if (!network) {
        print(stderr, QStringLiteral("halvex-kelvane: ") + error);
        return end(1);
    }
    m_link = network->localConnection();
    m_link->onConnected = [this] {
        m_connected = true;
        m_link->send(QJsonDocument(m_request).toJson(QJsonDocument::Compact) + '\n');
    };
    m_link->onError = [this] {
        if (!m_connected)
            connectionFailed();
    };
    connect(m_link->stream(), &QIODevice::readyRead, this, &CommandClient::readMessages);
    m_link->onDisconnected = [this] {
        readMessages();
        if (m_ended)
            return;
        // A followed log ends when the application does.
        if (m_heardBack && m_request.value(QStringLiteral("follow")).toBool())
            return end(0);
        print(stderr, QStringLiteral("halvex-kelvane: the application closed the connection without an answer"));
        end(1);
    };
    m_patience.setRemainingTime(patience);
    connectToApplication();
}

void CommandClient::connectToApplication()
{
    m_link->abort();
    m_link->connectToServer(m_socketPath);
}

void CommandClient::connectionFailed()
{
    // Nobody listens (no socket, or one left by an application that crashed): start one. It
    // takes the lock over from a crashed one; if one is running after all, it leaves at once.
    if (m_mayStartApplication && m_nextStart.hasExpired()) {
        if (!startApplication())
            return;
        m_nextStart.setRemainingTime(restartInterval);
    }
    if (m_patience.hasExpired()) {
        print(stderr, QStringLiteral("halvex-kelvane: the application does not answer at %1: %2")
                          .arg(m_socketPath, m_link->errorString()));
        return end(1);
    }
    m_retry->start();
}

bool CommandClient::startApplication()
{
    QProcess application;
    application.setProgram(QCoreApplication::applicationFilePath());
    application.setArguments({QStringLiteral("--background")});
    // It outlives this client: it must not hold on to its terminal or to a pipe a caller reads.
    application.setStandardInputFile(QProcess::nullDevice());
    application.setStandardOutputFile(QProcess::nullDevice());
    application.setStandardErrorFile(QProcess::nullDevice());
    application.setWorkingDirectory(QDir::homePath());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("DISPLAY")) && !environment.contains(QStringLiteral("WAYLAND_DISPLAY")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    application.setProcessEnvironment(environment);
    if (application.startDetached())
        return true;
    print(stderr, QStringLiteral("halvex-kelvane: cannot start the application: ") + application.errorString());
    end(1);
    return false;
}

void CommandClient::readMessages()
{
    while (!m_ended && m_link->stream()->canReadLine()) {
        const QJsonDocument document = QJsonDocument::fromJson(m_link->stream()->readLine());
        if (!document.isObject()) {
            print(stderr, QStringLiteral("halvex-kelvane: the application's answer is not JSON"));
            return end(1);
        }
        m_heardBack = true;
        present(document.object());
    }
}

void CommandClient::present(const QJsonObject &message)
{
    for (const QJsonValue entry : message.value(QStringLiteral("entries")).toArray())
        print(stdout, entry.toString());
    if (message.contains(QStringLiteral("entry")))
        print(stdout, message.value(QStringLiteral("entry")).toString());
    if (message.contains(QStringLiteral("instances")))
        presentList(message.value(QStringLiteral("instances")).toArray());
    if (message.contains(QStringLiteral("state")))
        print(stdout, message.value(QStringLiteral("state")).toString());
    if (message.contains(QStringLiteral("message")))
        print(stdout, message.value(QStringLiteral("message")).toString());
    if (message.contains(QStringLiteral("error")))
        print(stderr, message.value(QStringLiteral("error")).toString());
    if (message.contains(QStringLiteral("exit")))
        end(message.value(QStringLiteral("exit")).toInt(1));
}

void CommandClient::presentList(const QJsonArray &instances)
{
    if (m_request.value(QStringLiteral("json")).toBool()) {
        std::fputs(QJsonDocument(instances).toJson(QJsonDocument::Indented).constData(), stdout);
        std::fflush(stdout);
        return;
    }
    qsizetype nameWidth = 0;
    for (const QJsonValue instance : instances)
        nameWidth = std::max(nameWidth, instance[QStringLiteral("name")].toString().size());
    for (const QJsonValue instance : instances) {
        print(stdout, QStringLiteral("%1  %2  %3  %4")
                          .arg(instance[QStringLiteral("name")].toString(), -static_cast<int>(nameWidth))
                          .arg(instance[QStringLiteral("port")].toInteger(), 5)
                          .arg(instance[QStringLiteral("state")].toString(), -8)
                          .arg(instance[QStringLiteral("url")].toString()));
    }
}

void CommandClient::end(int exitCode)
{
    if (std::exchange(m_ended, true))
        return;
    m_retry->stop();
    emit finished(exitCode);
}
