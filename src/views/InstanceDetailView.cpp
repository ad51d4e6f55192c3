// SPDX-License-Identifier: MIT
#include "InstanceDetailView.h"

#include "Divider.h"
#include "HeaderBar.h"
#include "LogsView.h"
#include "Metrics.h"
#include "ProminentButton.h"
#include "StatusDot.h"
#include "Symbols.h"
#include "SystemColors.h"
#include "Typography.h"
#include "core/ReferenceDate.h"
#include "instances/InstanceManager.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedLayout>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString shortDateTime(double referenceSeconds)
{
    return QLocale().toString(ReferenceDate::toDateTime(referenceSeconds).toLocalTime(), QLocale::ShortFormat);
}

} // namespace

InstanceDetailView::InstanceDetailView(const QUuid &instanceID, InstanceManager *instanceManager, QWidget *parent)
    : QWidget(parent)
    , m_instanceID(instanceID)
    , m_instanceManager(instanceManager)
    , m_stack(new QStackedLayout(this))
{
    auto *notFound = new QLabel(QStringLiteral("Instance not found"), this);
    notFound->setAlignment(Qt::AlignCenter);
    SystemColors::makeSecondary(notFound);
    m_stack->addWidget(notFound);
    m_stack->addWidget(buildContent());

    connect(m_instanceManager, &InstanceManager::instanceUpdated, this, &InstanceDetailView::refreshIfShown);
    connect(m_instanceManager, &InstanceManager::runStateChanged, this, &InstanceDetailView::refreshIfShown);
    connect(m_instanceManager, &InstanceManager::instanceRemoved, this, &InstanceDetailView::refreshIfShown);
    connect(m_instanceManager, &InstanceManager::instancesReset, this, &InstanceDetailView::refresh);
    refresh();
}

void InstanceDetailView::setInstanceID(const QUuid &instanceID)
{
    if (instanceID == m_instanceID)
        return;
    m_instanceID = instanceID;
    m_logs->setInstanceID(instanceID);
    refresh();
}

void InstanceDetailView::refreshIfShown(const QUuid &id)
{
    if (id == m_instanceID)
        refresh();
}

bool InstanceDetailView::showsNotFound() const
{
    return m_stack->currentIndex() == 0;
}

QString InstanceDetailView::value(const QString &label) const
{
    const QLabel *value = m_values.value(label);
    return value ? value->text() : QString();
}

QWidget *InstanceDetailView::buildContent()
{
    auto *content = new QWidget(this);
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    column->addWidget(new Divider(content));

    m_splitter = new QSplitter(Qt::Vertical, content);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(buildForm());
    m_splitter->addWidget(buildLogArea());
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({idealFormHeight, idealFormHeight});
    column->addWidget(m_splitter, 1);
    return content;
}

QWidget *InstanceDetailView::buildHeader()
{
    auto *header = new HeaderBar(this);

    auto *titleColumn = new QVBoxLayout;
    titleColumn->setSpacing(8);

    auto *titleRow = new QHBoxLayout;
    m_name = new QLabel(header);
    m_name->setFont(Typography::withWeight(Typography::title(), QFont::Bold));
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    titleRow->addWidget(m_name);

    m_badge = new QWidget(header);
    m_badge->setObjectName(QStringLiteral("runningBadge"));
    m_badge->setAttribute(Qt::WA_StyledBackground);
    const QColor green = SystemColors::green();
    m_badge->setStyleSheet(
        QStringLiteral("#runningBadge { background-color: rgba(%1, %2, %3, 10%); border-radius: 4px; }")
            .arg(green.red())
            .arg(green.green())
            .arg(green.blue()));
    auto *badgeRow = new QHBoxLayout(m_badge);
    badgeRow->setContentsMargins(8, 4, 8, 4);
    badgeRow->setSpacing(4);
    badgeRow->addWidget(new StatusDot(green, m_badge));
    auto *running = new QLabel(QStringLiteral("Running"), m_badge);
    running->setFont(Typography::caption());
    SystemColors::setTextColor(running, green);
    badgeRow->addWidget(running);
    titleRow->addWidget(m_badge);
    titleRow->addStretch();
    titleColumn->addLayout(titleRow);

    auto *linkRow = new QHBoxLayout;
    linkRow->setSpacing(4);
    auto *linkSymbol = new QLabel(header);
    const int symbolSize = QFontMetrics(Typography::subheadline()).height();
    linkSymbol->setPixmap(Symbols::tinted(QStringLiteral("link"), palette().color(QPalette::PlaceholderText))
                              .pixmap(QSize(symbolSize, symbolSize), devicePixelRatioF()));
    linkRow->addWidget(linkSymbol);
    m_url = new QLabel(header);
    m_url->setFont(Typography::subheadline());
    m_url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SystemColors::makeSecondary(m_url);
    linkRow->addWidget(m_url);
    linkRow->addStretch();
    titleColumn->addLayout(linkRow);

    header->row()->addLayout(titleColumn);
    header->row()->addStretch();

    auto *actions = new QHBoxLayout;
    actions->setSpacing(12);
    m_startStop = new ProminentButton(QStringLiteral("Start"), header);
    m_startStop->setAutoDefault(false);
    connect(m_startStop, &QPushButton::clicked, this, &InstanceDetailView::startOrStop);
    actions->addWidget(m_startStop);
    header->row()->addLayout(actions);
    return header;
}

