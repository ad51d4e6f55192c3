// SPDX-License-Identifier: MIT
#include "AuthToken.h"

#include <QRandomGenerator>

namespace AuthToken {

QString generate()
{
    // The ASCII letters of both cases and the digits: 62 symbols, about 190 bits in 32 of them, and
    // nothing that a shell, a URL or an environment variable would treat specially.
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr quint32 symbols = sizeof alphabet - 1;
    constexpr int length = 32;
    QString token;
    token.reserve(length);
    for (int i = 0; i < length; ++i)
        token.append(QLatin1Char(alphabet[QRandomGenerator::system()->bounded(symbols)]));
    return token;
}

} // namespace AuthToken
