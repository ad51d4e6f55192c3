// SPDX-License-Identifier: MIT
#include "Utf8ChunkDecoder.h"

#include <QStringDecoder>

namespace {

// How many bytes at the end of data begin a character whose remaining bytes have not arrived.
qsizetype incompleteTail(const QByteArray &data)
{
    const qsizetype size = data.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(data.at(size - back));
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for the lead byte
        const int length = (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3 : (byte & 0xF8) == 0xF0 ? 4 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

std::optional<QString> Utf8ChunkDecoder::decode(const QByteArray &chunk)
{
    QByteArray data = std::exchange(m_carry, QByteArray()) + chunk;
    const qsizetype tail = incompleteTail(data);
    if (tail > 0) {
        m_carry = data.right(tail);
        data.chop(tail);
        if (data.isEmpty())
            return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
