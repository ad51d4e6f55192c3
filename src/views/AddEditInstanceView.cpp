// SPDX-License-Identifier: MIT
#include "AddEditInstanceView.h"

#include "Divider.h"
#include "HeaderBar.h"
#include "Metrics.h"
#include "ProminentButton.h"
#include "Prompter.h"
#include "SystemColors.h"
#include "Typography.h"
#include "core/AuthToken.h"
#include "core/InstanceConflicts.h"
#include "core/InstanceName.h"
#include "core/InstancePort.h"
#include "instances/InstanceManager.h"
#include "platform/PortProbe.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

AddEditInstanceView::AddEditInstanceView(std::optional<HalvexInstance> instance, InstanceManager *instanceManager,
                                         Prompter *prompter, QWidget *parent)
    : QDialog(parent)
    , m_instance(std::move(instance))
    , m_instanceManager(instanceManager)
    , m_prompter(prompter)
    , m_name(new QLineEdit(this))
    , m_port(new QLineEdit(QStringLiteral("8080"), this))
    , m_authToken(new QLineEdit(this))
    , m_nameHelp(new QLabel(this))
    , m_generate(new QPushButton(QStringLiteral("Generate"), this))
    , m_startAtLaunch(new QCheckBox(QStringLiteral("Start when Halvex Kelvane starts"), this))
{
    const bool editing = m_instance.has_value();
    setWindowTitle(editing ? QStringLiteral("Edit Instance") : QStringLiteral("New Instance"));
    setFixedSize(formWidth, formHeight);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *header = new HeaderBar(this);
    auto *title = new QLabel(windowTitle(), header);
    title->setFont(Typography::withWeight(Typography::title2(), QFont::DemiBold));
    header->row()->addWidget(title);
    header->row()->addStretch();
    column->addWidget(header);
    column->addWidget(new Divider(this));

    m_name->setPlaceholderText(QStringLiteral("Instance Name"));
    m_name->setAccessibleName(m_name->placeholderText());
    m_name->setInputMethodHints(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    m_port->setPlaceholderText(QStringLiteral("Port"));
    m_port->setAccessibleName(m_port->placeholderText());
    m_authToken->setPlaceholderText(QStringLiteral("Auth Token"));
    m_authToken->setAccessibleName(m_authToken->placeholderText());
    m_authToken->setEchoMode(QLineEdit::Password);

    auto *sections = new QVBoxLayout;
    sections->setContentsMargins(Metrics::standardInset, Metrics::standardInset, Metrics::standardInset,
                                 Metrics::standardInset);
    sections->addWidget(buildSection(QStringLiteral("Name"), m_name, m_nameHelp));
    sections->addWidget(buildSection(QStringLiteral("Port"), m_port,
                                     new QLabel(QStringLiteral("Port number for the database server"), this)));
    m_generate->setAutoDefault(false);
    sections->addWidget(buildSection(QStringLiteral("Authentication Token"), m_authToken,
                                     new QLabel(QStringLiteral("Required for authenticating with the database"), this),
                                     m_generate));
    sections->addWidget(m_startAtLaunch);
    sections->addStretch();
    column->addLayout(sections, 1);
    column->addWidget(new Divider(this));

    auto *footer = new HeaderBar(this);
    footer->row()->addStretch();
    m_cancel = new QPushButton(QStringLiteral("Cancel"), footer);
    m_cancel->setAccessibleName(m_cancel->text());
    m_cancel->setAutoDefault(false);
    footer->row()->addWidget(m_cancel);
    m_save = new ProminentButton(editing ? QStringLiteral("Save") : QStringLiteral("Create"), footer);
    m_save->setDefault(true);
    footer->row()->addWidget(m_save);
    column->addWidget(footer);

    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, &AddEditInstanceView::saveInstance);
    connect(m_generate, &QPushButton::clicked, this, [this] { m_authToken->setText(AuthToken::generate()); });
    // Only what the user types is lower-cased: a stored name shown for an edit is kept as it is, so
    // that saving another change does not rename the instance behind the user's back.
    connect(m_name, &QLineEdit::textEdited, this, &AddEditInstanceView::lowerCaseName);
    connect(m_name, &QLineEdit::textChanged, this, &AddEditInstanceView::updateNameHelp);
    for (QLineEdit *field : {m_name, m_port, m_authToken})
        connect(field, &QLineEdit::textChanged, this, [this] { m_save->setEnabled(isValid()); });

    if (editing) {
        m_name->setText(m_instance->name);
        m_authToken->setText(m_instance->authToken);
        m_port->setText(QString::number(m_instance->port));
        m_startAtLaunch->setChecked(m_instanceManager->startsAtLaunch(m_instance->id));
    } else if (const auto port =
                   InstanceConflicts(m_instanceManager->instances()).firstFreePort(8080, PortProbe::isAvailable)) {
        m_port->setText(QString::number(*port));
    }
    updateNameHelp();
    m_save->setEnabled(isValid());
}

