// SPDX-License-Identifier: MIT
#include "Symbols.h"

#include "SymbolIconEngine.h"
#include "SystemColors.h"

#include <QAction>
#include <QFile>
#include <QHash>

static void initSymbolResources()
{
    // The artwork lives in a static library; without this its resources would not be registered.
    Q_INIT_RESOURCE(symbols);
}

namespace Symbols {
namespace {

QByteArray artwork(const QString &name)
{
    static const bool registered = (initSymbolResources(), true);
    Q_UNUSED(registered);
    static QHash<QString, QByteArray> cache;
    auto found = cache.find(name);
    if (found == cache.end()) {
        QFile file(QStringLiteral(":/symbols/") + name + QStringLiteral(".svg"));
        found = cache.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
        Q_ASSERT_X(!found->isEmpty(), "Symbols", "unknown symbol name");
    }
    return *found;
}

QString themeName(const QString &name)
{
    static const QHash<QString, QString> names{
        {QStringLiteral("gear"), QStringLiteral("preferences-system")},
        {QStringLiteral("plus"), QStringLiteral("list-add")},
    };
    return names.value(name);
}

} // namespace

QIcon tinted(const QString &name, const QColor &color)
{
    return QIcon(new SymbolIconEngine(name, artwork(name), color));
}

QIcon themed(const QString &name, const QColor &fallbackColor)
{
    const QString theme = themeName(name);
    if (!theme.isEmpty() && QIcon::hasThemeIcon(theme))
        return QIcon::fromTheme(theme);
    return tinted(name, fallbackColor);
}

QIcon picture(const QString &resource)
{
    QFile file(resource);
    // With no currentColor in it, the drawing keeps its own colours whatever the tint.
    return QIcon(new SymbolIconEngine(resource, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(),
                                      QColor(Qt::black)));
}

void markDestructive(QAction *action)
{
    action->setIcon(tinted(QStringLiteral("trash"), SystemColors::red()));
    action->setIconVisibleInMenu(true);
}

} // namespace Symbols
