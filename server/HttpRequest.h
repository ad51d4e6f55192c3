// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>

#include <utility>

// One complete request as the parser hands it over.
struct HttpRequest
{
    QByteArray method;
    QByteArray path;                                  // the request target without its query
    QList<std::pair<QByteArray, QByteArray>> headers; // names in lower case, values without surrounding blanks
    QByteArray body;
    bool keepAlive = true;

    QByteArray header(const QByteArray &lowerCaseName) const
    {
        for (const auto &[name, value] : headers) {
            if (name == lowerCaseName)
                return value;
        }
        return {};
    }
};
