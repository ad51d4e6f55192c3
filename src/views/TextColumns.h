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
    // Where each row of the line begins in it, the first at 0: a part of the line that was found
    // (a search match) is drawn on the rows it falls on.
    QList<qsizetype> rowStarts(QStringView line) const;
    // The cells that text takes at the start of a row, tabs reaching stops counted from there: how
    // far into its row a part of the line begins.
    int cells(QStringView text) const;

private:
    qsizetype layOut(QStringView line, QStringList *rows, QList<qsizetype> *starts = nullptr) const;
    // Cells the grapheme takes at cell position cells of its row.
    int width(QStringView grapheme, int cells) const;

    int m_columns;
};