QWidget *AddEditInstanceView::buildSection(const QString &title, QLineEdit *field, QLabel *help, QWidget *action)
{
    auto *section = new QGroupBox(title, this);
    auto *row = new QHBoxLayout(section);
    row->addWidget(field, 1);
    if (action)
        row->addWidget(action);
    help->setFont(Typography::caption());
    help->setWordWrap(true);
    SystemColors::makeSecondary(help);
    row->addWidget(help, 1);
    return section;
}

std::optional<qint64> AddEditInstanceView::integerValue(const QString &text)
{
    // Only the ASCII digits, and no blanks anywhere: QString's own conversion would accept both
    // surrounding white space and other scripts' digits.
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

bool AddEditInstanceView::isValid() const
{
    if (m_name->text().isEmpty() || m_authToken->text().isEmpty())
        return false;
    const std::optional<qint64> port = integerValue(m_port->text());
    return port && InstancePort::isValid(*port);
}

void AddEditInstanceView::lowerCaseName()
{
    const QString text = m_name->text();
    const QString lower = text.toLower();
    if (lower != text) {
        const int cursor = m_name->cursorPosition() + static_cast<int>(lower.size() - text.size());
        m_name->setText(lower);
        m_name->setCursorPosition(qBound(0, cursor, static_cast<int>(lower.size())));
    }
}

void AddEditInstanceView::updateNameHelp()
{
    const QString name = m_name->text().isEmpty() ? QStringLiteral("name") : m_name->text();
    m_nameHelp->setText(QStringLiteral("Used for local DNS: ") + name + QStringLiteral(".halvex.local"));
}

bool AddEditInstanceView::isHeldByOwnServer(qint64 port) const
{
    if (!m_instance || !m_instanceManager->hasProcess(m_instance->id))
        return false;
    const auto current = m_instanceManager->instance(m_instance->id);
    return current && current->port == port;
}

void AddEditInstanceView::fail(const QString &message)
{
    m_errorMessage = message;
    m_prompter->alert(this, QStringLiteral("Error"), message);
}

void AddEditInstanceView::saveInstance()
{
    if (!isValid())
        return;
    const QString name = m_name->text();
    const qint64 port = *integerValue(m_port->text());
    const InstanceConflicts::Conflict conflict =
        InstanceConflicts(m_instanceManager->instances(), m_instance ? m_instance->id : QUuid()).check(name, port);
    if (conflict == InstanceConflicts::Conflict::Name)
        return fail(QStringLiteral("An instance with this name already exists"));
    // The name becomes a host name, a directory and part of a privileged command.
    if (!InstanceName::isValid(name))
        return fail(QStringLiteral("Invalid instance name. ") + InstanceName::requirement() + u'.');
    if (conflict == InstanceConflicts::Conflict::Port)
        return fail(QStringLiteral("This port is already in use by another instance"));
    if (!isHeldByOwnServer(port) && !PortProbe::isAvailable(static_cast<quint16>(port)))
        return fail(QStringLiteral("Port %1 is already in use by another application").arg(port));

    HalvexInstance record = m_instance ? *m_instance : HalvexInstance::create(name, m_authToken->text(), port);
    if (m_instance) {
        record.name = name;
        record.authToken = m_authToken->text();
        record.port = port;
        QString error;
        if (!m_instanceManager->updateInstance(record, &error))
            return fail(error);
    } else {
        m_instanceManager->addInstance(record);
    }
    m_instanceManager->setStartsAtLaunch(record.id, m_startAtLaunch->isChecked());
    accept();
}
