// SPDX-License-Identifier: MIT
#include "InstanceDetailView.h"

#include "Divider.h"
#include "FormValue.h"
#include "GutterScrollBar.h"
#include "HeaderBar.h"
#include "InstanceActions.h"
#include "InstanceHealthView.h"
#include "InstanceTitle.h"
#include "LogsView.h"
#include "Metrics.h"
#include "ProminentButton.h"
#include "Prompter.h"
#include "RunStateText.h"
#include "SystemColors.h"
#include "Typography.h"
#include "core/AppSettings.h"
#include "core/ReferenceDate.h"
#include "core/StateFile.h"
#include "instances/InstanceManager.h"
#include "platform/FileChooser.h"

#include <QAction>
#include <QDateTime>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedLayout>
#include <QStandardPaths>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using RunState = InstanceManager::RunState;

namespace {

QString shortDateTime(double referenceSeconds)
{
    return QLocale().toString(ReferenceDate::toDateTime(referenceSeconds).toLocalTime(), QLocale::ShortFormat);
}

} // namespace

InstanceDetailView::InstanceDetailView(const QUuid &instanceID, ViewContext context, QWidget *parent)
    : QWidget(parent)
    , m_instanceID(instanceID)
    , m_context(std::move(context))
    , m_actions(new InstanceActions(instanceID, m_context, this))
    , m_stack(new QStackedLayout(this))
{
    auto *notFound = new QLabel(QStringLiteral("Instance not found"), this);
    notFound->setAlignment(Qt::AlignCenter);
    SystemColors::makeSecondary(notFound);
    m_stack->addWidget(notFound);
    m_stack->addWidget(buildContent());

    // Ctrl+F finds in the log wherever the focus is within the pane.
    auto *find = new QAction(QStringLiteral("Find in Log"), this);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QAction::triggered, this, [this] {
        if (m_record)
            m_logs->showFindBar();
    });
    addAction(find);

    InstanceManager *manager = m_context.instances;
    connect(manager, &InstanceManager::instanceUpdated, this, &InstanceDetailView::refreshIfShown);
    connect(manager, &InstanceManager::runStateChanged, this, &InstanceDetailView::refreshRunState);
    connect(manager, &InstanceManager::instanceRemoved, this, &InstanceDetailView::refreshIfShown);
    connect(manager, &InstanceManager::instancesReset, this, &InstanceDetailView::refresh);
    // The data directory lies under the storage location.
    connect(m_context.settings, &AppSettings::changed, this, &InstanceDetailView::refresh);
    refresh();
}

void InstanceDetailView::setInstanceID(const QUuid &instanceID)
{
    if (instanceID == m_instanceID)
        return;
    m_instanceID = instanceID;
    m_actions->setInstanceID(instanceID);
    m_health->setInstanceID(instanceID);
    m_logs->setInstanceID(instanceID);
    refresh();
}

void InstanceDetailView::refreshIfShown(const QUuid &id)
{
    if (id == m_instanceID)
        refresh();
}

void InstanceDetailView::refreshRunState(const QUuid &id)
{
    if (id != m_instanceID)
        return;
    m_record = m_context.instances->instance(m_instanceID);
    if (m_record && m_stack->currentIndex() == 1)
        showRunState();
    else
        refresh();
}

bool InstanceDetailView::showsNotFound() const
{
    return m_stack->currentIndex() == 0;
}

QString InstanceDetailView::value(const QString &label) const
{
    const FormValue *value = m_values.value(label);
    return value ? value->text() : QString();
}

bool InstanceDetailView::isRowShown(const QString &label) const
{
    const FormValue *value = m_values.value(label);
    return value && !value->isHidden();
}

