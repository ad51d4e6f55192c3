// SPDX-License-Identifier: MIT
#include "LoginAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// An argument of an Exec line as the desktop entry format wants it: quoted when it holds a
// character that the launcher would otherwise take for a separator or shell syntax, with the
// characters that stay special inside quotes escaped; "%" doubled, since a single one starts a
// field code.
QString execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString escaped;
    bool quote = argument.isEmpty();
    for (const QChar c : argument) {
        if (reserved.contains(c))
            quote = true;
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            escaped += u'\\';
        escaped += c;
        if (c == u'%')
            escaped += u'%';
    }
    return quote ? QChar(u'"') + escaped + QChar(u'"') : escaped;
}

// A value of the string type: backslashes and control characters escaped. Applied after the Exec
// quoting, as a reader undoes it before.
QString stringValue(const QString &value)
{
    QString escaped;
    for (const QChar c : value) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

LoginAutostart::LoginAutostart(const QString &configHome, QString command)
    : m_entryPath(configHome + QStringLiteral("/autostart/halvex-kelvane.desktop"))
    , m_command(std::move(command))
{}

QString LoginAutostart::standardConfigHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString LoginAutostart::commandFor(const QString &programPath)
{
    const QFileInfo program(programPath);
    const QString onPath = QStandardPaths::findExecutable(program.fileName());
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == program.canonicalFilePath())
        return program.fileName();
    return program.absoluteFilePath();
}

bool LoginAutostart::isEnabled() const
{
    QFile file(m_entryPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inEntry || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if ((key == u"Hidden" && value == u"true") || (key == u"X-GNOME-Autostart-enabled" && value == u"false"))
            return false;
    }
    return true;
}

QByteArray LoginAutostart::entryText() const
{
    const QString exec = execArgument(m_command) + QStringLiteral(" --background");
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Halvex Kelvane\n"
                          "Comment=Run and manage local Halvex database servers\n"
                          "Exec=%1\n"
                          "Icon=halvex-kelvane\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(stringValue(exec))
        .toUtf8();
}

bool LoginAutostart::setEnabled(bool enabled, QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!enabled) {
        QFile file(m_entryPath);
        if (file.exists() && !file.remove())
            return fail(QStringLiteral("Could not remove %1: %2").arg(m_entryPath, file.errorString()));
        return true;
    }
    const QString folder = QFileInfo(m_entryPath).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("Could not create the folder %1").arg(folder));
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(entryText()) < 0 || !file.commit())
        return fail(QStringLiteral("Could not write %1: %2").arg(m_entryPath, file.errorString()));
    return true;
}
