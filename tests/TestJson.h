// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

// JSON written with single quotes, so that test data reads without escapes.
inline QByteArray json(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}