QLabel *InstanceDetailView::addRow(QFormLayout *form, const QString &label)
{
    auto *value = new QLabel(form->parentWidget());
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setWordWrap(true);
    value->setAccessibleName(label);
    form->addRow(label, value);
    m_values.insert(label, value);
    return value;
}

QWidget *InstanceDetailView::buildForm()
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(Metrics::standardInset, Metrics::standardInset, Metrics::standardInset,
                               Metrics::standardInset);

    auto *configuration = new QGroupBox(QStringLiteral("Configuration"), page);
    auto *configurationRows = new QFormLayout(configuration);
    for (const char *label : {"Name", "Port", "Auth Token", "Data Directory"})
        addRow(configurationRows, QString::fromLatin1(label));
    column->addWidget(configuration);

    auto *status = new QGroupBox(QStringLiteral("Status"), page);
    auto *statusRows = new QFormLayout(status);
    for (const char *label : {"State", "Created", "Updated"})
        addRow(statusRows, QString::fromLatin1(label));
    column->addWidget(status);
    column->addStretch();

    auto *scroll = new QScrollArea(this);
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMinimumHeight(minimumFormHeight);
    scroll->setAccessibleName(QStringLiteral("Details"));
    return scroll;
}

QWidget *InstanceDetailView::buildLogArea()
{
    auto *area = new QWidget(this);
    area->setMinimumHeight(minimumLogHeight);
    auto *column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *header = new HeaderBar(area);
    auto *title = new QLabel(QStringLiteral("Logs"), header);
    title->setFont(Typography::headline());
    header->row()->addWidget(title);
    header->row()->addStretch();
    m_clearLogs = new QPushButton(QStringLiteral("Clear Logs"), header);
    m_clearLogs->setAccessibleName(m_clearLogs->text());
    m_clearLogs->setAutoDefault(false);
    connect(m_clearLogs, &QPushButton::clicked, this, [this] {
        if (m_record)
            m_instanceManager->clearLogs(m_record->id);
    });
    header->row()->addWidget(m_clearLogs);
    column->addWidget(header);
    column->addWidget(new Divider(area));

    m_logs = new LogsView(m_instanceID, m_instanceManager, area);
    column->addWidget(m_logs, 1);
    return area;
}

void InstanceDetailView::refresh()
{
    m_record = m_instanceManager->instance(m_instanceID);
    if (!m_record) {
        m_stack->setCurrentIndex(0);
        return;
    }
    m_stack->setCurrentIndex(1);
    const HalvexInstance &record = *m_record;
    m_name->setText(record.name);
    m_badge->setVisible(record.isRunning);
    m_url->setText(record.localURL());

    const QString action = record.isRunning ? QStringLiteral("Stop") : QStringLiteral("Start");
    m_startStop->setText(action);
    m_startStop->setAccessibleName(action);
    m_startStop->setTint(record.isRunning ? SystemColors::red() : SystemColors::green());

    m_values.value(QStringLiteral("Name"))->setText(record.name);
    m_values.value(QStringLiteral("Port"))->setText(QString::number(record.port));
    m_values.value(QStringLiteral("Auth Token"))->setText(record.authToken);
    m_values.value(QStringLiteral("Data Directory"))->setText(m_instanceManager->dataDirectoryPath(record));
    m_values.value(QStringLiteral("State"))
        ->setText(record.isRunning ? QStringLiteral("Running") : QStringLiteral("Stopped"));
    m_values.value(QStringLiteral("Created"))->setText(shortDateTime(record.createdAt));
    m_values.value(QStringLiteral("Updated"))->setText(shortDateTime(record.updatedAt));
}

void InstanceDetailView::startOrStop()
{
    if (!m_record)
        return;
    if (m_record->isRunning)
        m_instanceManager->stopInstance(*m_record);
    else
        m_instanceManager->startInstance(*m_record);
}
