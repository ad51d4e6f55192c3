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

// Writers into a buffer the caller has made large enough, each returning the end of what it wrote;
// for records written by the thousand, where appending piece by piece costs more than the text.
// Room enough for any text writeNumber() writes.
inline constexpr qsizetype longestNumber = 32;
char *writeNumber(char *out, double value);
// The string as appendString() writes it, when every character is written as itself (printable
// ASCII other than quotes and backslashes): size() + 2 bytes. For any other text it returns
// nullptr, what it wrote being of no use.
char *writePlainString(char *out, QStringView text);

} // namespace JsonText