QString InstanceDetailView::badgeText() const
{
    return m_title->stateText();
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

    m_title = new InstanceTitle(header);
    header->row()->addWidget(m_title, 1);

    auto *actions = new QHBoxLayout;
    actions->setSpacing(12);
    m_actionsButton = new QToolButton(header);
    m_actionsButton->setText(QStringLiteral("Actions"));
    m_actionsButton->setAccessibleName(m_actionsButton->text());
    m_actionsButton->setToolTip(QStringLiteral("Copy the address or the token, open the server in the browser or "
                                               "its data folder"));
    m_actionsButton->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(m_actionsButton);
    m_actions->addQuickActions(menu);
    m_actionsButton->setMenu(menu);
    actions->addWidget(m_actionsButton);
    m_startStop = new ProminentButton(QStringLiteral("Start"), header);
    m_startStop->setAutoDefault(false);
    connect(m_startStop, &QPushButton::clicked, this, &InstanceDetailView::startOrStop);
    actions->addWidget(m_startStop);
    header->row()->addLayout(actions);
    return header;
}

FormValue *InstanceDetailView::addRow(QFormLayout *form, const QString &label)
{
    auto *value = new FormValue(label, form->parentWidget());
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
    m_statusRows = new QFormLayout(status);
    for (const char *label : {"State", "Created", "Updated", "Last Run"})
        addRow(m_statusRows, QString::fromLatin1(label));
    column->addWidget(status);

    m_health = new InstanceHealthView(m_instanceID, m_context.instances, page);
    column->addWidget(m_health);
    column->addStretch();

    auto *scroll = new QScrollArea(this);
    // The Health section comes and goes with the server: the page keeps its width, so the sections
    // above it neither move nor are drawn again, and the page draws only what a resize uncovers.
    auto *bar = new GutterScrollBar(Qt::Vertical, scroll);
    scroll->setVerticalScrollBar(bar);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    page->setAttribute(Qt::WA_StaticContents);
    // The bar's room is the page's right margin: the sections end where the header's buttons do.
    column->setContentsMargins(Metrics::standardInset, Metrics::standardInset,
                               std::max(0, Metrics::standardInset - bar->sizeHint().width()), Metrics::standardInset);
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
    const auto addButton = [header](const QString &text) {
        auto *button = new QPushButton(text, header);
        button->setAccessibleName(text);
        button->setAutoDefault(false);
        header->row()->addWidget(button);
        return button;
    };
    m_follow = addButton(QStringLiteral("Pause"));
    m_follow->setToolTip(QStringLiteral("Pause following the newest entry, to read"));
    m_saveLog = addButton(QStringLiteral("Save Log…"));
    connect(m_saveLog, &QPushButton::clicked, this, &InstanceDetailView::saveLog);
    m_clearLogs = addButton(QStringLiteral("Clear Logs"));
    connect(m_clearLogs, &QPushButton::clicked, this, [this] {
        if (m_record)
            m_context.instances->clearLogs(m_record->id);
    });
    column->addWidget(header);
    column->addWidget(new Divider(area));

    m_logs = new LogsView(m_instanceID, m_context.instances, area);
    column->addWidget(m_logs, 1);
    connect(m_follow, &QPushButton::clicked, this, [this] { m_logs->setFollowing(!m_logs->isFollowing()); });
    connect(m_logs, &LogsView::followingChanged, this, [this](bool following) {
        const QString text = following ? QStringLiteral("Pause") : QStringLiteral("Follow");
        m_follow->setText(text);
        m_follow->setAccessibleName(text);
        m_follow->setToolTip(following ? QStringLiteral("Pause following the newest entry, to read")
                                       : QStringLiteral("Follow the newest entry again"));
    });
    return area;
}

void InstanceDetailView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The Start and Stop button's room is measured in its font.
    if (event->type() == QEvent::FontChange)
        refresh();
}

void InstanceDetailView::refresh()
{
    m_record = m_context.instances->instance(m_instanceID);
    if (!m_record) {
        m_stack->setCurrentIndex(0);
        return;
    }
    m_stack->setCurrentIndex(1);
    const HalvexInstance &record = *m_record;
    m_title->setName(record.name);
    m_title->setAddress(record.localURL());
    m_values.value(QStringLiteral("Name"))->setValue(record.name);
    m_values.value(QStringLiteral("Port"))->setValue(QString::number(record.port));
    m_values.value(QStringLiteral("Auth Token"))->setValue(record.authToken);
    m_values.value(QStringLiteral("Data Directory"))->setValue(m_context.instances->dataDirectoryPath(record));
    m_values.value(QStringLiteral("Created"))->setValue(shortDateTime(record.createdAt));
    m_values.value(QStringLiteral("Updated"))->setValue(shortDateTime(record.updatedAt));
    showRunState();
}

