// SPDX-License-Identifier: MIT
#include "InstanceTitle.h"

#include "RunStateBadge.h"
#include "SelectableLabel.h"
#include "Symbols.h"
#include "SystemColors.h"
#include "Typography.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>

#include <algorithm>

namespace {

constexpr int badgeSpacing = 8;
constexpr int rowSpacing = 8;
constexpr int symbolSpacing = 4;

} // namespace

InstanceTitle::InstanceTitle(QWidget *parent)
    : QWidget(parent)
    , m_name(new SelectableLabel(this))
    , m_badge(new RunStateBadge(this))
    , m_linkSymbol(new QLabel(this))
    , m_address(new SelectableLabel(this))
{
    // As wide as the pane allows, whatever the texts: a new name never resizes the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_name->setFont(Typography::withWeight(Typography::title(), QFont::Bold));
    const int symbolSize = QFontMetrics(Typography::subheadline()).height();
    m_linkSymbol->setPixmap(Symbols::tinted(QStringLiteral("link"), palette().color(QPalette::PlaceholderText))
                                .pixmap(QSize(symbolSize, symbolSize), devicePixelRatioF()));
    m_address->setFont(Typography::subheadline());
    SystemColors::makeSecondary(m_address);
    measure();
}

void InstanceTitle::setName(const QString &name)
{
    setText(m_name, m_nameWidth, name);
}

void InstanceTitle::setAddress(const QString &address)
{
    setText(m_address, m_addressWidth, address);
}

void InstanceTitle::setText(SelectableLabel *label, int &width, const QString &text)
{
    if (text == label->text())
        return;
    label->setText(text);
    width = Typography::labelWidth(label->font(), text);
    place();
}

void InstanceTitle::setState(const QString &text, const QColor &color)
{
    m_badge->setState(text, color);
}

QString InstanceTitle::stateText() const
{
    return m_badge->text();
}

int InstanceTitle::lineHeight(const QLabel *label)
{
    // As QLabel measures a line of plain text.
    return QFontMetrics(label->font())
        .boundingRect(QRect(0, 0, 2000, 2000), Qt::AlignLeft | Qt::TextExpandTabs, QStringLiteral("X"))
        .height();
}

void InstanceTitle::measure()
{
    m_nameWidth = Typography::labelWidth(m_name->font(), m_name->text());
    m_nameHeight = lineHeight(m_name);
    m_addressWidth = Typography::labelWidth(m_address->font(), m_address->text());
    m_addressHeight = lineHeight(m_address);
    updateGeometry();
    place();
}

int InstanceTitle::nameRowHeight() const
{
    return std::max(m_nameHeight, m_badge->sizeHint().height());
}

int InstanceTitle::addressRowHeight() const
{
    return std::max(m_linkSymbol->sizeHint().height(), m_addressHeight);
}

QSize InstanceTitle::sizeHint() const
{
    return QSize(fontMetrics().averageCharWidth() * 20, nameRowHeight() + rowSpacing + addressRowHeight());
}

QSize InstanceTitle::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

void InstanceTitle::place()
{
    const QSize badge = m_badge->sizeHint();
    const int nameRow = nameRowHeight();
    const int badgeRoom = badge.isEmpty() ? 0 : badgeSpacing + badge.width();
    const int nameWidth = std::clamp(width() - badgeRoom, 0, m_nameWidth);
    m_name->setGeometry(0, 0, nameWidth, nameRow);
    m_name->setToolTip(nameWidth < m_nameWidth ? m_name->text() : QString());
    m_badge->setGeometry(nameWidth + badgeSpacing, 0, badge.width(), nameRow);

    const int symbolWidth = m_linkSymbol->sizeHint().width();
    const int addressTop = nameRow + rowSpacing;
    const int addressLeft = symbolWidth + symbolSpacing;
    const int addressWidth = std::clamp(width() - addressLeft, 0, m_addressWidth);
    m_linkSymbol->setGeometry(0, addressTop, symbolWidth, addressRowHeight());
    m_address->setGeometry(addressLeft, addressTop, addressWidth, addressRowHeight());
    m_address->setToolTip(addressWidth < m_addressWidth ? m_address->text() : QString());
}

bool InstanceTitle::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::LayoutRequest: // the badge's text changed its size
        place();
        return true;
    case QEvent::FontChange:
    case QEvent::StyleChange:
        measure();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void InstanceTitle::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    place();
}
