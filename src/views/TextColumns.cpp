// SPDX-License-Identifier: MIT
#include "TextColumns.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <iterator>

namespace {

// Characters of East Asian width W or F, emoji shown as pictures, and the regional indicators that
// pair into flags: two cells each.
struct Range
{
    char32_t first;
    char32_t last;
};
constexpr Range wideRanges[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4}, {0x17000, 0x18CFF}, {0x1AFF0, 0x1B2FF},
    {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F1E6, 0x1F202},
    {0x1F210, 0x1F23B}, {0x1F240, 0x1F248}, {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

constexpr char16_t emojiPresentation = 0xFE0F;

// Printable ASCII and line breaks only: one cell per character and a grapheme boundary between
// any two. Nearly all that servers print is such text, and it is measured by arithmetic. The
// check runs in blocks of fixed length with 16-bit arithmetic, which the compiler turns into
// vector instructions: it sees every character a flood brings.
bool isPlain(QStringView text)
{
    const char16_t *data = text.utf16();
    const qsizetype size = text.size();
    const auto outside = [](char16_t c) -> char16_t {
        return static_cast<char16_t>(c - 0x20) > 0x5E && c != u'\n' ? 1 : 0;
    };
    constexpr qsizetype block = 16;
    qsizetype i = 0;
    for (; i + block <= size; i += block) {
        char16_t any = 0;
        for (qsizetype k = 0; k < block; ++k)
            any |= outside(data[i + k]);
        if (any)
            return false;
    }
    for (; i < size; ++i) {
        if (outside(data[i]))
            return false;
    }
    return true;
}

qsizetype plainRowCount(QStringView line, int columns)
{
    return std::max<qsizetype>(1, (line.size() + columns - 1) / columns);
}

// Cells a grapheme takes by the character it starts with: 0, 1 or 2.
int cellWidth(char32_t character)
{
    switch (QChar::category(character)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
        return 0;
    default:
        break;
    }
    const auto range = std::upper_bound(std::begin(wideRanges), std::end(wideRanges), character,
                                        [](char32_t c, const Range &r) { return c < r.first; });
    return range != std::begin(wideRanges) && character <= std::prev(range)->last ? 2 : 1;
}

char32_t firstCharacter(QStringView grapheme)
{
    return grapheme.front().isHighSurrogate() && grapheme.size() > 1
               ? QChar::surrogateToUcs4(grapheme.at(0), grapheme.at(1))
               : grapheme.front().unicode();
}

} // namespace

TextColumns::TextColumns(int columns)
    : m_columns(std::max(1, columns))
{}

qsizetype TextColumns::rowCount(QStringView text) const
{
    const bool plain = isPlain(text);
    qsizetype rows = 0;
    for (const QStringView line : text.tokenize(u'\n'))
        rows += plain ? plainRowCount(line, m_columns) : lineRowCount(line);
    return rows;
}

qsizetype TextColumns::lineRowCount(QStringView line) const
{
    return isPlain(line) ? plainRowCount(line, m_columns) : layOut(line, nullptr);
}

QStringList TextColumns::rows(QStringView line) const
{
    QStringList rows;
    if (isPlain(line)) {
        for (qsizetype start = 0; start < line.size(); start += m_columns)
            rows.append(line.mid(start, m_columns).toString());
        if (rows.isEmpty())
            rows.append(QString());
        return rows;
    }
    layOut(line, &rows);
    return rows;
}

QList<qsizetype> TextColumns::rowStarts(QStringView line) const
{
    QList<qsizetype> starts{0};
    if (isPlain(line)) {
        for (qsizetype start = m_columns; start < line.size(); start += m_columns)
            starts.append(start);
        return starts;
    }
    layOut(line, nullptr, &starts);
    return starts;
}

int TextColumns::cells(QStringView text) const
{
    if (isPlain(text))
        return static_cast<int>(text.size());
    int cells = 0;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype end = graphemes.toNextBoundary();
        cells += width(text.sliced(start, end - start), cells);
        start = end;
    }
    return cells;
}

int TextColumns::width(QStringView grapheme, int cells) const
{
    const char32_t first = firstCharacter(grapheme);
    if (first == u'\t')
        return std::min(tabWidth - cells % tabWidth, m_columns - cells);
    const int width = cellWidth(first);
    return width == 1 && grapheme.contains(QChar(emojiPresentation)) ? 2 : width;
}

qsizetype TextColumns::layOut(QStringView line, QStringList *rows, QList<qsizetype> *starts) const
{
    qsizetype count = 1;
    int cells = 0;
    QString row;
    const auto breakRow = [&](qsizetype at) {
        if (rows)
            rows->append(std::exchange(row, QString()));
        if (starts)
            starts->append(at);
        ++count;
        cells = 0;
    };
    // Below U+0080 every character is a grapheme of its own.
    const bool ascii = std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() < 0x80; });
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, ascii ? QStringView() : line);
    qsizetype start = 0;
    while (start < line.size()) {
        const qsizetype end = ascii ? start + 1 : graphemes.toNextBoundary();
        const QStringView grapheme = line.sliced(start, end - start);
        if (grapheme.front() == u'\t') {
            if (cells >= m_columns)
                breakRow(start);
            const int tab = width(grapheme, cells);
            if (rows)
                row.append(QString(tab, u' '));
            cells += tab;
            start = end;
            continue;
        }
        const int cellsTaken = width(grapheme, cells);
        if (cells + cellsTaken > m_columns && cells > 0)
            breakRow(start);
        if (rows && QChar::category(firstCharacter(grapheme)) != QChar::Other_Control)
            row.append(grapheme);
        cells += cellsTaken;
        start = end;
    }
    if (rows)
        rows->append(row);
    return count;
}
