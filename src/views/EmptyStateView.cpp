// SPDX-License-Identifier: MIT
#include "EmptyStateView.h"

#include "ProminentButton.h"
#include "Symbols.h"
#include "SystemColors.h"
#include "Typography.h"
#include "binary/BinaryManager.h"
#include "core/AppSettings.h"

#include <QLabel>
#include <QVBoxLayout>

EmptyStateView::EmptyStateView(BinaryManager *binaryManager, AppSettings *settings, QWidget *parent)
    : QWidget(parent)
    , m_binaryManager(binaryManager)
    , m_symbol(new QLabel(this))
    , m_message(new QLabel(this))
    , m_action(new ProminentButton(QString(), this))
{
    auto *column = new QVBoxLayout(this);
    column->setSpacing(20);
    column->addStretch();

    m_symbol->setPixmap(
        Symbols::tinted(QStringLiteral("cylinder.split.1x2"), palette().color(QPalette::PlaceholderText))
            .pixmap(QSize(symbolSize, symbolSize), devicePixelRatioF()));
    column->addWidget(m_symbol, 0, Qt::AlignHCenter);

    auto *title = new QLabel(QStringLiteral("No Halvex Instances"), this);
    title->setFont(Typography::withWeight(Typography::title2(), QFont::DemiBold));
    column->addWidget(title, 0, Qt::AlignHCenter);

    SystemColors::makeSecondary(m_message);
    column->addWidget(m_message, 0, Qt::AlignHCenter);
    column->addWidget(m_action, 0, Qt::AlignHCenter);
    column->addStretch();

    connect(m_action, &QPushButton::clicked, this, [this] {
        if (m_binaryAvailable)
            emit addInstanceRequested();
        else
            emit openSettingsRequested();
    });
    connect(m_binaryManager, &BinaryManager::changed, this, &EmptyStateView::refresh);
    // The binary manager passes on changes of the settings; listening to them as well costs
    // nothing and does not depend on that.
    connect(settings, &AppSettings::changed, this, &EmptyStateView::refresh);
    refresh();
}

QString EmptyStateView::messageText() const
{
    return m_message->text();
}

void EmptyStateView::refresh()
{
    m_binaryAvailable = m_binaryManager->isBinaryAvailable();
    m_message->setText(m_binaryAvailable ? QStringLiteral("Create your first instance to get started")
                                         : QStringLiteral("Download the Halvex binary to get started"));
    const QString action = m_binaryAvailable ? QStringLiteral("Add Instance") : QStringLiteral("Open Settings");
    m_action->setText(action);
    m_action->setAccessibleName(action);
}