void InstanceDetailView::showRunState()
{
    const HalvexInstance &record = *m_record;
    const InstanceManager *manager = m_context.instances;
    const RunState state = RunStateText::shownState(*manager, record);
    m_title->setState(state == RunState::Stopped ? QString() : RunStateText::name(state), RunStateText::color(state));

    const bool forceStop = record.isRunning && manager->isStopOverdue(m_instanceID);
    const QString action = !record.isRunning ? QStringLiteral("Start")
                           : forceStop       ? QStringLiteral("Force Stop")
                                             : QStringLiteral("Stop");
    m_startStop->setText(action);
    if (!m_startStopRoom.isValid() || m_startStopFont != m_startStop->font()) {
        m_startStopFont = m_startStop->font();
        m_startStopRoom =
            m_startStop->sizeHint(QStringLiteral("Start")).expandedTo(m_startStop->sizeHint(QStringLiteral("Stop")));
    }
    // Start and Stop take the same room, so that a start or a stop lays nothing out again: a button
    // of a fixed size asks for no layout when its text changes. Force Stop takes more if it needs it.
    m_startStop->setFixedSize(forceStop ? m_startStopRoom.expandedTo(m_startStop->sizeHint(action)) : m_startStopRoom);
    m_startStop->setAccessibleName(action);
    m_startStop->setTint(record.isRunning ? SystemColors::red() : SystemColors::green());

    m_values.value(QStringLiteral("State"))->setValue(RunStateText::name(state));
    // Also while the next server runs: how the last one ended is still worth knowing, and the form
    // keeps its shape as servers start.
    const auto lastRun = manager->lastRun(m_instanceID);
    FormValue *lastRunValue = m_values.value(QStringLiteral("Last Run"));
    // Written only when it reads otherwise: formatting the time costs as much as the rest of the
    // change, and a start or a stop leaves the last run as it was.
    const QDate today = QDate::currentDate();
    if (lastRun != m_lastRunShown || today != m_lastRunShownOn) {
        lastRunValue->setValue(lastRun ? RunStateText::lastRun(*lastRun) : QString());
        m_lastRunShown = lastRun;
        m_lastRunShownOn = today;
    }
    // Showing or hiding a row lays the form out again: only when it changes.
    if (lastRunValue->isHidden() == lastRun.has_value())
        m_statusRows->setRowVisible(lastRunValue, lastRun.has_value());
}

void InstanceDetailView::startOrStop()
{
    if (!m_record)
        return;
    if (!m_record->isRunning)
        m_context.instances->startInstance(*m_record);
    else if (m_context.instances->isStopOverdue(m_instanceID))
        m_actions->confirmForceStop();
    else
        m_context.instances->stopInstance(*m_record);
}

void InstanceDetailView::saveLog()
{
    if (!m_record)
        return;
    // What the user sees when asking is what is saved, whatever arrives while they choose.
    const QByteArray text = m_logs->text().toUtf8();
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::SaveFile;
    request.title = QStringLiteral("Save Log");
    request.nameFilters = {QStringLiteral("Text files (*.txt)")};
    request.suggestedName =
        QStringLiteral("%1-log-%2.txt").arg(m_record->name, QDateTime::currentDateTime().toString(u"yyyy-MM-dd-HHmm"));
    request.directory = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    m_context.fileChooser->choose(request, this, [this, text](const QString &path) {
        if (path.isEmpty())
            return;
        // Owner-only, as the state files: a log shows the beginning of the token.
        QString error;
        if (!StateFile::writeAtomically(path, text, &error))
            m_context.prompter->alert(this, QStringLiteral("Error"),
                                      QStringLiteral("Could not save the log to %1: %2").arg(path, error));
    });
}
