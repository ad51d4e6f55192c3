#pragma once

#include <QCache>
#include <QHash>
#include <QStyledItemDelegate>
#include <QTextLayout>

// Draws one log entry as monospaced caption text, line breaks kept and long lines wrapped, with
// an inset of 12 points left and right and 2 points above and below.
class LogEntryDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int horizontalInset = 12;
    static constexpr int verticalInset = 2;

    explicit LogEntryDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    // An entry laid out for one width. Holding the text keeps its storage alive, so its address,
    // the key of both caches, cannot be taken by another entry meanwhile.
    struct Layout
    {
        QString text;
        int width = 0;
        int height = 0;
        std::unique_ptr<QTextLayout> lines;
    };

    int textWidth(const QStyleOptionViewItem &option) const;
    bool isSingleShortLine(const QString &text, int width) const;
    const Layout &layout(const QString &text, int width) const;
    int textHeight(const QString &text, int width) const;
    int estimatedHeight(const QString &text, int width) const;
    void forgetDroppedEntries(const QAbstractItemModel *model) const;

    QFont m_font;
    QFontMetrics m_metrics;
    // The view lays out every row again whenever rows come or go, and a server that prints in
    // large chunks gives entries of thousands of lines. So each entry is measured once per width;
    // a long entry is first only estimated, and measured when it is first drawn; and the entries
    // drawn recently keep their line layout, so a redraw lays out no text.
    mutable QHash<const QChar *, std::pair<QString, QSize>> m_heights;
    mutable QCache<const QChar *, Layout> m_layouts;
};
