// SPDX-License-Identifier: MIT
#include "InstanceRowView.h"

#include "StatusDot.h"
#include "Symbols.h"
#include "SystemColors.h"
#include "Typography.h"
#include "instances/InstanceManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

InstanceRowView::InstanceRowView(const QUuid &instanceID, InstanceManager *instanceManager, QWidget *parent)
    : QWidget(parent)
    , m_instanceID(instanceID)
    , m_instanceManager(instanceManager)
    , m_content(new QWidget(this))
    , m_name(new QLabel(m_content))
    , m_url(new QLabel(m_content))
    , m_dot(new StatusDot(SystemColors::green(), m_content))
    , m_button(new QToolButton(m_content))
{
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_content);

    auto *row = new QHBoxLayout(m_content);
    row->setContentsMargins(6, 4, 6, 4);

    auto *lines = new QVBoxLayout;
    lines->setSpacing(4);
    m_name->setFont(Typography::headline());
    m_url->setFont(Typography::caption());
    SystemColors::makeSecondary(m_url);
    lines->addWidget(m_name);
    lines->addWidget(m_url);
    row->addLayout(lines);
    row->addStretch();
    row->addWidget(m_dot, 0, Qt::AlignVCenter);

    m_button->setAutoRaise(true);
    m_button->setIconSize(QSize(20, 20));
    m_button->setFocusPolicy(Qt::TabFocus);
    row->addWidget(m_button, 0, Qt::AlignVCenter);

    connect(m_button, &QToolButton::clicked, this, &InstanceRowView::startOrStop);
    connect(m_instanceManager, &InstanceManager::instancesChanged, this, &InstanceRowView::refresh);
    refresh();
}

QString InstanceRowView::nameText() const
{
    return m_name->text();
}

QString InstanceRowView::urlText() const
{
    return m_url->text();
}

void InstanceRowView::refresh()
{
    const auto record = m_instanceManager->instance(m_instanceID);
    m_content->setVisible(record.has_value());
    if (!record)
        return;
    m_name->setText(record->name);
    m_url->setText(record->localURL());
    m_dot->setVisible(record->isRunning);
    // Icons are drawn from vectors: only a change of the run state redraws the button.
    if (record->isRunning == m_showsRunning && !m_button->icon().isNull())
        return;
    m_showsRunning = record->isRunning;
    const QString action = m_showsRunning ? QStringLiteral("Stop") : QStringLiteral("Start");
    m_button->setIcon(m_showsRunning ? Symbols::tinted(QStringLiteral("stop.circle.fill"), SystemColors::red())
                                     : Symbols::tinted(QStringLiteral("play.circle.fill"), SystemColors::green()));
    m_button->setToolTip(action);
    m_button->setAccessibleName(action);
}

void InstanceRowView::startOrStop()
{
    const auto record = m_instanceManager->instance(m_instanceID);
    if (!record)
        return;
    if (record->isRunning)
        m_instanceManager->stopInstance(*record);
    else
        m_instanceManager->startInstance(*record);
}
