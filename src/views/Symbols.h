// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

class QAction;

// The interface's symbols by their names ("gear", "play.circle.fill", ...).
namespace Symbols {

// Our own artwork in the given colour: a symbol whose colour carries meaning (a green play, a red
// stop) must look the same on every desktop, whatever icon theme is installed.
QIcon tinted(const QString &name, const QColor &color);
// The desktop theme's counterpart of a plain symbol when the theme has one, else our artwork in
// the given colour.
QIcon themed(const QString &name, const QColor &fallbackColor);
// A picture drawn in its own colours, read from a resource. A plain QIcon of an SVG file looks
// through the icon engine plugins first, which takes a millisecond of the start-up.
QIcon picture(const QString &resource);

// Marks an action that destroys something ("Delete") with the trash symbol in red, so that it
// stands apart in a menu, which has no text colour of its own for single entries.
void markDestructive(QAction *action);

} // namespace Symbols
