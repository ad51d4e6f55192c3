// SPDX-License-Identifier: MIT
#pragma once

#include "TextLineCache.h"

#include <QFont>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QStyledItemDelegate>

// Draws one sidebar row of an InstanceListModel: the name in the headline font over the local
// address in the caption font and the secondary colour, both cut short with "…" when the sidebar
// is narrow; then, only while the instance has a server, a dot, green while it runs and orange
// with "Starting…" or "Stopping…" beside it while it starts or stops; then the start/stop button,
// a green "play.circle.fill" or a red "stop.circle.fill", which keeps its place at any width. The row is
// painted, not built from widgets, so a list of any length costs what its visible rows cost; the
// delegate hit-tests the button itself and reports a click on it.
class InstanceRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int horizontalInset = 6;
    static constexpr int verticalInset = 4;
    static constexpr int lineSpacing = 4;
    static constexpr int itemSpacing = 6;
    static constexpr int dotSize = 8;
    static constexpr int symbolSize = 20;

    explicit InstanceRowDelegate(QObject *parent = nullptr);

    static QIcon buttonSymbol(bool running);
    // "Stop" while the instance runs, "Start" otherwise: the button's name and tooltip.
    static QString buttonName(bool running);

    // The button's size, the same as that of a real button drawn over a row (InstanceListView).
    void setButtonSize(const QSize &size) { m_buttonSize = size; }
    // Where the button sits in a row that occupies rowRect.
    QRect buttonRect(const QRect &rowRect) const;
    // The row whose button a real widget stands in for; its painted symbol is left out.
    void setLiveButtonRow(const QModelIndex &index) { m_liveButtonRow = index; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

signals:
    // The painted button of this row was clicked: pressed and released on it.
    void buttonClicked(const QModelIndex &index);

private:
    struct Layout
    {
        QRect name;
        QRect url;
        QRect state;
        QRect dot;
        QRect button;
    };
    // stateText: the words beside the dot, if any.
    Layout layout(const QRect &rowRect, bool running, const QString &stateText) const;
    QPixmap symbol(bool running, qreal devicePixelRatio) const;

    QFont m_nameFont;
    QFont m_urlFont;
    QFont m_stateFont;
    mutable TextLineCache m_names;
    mutable TextLineCache m_urls;
    QSize m_buttonSize;
    QPersistentModelIndex m_liveButtonRow;
    QPersistentModelIndex m_pressedButtonRow;
    // Drawn from vectors: rendered once per run state and pixel ratio, not once per row.
    mutable qreal m_symbolRatio = 0;
    mutable QPixmap m_symbols[2];
};
