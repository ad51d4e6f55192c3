// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

// A widget test draws off screen unless told otherwise, so that its binary run alone behaves as it
// does under CTest, which chooses the platform for it. Called from the test's static initMain(),
// before the application object exists.
inline void drawOffscreenByDefault()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
}
