// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Turns the chunks of a child's output into text, one chunk at a time. A chunk that is not valid
// UTF-8 is dropped; a multi-byte character split between two chunks is carried over to the next
// one instead of making both invalid.
class Utf8ChunkDecoder
{
public:
    // The chunk's text, or nothing when it was dropped or held back whole.
    std::optional<QString> decode(const QByteArray &chunk);

private:
    QByteArray m_carry;
};
