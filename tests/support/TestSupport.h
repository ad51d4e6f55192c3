// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class QTemporaryDir;

// The small things every suite needs: free ports, files, log messages, and the programs that the
// tests run for real.
namespace TestSupport {

// A TCP port on the loopback address that nothing listens on at the moment of the call.
quint16 freePort();

QByteArray readFile(const QString &path);
// Writes the file whole (and the permissions, when given); false when it could not.
bool writeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions = {});
// JSON written with single quotes, so that test data reads without escapes.
QByteArray json(const char *text);

// The messages of log entries, without their "[time] " stamps.
QStringList logMessages(QStringList log);

// The real halvex server of this build, and the tiny misbehaving programs in tests/programs.
QString serverPath();
QString program(const char *name);

// Points HOME and the XDG directories of this process (and of the processes it starts) into
// directory, so that a test that builds the application as main() does, or runs its binary,
// never touches the user's own files, however the test is started.
void useHomeIn(const QTemporaryDir &directory);

} // namespace TestSupport
