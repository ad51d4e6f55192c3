// SPDX-License-Identifier: MIT
#include "InstanceRowDelegate.h"

#include "InstanceListModel.h"
#include "RunStateText.h"
#include "Symbols.h"
#include "SystemColors.h"
#include "Typography.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

InstanceRowDelegate::InstanceRowDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
    , m_nameFont(Typography::headline())
    , m_urlFont(Typography::caption())
    , m_stateFont(Typography::caption())
    , m_names(m_nameFont)
    , m_urls(m_urlFont)
    , m_buttonSize(symbolSize + 6, symbolSize + 6)
{}

QIcon InstanceRowDelegate::buttonSymbol(bool running)
{
    return running ? Symbols::tinted(QStringLiteral("stop.circle.fill"), SystemColors::red())
                   : Symbols::tinted(QStringLiteral("play.circle.fill"), SystemColors::green());
}

QString InstanceRowDelegate::buttonName(bool running)
{
    return running ? QStringLiteral("Stop") : QStringLiteral("Start");
}

QRect InstanceRowDelegate::buttonRect(const QRect &rowRect) const
{
    QRect button(QPoint(), m_buttonSize);
    button.moveCenter(QPoint(0, rowRect.center().y()));
    button.moveRight(rowRect.right() - horizontalInset);
    return button;
}

InstanceRowDelegate::Layout InstanceRowDelegate::layout(const QRect &rowRect, bool running,
                                                        const QString &stateText) const
{
    Layout layout;
    layout.button = buttonRect(rowRect);
    int textEnd = layout.button.left() - itemSpacing;
    if (running) {
        layout.dot = QRect(textEnd - dotSize, rowRect.center().y() - dotSize / 2, dotSize, dotSize);
        textEnd = layout.dot.left() - itemSpacing;
    }
    if (!stateText.isEmpty()) {
        const QFontMetrics metrics(m_stateFont);
        const int width = metrics.horizontalAdvance(stateText);
        layout.state = QRect(textEnd - width, rowRect.center().y() - metrics.height() / 2, width, metrics.height());
        textEnd = layout.state.left() - itemSpacing;
    }
    const int left = rowRect.left() + horizontalInset;
    const int width = qMax(0, textEnd - left);
    const int nameHeight = QFontMetrics(m_nameFont).height();
    const int urlHeight = QFontMetrics(m_urlFont).height();
    const int top = rowRect.center().y() - (nameHeight + lineSpacing + urlHeight) / 2;
    layout.name = QRect(left, top, width, nameHeight);
    layout.url = QRect(left, top + nameHeight + lineSpacing, width, urlHeight);
    return layout;
}

QPixmap InstanceRowDelegate::symbol(bool running, qreal devicePixelRatio) const
{
    if (devicePixelRatio != m_symbolRatio) {
        m_symbolRatio = devicePixelRatio;
        m_symbols[0] = m_symbols[1] = QPixmap();
    }
    QPixmap &cached = m_symbols[running ? 1 : 0];
    if (cached.isNull())
        cached = buttonSymbol(running).pixmap(QSize(symbolSize, symbolSize), devicePixelRatio);
    return cached;
}

void InstanceRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // The style draws the background, the selection and the focus frame; the content is ours.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.features &= ~QStyleOptionViewItem::HasDisplay;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const bool running = index.data(InstanceListModel::RunningRole).toBool();
    const auto state = static_cast<InstanceManager::RunState>(index.data(InstanceListModel::RunStateRole).toInt());
    // A settled state is told by the dot alone; one under way in words too.
    const bool changing = state == InstanceManager::RunState::Starting || state == InstanceManager::RunState::Stopping;
    const Layout row = layout(option.rect, running, changing ? RunStateText::name(state) : QString());
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                               : QPalette::Inactive;
    painter->save();
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    m_names.drawElided(painter, row.name, index.data().toString());
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
    m_urls.drawElided(painter, row.url, index.data(InstanceListModel::LocalUrlRole).toString());
    if (changing) {
        painter->setFont(m_stateFont);
        painter->drawText(row.state, Qt::AlignRight | Qt::AlignVCenter, RunStateText::name(state));
    }
    if (running) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(RunStateText::color(state));
        painter->drawEllipse(QRectF(row.dot));
    }
    if (index != m_liveButtonRow) {
        QRect symbolRect(QPoint(), QSize(symbolSize, symbolSize));
        symbolRect.moveCenter(row.button.center());
        painter->drawPixmap(symbolRect, symbol(running, painter->device()->devicePixelRatioF()));
    }
    painter->restore();
}

QSize InstanceRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    Q_UNUSED(option);
    Q_UNUSED(index);
    const int text = QFontMetrics(m_nameFont).height() + lineSpacing + QFontMetrics(m_urlFont).height();
    const int height = qMax(text, m_buttonSize.height()) + 2 * verticalInset;
    return QSize(2 * horizontalInset + m_buttonSize.width(), height);
}

bool InstanceRowDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                                      const QModelIndex &index)
{
    // A press on the button belongs to the button, as with a real one: it neither selects the row
    // nor starts a drag selection, and only a release on the same button clicks it.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        m_pressedButtonRow = QModelIndex();
        if (mouse->button() != Qt::LeftButton || !buttonRect(option.rect).contains(mouse->position().toPoint()))
            return false;
        m_pressedButtonRow = index;
        return true;
    }
    case QEvent::MouseMove:
        return m_pressedButtonRow.isValid() && (static_cast<QMouseEvent *>(event)->buttons() & Qt::LeftButton);
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_pressedButtonRow.isValid() || mouse->button() != Qt::LeftButton)
            return false;
        const bool clicked =
            m_pressedButtonRow == index && buttonRect(option.rect).contains(mouse->position().toPoint());
        m_pressedButtonRow = QModelIndex();
        if (clicked)
            emit buttonClicked(index);
        return true;
    }
    default:
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
}

bool InstanceRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                    const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && buttonRect(option.rect).contains(event->pos())) {
        const bool running = index.data(InstanceListModel::RunningRole).toBool();
        QToolTip::showText(event->globalPos(), buttonName(running), view->viewport(), buttonRect(option.rect));
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
