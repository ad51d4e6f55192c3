#pragma once

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
    int textWidth(const QStyleOptionViewItem &option) const;

    QFont m_font;
};
