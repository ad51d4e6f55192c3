// SPDX-License-Identifier: MIT
#include "CommandLine.h"

#include "core/Version.h"

#include <QFileInfo>

#include <array>

namespace {

// Each command: its word, what its one argument is (none when it takes none) and the option it
// accepts (none when it accepts none).
struct CommandForm
{
    const char *word;
    const char *argument;
    const char *option;
};

constexpr std::array commandForms{
    CommandForm{"list", nullptr, "json"},   CommandForm{"start", "NAME", "wait"},
    CommandForm{"stop", "NAME", "wait"},    CommandForm{"status", "NAME", nullptr},
    CommandForm{"logs", "NAME", "follow"},  CommandForm{"export", "FILE", nullptr},
    CommandForm{"import", "FILE", nullptr}, CommandForm{"show", nullptr, nullptr},
    CommandForm{"quit", nullptr, nullptr},
};

const CommandForm *formOf(const QString &word)
{
    for (const CommandForm &form : commandForms) {
        if (word == QLatin1StringView(form.word))
            return &form;
    }
    return nullptr;
}

} // namespace

CommandLine::CommandLine(const QStringList &arguments)
    : m_json(QStringLiteral("json"), QStringLiteral("list: print a JSON array."))
    , m_wait(QStringLiteral("wait"), QStringLiteral("start, stop: return once the server runs, or has ended."))
    , m_follow(QStringLiteral("follow"), QStringLiteral("logs: keep printing entries as they come."))
    , m_background(QStringLiteral("background"), QStringLiteral("Start the application without a window."))
    , m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."))
    , m_version({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version."))
{
    m_parser.setApplicationDescription(QStringLiteral(
        "Runs and manages local Halvex servers. With a command it talks to the running application,\n"
        "and starts one in the background when none runs.\n"
        "\n"
        "Commands:\n"
        "  list [--json]         every instance: name, port, state, URL\n"
        "  start NAME [--wait]   start an instance's server\n"
        "  stop NAME [--wait]    stop an instance's server\n"
        "  status NAME           exit 0 when running, 3 when not (yet), 4 when there is no such instance\n"
        "  logs NAME [--follow]  the instance's log\n"
        "  export FILE           save the configuration to FILE\n"
        "  import FILE           import the configuration in FILE\n"
        "  show                  show the window\n"
        "  quit                  quit the application, stopping every server"));
    m_parser.addOptions({m_json, m_wait, m_follow, m_background, m_help, m_version});
    m_parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do; see above."),
                                   QStringLiteral("[command [NAME|FILE]]"));
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return;
    }
    m_action = decide(m_parser.positionalArguments());
}

CommandLine::Action CommandLine::decide(const QStringList &positional)
{
    if (m_parser.isSet(m_help))
        return Action::ShowHelp;
    if (m_parser.isSet(m_version))
        return Action::ShowVersion;

    const std::array commandOptions{&m_json, &m_wait, &m_follow};
    if (positional.isEmpty()) {
        for (const QCommandLineOption *option : commandOptions) {
            if (m_parser.isSet(*option)) {
                m_error = QStringLiteral("--%1 needs a command").arg(option->names().constFirst());
                return Action::UsageError;
            }
        }
        return Action::RunApplication;
    }

    const QString word = positional.constFirst();
    const CommandForm *form = formOf(word);
    if (!form) {
        m_error = QStringLiteral("Unknown command '%1'").arg(word);
        return Action::UsageError;
    }
    const qsizetype expected = form->argument ? 2 : 1;
    if (positional.size() != expected) {
        m_error = form->argument ? QStringLiteral("%1 takes one %2").arg(word, QLatin1StringView(form->argument))
                                 : QStringLiteral("%1 takes no arguments").arg(word);
        return Action::UsageError;
    }
    if (m_parser.isSet(m_background)) {
        m_error = QStringLiteral("--background starts the application; it takes no command");
        return Action::UsageError;
    }
    for (const QCommandLineOption *option : commandOptions) {
        const QString name = option->names().constFirst();
        if (m_parser.isSet(*option) && (!form->option || name != QLatin1StringView(form->option))) {
            m_error = QStringLiteral("%1 does not take --%2").arg(word, name);
            return Action::UsageError;
        }
    }

    m_request.insert(QStringLiteral("command"), word);
    if (form->argument) {
        const QString argument = positional.at(1);
        if (QLatin1StringView(form->argument) == QLatin1StringView("FILE"))
            m_request.insert(QStringLiteral("path"), QFileInfo(argument).absoluteFilePath());
        else
            m_request.insert(QStringLiteral("name"), argument);
    }
    if (form->option)
        m_request.insert(QLatin1StringView(form->option), m_parser.isSet(QString::fromLatin1(form->option)));
    return Action::SendCommand;
}

QString CommandLine::usageLine()
{
    return QStringLiteral("Usage: halvex-kelvane [--background] | list [--json] | start NAME [--wait] | "
                          "stop NAME [--wait] | status NAME | logs NAME [--follow] | export FILE | import FILE | "
                          "show | quit");
}

QString CommandLine::versionText()
{
    return QStringLiteral("halvex-kelvane " HALVEX_KELVANE_VERSION);
}
