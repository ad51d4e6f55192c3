#pragma once

#include <QHash>
#include <QStyledItemDelegate>

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
    static constexpr int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextWrapAnywhere;

    struct Measured
    {
        // Holding the text keeps its storage alive, so its address cannot be reused by another
        // entry while it is the key.
        QString text;
        int width = 0;
        int height = 0;
    };

    int textWidth(const QStyleOptionViewItem &option) const;
    int textHeight(const QString &text, int width) const;
    void forgetDroppedEntries(const QAbstractItemModel *model) const;

    QFont m_font;
    // The view lays out every row again whenever rows come or go; a server that prints in large
    // chunks gives entries of thousands of lines, so each entry is measured once per width.
    mutable QHash<const QChar *, Measured> m_heights;
};
