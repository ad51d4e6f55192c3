// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QStringView>

// Pieces of JSON text written straight into a byte array, for the files whose layout we fix
// ourselves and for the registry, which is written often and whole.
namespace JsonText {

enum class Slashes { Plain, Escaped };

// A JSON string: quotes, backslashes, control characters, lone surrogates and U+FEFF escaped,
// everything else as UTF-8; with Slashes::Escaped every '/' is written as "\/". Any text reads
// back unchanged.
void appendString(QByteArray &out, QStringView text, Slashes slashes = Slashes::Plain);
// The shortest text that reads back as exactly the same double.
void appendNumber(QByteArray &out, double value);

} // namespace JsonText
