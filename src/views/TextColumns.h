// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Lays text out in rows of a fixed number of character cells, as a terminal does, so that
// monospaced text is wrapped by counting rather than by shaping. A row breaks only between
// graphemes, so an emoji, a letter with its accents or a flag never falls apart. East Asian wide
// characters and emoji take two cells, a tab reaches the next multiple of eight cells, and control
// characters and lone marks take none. The widths come from a table of our own, not from the
// machine's locale, so every machine wraps alike.
class TextColumns
{
public:
    static constexpr int tabWidth = 8;

    explicit TextColumns(int columns);

    // Rows the text takes; every line of it starts a row, an empty line takes one.
    qsizetype rowCount(QStringView text) const;
    qsizetype lineRowCount(QStringView line) const;
    // The rows of one line as they are drawn: tabs expanded to spaces, control characters left out.
    QStringList rows(QStringView line) const;

private:
    qsizetype layOut(QStringView line, QStringList *rows) const;

    int m_columns;
};
