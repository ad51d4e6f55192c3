// SPDX-License-Identifier: MIT
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonObject>
#include <QStringList>

// What the program's arguments ask for: the application itself (with its window, or in the
// background), one command for the running application, help, the version, or nothing sensible.
class CommandLine
{
public:
    enum class Action { RunApplication, SendCommand, ShowHelp, ShowVersion, UsageError };

    // arguments: the program's arguments, the program itself first.
    explicit CommandLine(const QStringList &arguments);

    Action action() const { return m_action; }
    // RunApplication: without a window until asked to show it.
    bool background() const { return m_parser.isSet(m_background); }
    // SendCommand: the request for the running application; paths are made absolute here, since
    // the application does not share this process's working directory.
    QJsonObject request() const { return m_request; }
    // UsageError: what is wrong.
    QString error() const { return m_error; }

    // Needs a QCoreApplication.
    QString helpText() const { return m_parser.helpText(); }
    static QString usageLine();
    static QString versionText();

private:
    Action decide(const QStringList &positional);

    QCommandLineParser m_parser;
    QCommandLineOption m_json;
    QCommandLineOption m_wait;
    QCommandLineOption m_follow;
    QCommandLineOption m_background;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    Action m_action = Action::UsageError;
    QJsonObject m_request;
    QString m_error;
};
