// SPDX-License-Identifier: MIT
#include "InstanceHealthView.h"

#include "FormValue.h"
#include "instances/HealthMonitor.h"
#include "instances/InstanceManager.h"
#include "instances/LogTimeStamp.h"

#include <QFormLayout>
#include <QLocale>

using RunState = InstanceManager::RunState;

namespace {

// "42 s", "5 min 12 s", "3 h 5 min", "2 d 4 h": the two largest units that matter.
QString duration(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    const qint64 minutes = seconds / 60;
    const qint64 hours = minutes / 60;
    const qint64 days = hours / 24;
    if (days > 0)
        return QStringLiteral("%1 d %2 h").arg(days).arg(hours % 24);
    if (hours > 0)
        return QStringLiteral("%1 h %2 min").arg(hours).arg(minutes % 60);
    if (minutes > 0)
        return QStringLiteral("%1 min %2 s").arg(minutes).arg(seconds % 60);
    return QStringLiteral("%1 s").arg(seconds);
}

} // namespace

InstanceHealthView::InstanceHealthView(const QUuid &instanceID, InstanceManager *instanceManager, QWidget *parent)
    : QGroupBox(QStringLiteral("Health"), parent)
    , m_instanceID(instanceID)
    , m_instanceManager(instanceManager)
    , m_monitor(new HealthMonitor(this))
    , m_rows(new QFormLayout(this))
{
    m_answers = addRow(QStringLiteral("Answers"));
    m_uptime = addRow(QStringLiteral("Uptime"));
    m_pid = addRow(QStringLiteral("PID"));
    m_memory = addRow(QStringLiteral("Memory"));

    connect(m_monitor, &HealthMonitor::updated, this, &InstanceHealthView::showReading);
    connect(m_instanceManager, &InstanceManager::runStateChanged, this, [this](const QUuid &id) {
        if (id == m_instanceID)
            refresh();
    });
    connect(m_instanceManager, &InstanceManager::instanceUpdated, this, [this](const QUuid &id) {
        if (id == m_instanceID)
            refresh();
    });
    refresh();
}

FormValue *InstanceHealthView::addRow(const QString &label)
{
    auto *value = new FormValue(label, this);
    m_rows->addRow(label, value);
    m_values.insert(label, value);
    return value;
}

QString InstanceHealthView::value(const QString &label) const
{
    const FormValue *value = m_values.value(label);
    return value ? value->text() : QString();
}

void InstanceHealthView::setInstanceID(const QUuid &instanceID)
{
    if (instanceID == m_instanceID)
        return;
    m_instanceID = instanceID;
    refresh();
}

void InstanceHealthView::showEvent(QShowEvent *event)
{
    QGroupBox::showEvent(event);
    // Also the spontaneous event of a window coming back from the task bar.
    m_onScreen = true;
    updateWatching();
}

void InstanceHealthView::hideEvent(QHideEvent *event)
{
    QGroupBox::hideEvent(event);
    m_onScreen = false;
    updateWatching();
}

void InstanceHealthView::refresh()
{
    setVisible(m_instanceManager->runState(m_instanceID) == RunState::Running);
    updateWatching();
}

void InstanceHealthView::updateWatching()
{
    const auto record = m_instanceManager->instance(m_instanceID);
    const auto pid = m_instanceManager->processId(m_instanceID);
    const bool running = record && pid && m_instanceManager->runState(m_instanceID) == RunState::Running;
    if (!m_onScreen || !running) {
        m_monitor->stop();
        return;
    }
    m_monitor->watch(*pid, static_cast<quint16>(record->port));
    showReading();
}

void InstanceHealthView::showReading()
{
    const HealthMonitor::Reading &reading = m_monitor->reading();
    switch (reading.answer) {
    case HealthMonitor::Answer::Waiting:
        m_answers->setValue(QStringLiteral("…"));
        break;
    case HealthMonitor::Answer::Ok:
        m_answers->setValue(QStringLiteral("OK"));
        break;
    case HealthMonitor::Answer::Status:
        m_answers->setValue(QStringLiteral("HTTP %1").arg(reading.status));
        break;
    case HealthMonitor::Answer::NoAnswer:
        m_answers->setValue(QStringLiteral("no answer"));
        break;
    }
    const QLocale locale;
    if (const auto since = m_instanceManager->runningSince(m_instanceID))
        m_uptime->setValue(QStringLiteral("%1 (since %2)")
                               .arg(duration(since->secsTo(QDateTime::currentDateTime())),
                                    locale.toString(since->time(), mediumTimeFormat(locale))));
    m_pid->setValue(QString::number(m_monitor->pid()));
    m_memory->setValue(reading.residentBytes ? locale.formattedDataSize(*reading.residentBytes) : QStringLiteral("—"));
}
