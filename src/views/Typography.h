// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>

// The text styles of the interface, as sizes relative to the application font, so that they follow
// the desktop's font settings while keeping the proportions between the roles. No role is smaller
// than the desktop's smallest readable font.
namespace Typography {

QFont title();
QFont title2();
QFont headline();
QFont subheadline();
QFont caption();
QFont monospacedCaption();

QFont withWeight(QFont font, QFont::Weight weight);

// How wide a label showing the text in the font is: the text's advance, rounded up. For the GUI
// thread.
int labelWidth(const QFont &font, const QString &text);

} // namespace Typography
