// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"
#include "ViewTesting.h"

#include "core/InstanceName.h"
#include "platform/PortProbe.h"
#include "views/AddEditInstanceView.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTcpServer>

// The instance form over a real registry: its checks in their order, the texts of its alerts, and
// what it hands the registry.
class TestInstanceForm : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    std::unique_ptr<ViewFixture> m_fixture;

    std::unique_ptr<AddEditInstanceView> form(std::optional<HalvexInstance> instance = std::nullopt)
    {
        return std::make_unique<AddEditInstanceView>(std::move(instance), m_fixture->instances.get(),
                                                     &m_fixture->prompter);
    }
    static void fill(AddEditInstanceView &view, const QString &name, const QString &port, const QString &token)
    {
        view.nameField()->setText(name);
        view.portField()->setText(port);
        view.tokenField()->setText(token);
    }
    QStringList alerts() const { return ViewTesting::alerts(m_fixture->prompter); }

private slots:
    void init() { m_fixture = std::make_unique<ViewFixture>(); }
    void cleanup() { m_fixture.reset(); }

    // Incomplete entries never reach the checks: the button is off and a save does nothing.
    void entries_enableCreate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("valid");
        const auto row = [](const char *tag, const char *name, const char *token, const char *port, bool valid) {
            QTest::newRow(tag) << QString::fromUtf8(name) << QString::fromUtf8(token) << QString::fromUtf8(port)
                               << valid;
        };
        row("empty name", "", "t", "8080", false);
        row("empty token", "orders", "", "8080", false);
        row("lowest port", "orders", "t", "1", true);
        row("highest port", "orders", "t", "65535", true);
        row("zero", "orders", "t", "0", false);
        row("above range", "orders", "t", "65536", false);
        row("blank around", "orders", "t", " 8080", false);
        row("letters", "orders", "t", "80a", false);
        row("overflow", "orders", "t", "99999999999999999999", false);
        row("other script digits", "orders", "t", "٨٠٨٠", false);
    }
    void entries_enableCreate()
    {
        QFETCH(QString, name);
        QFETCH(QString, token);
        QFETCH(QString, port);
        QFETCH(bool, valid);
        auto view = form();
        fill(*view, name, port, token);
        QCOMPARE(view->saveButton()->isEnabled(), valid);
        if (valid)
            return;
        view->saveInstance();
        QCOMPARE(alerts(), QStringList());
        QVERIFY(m_fixture->instances->instances().isEmpty());
    }

    void save_checksInOrder_data()
    {
        QTest::addColumn<QString>("existingName");
        QTest::addColumn<bool>("existingHasTypedPort");
        QTest::addColumn<bool>("portHeldBySocket");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message"); // %1: the port, without sign; empty: saved
        const QString nameTaken = QStringLiteral("An instance with this name already exists");
        const QString portTaken = QStringLiteral("This port is already in use by another instance");
        const QString portHeld = QStringLiteral("Port %1 is already in use by another application");
        const QString badName = QStringLiteral("Invalid instance name. ") + InstanceName::requirement() + u'.';
        QTest::newRow("free") << "billing" << false << false << "orders" << QString();
        QTest::newRow("name taken in other case") << "Orders" << false << false << "orders" << nameTaken;
        QTest::newRow("port taken by an instance") << "billing" << true << false << "orders" << portTaken;
        QTest::newRow("both taken: the name") << "orders" << true << false << "orders" << nameTaken;
        QTest::newRow("not a host label") << "billing" << false << false << "my_db" << badName;
        QTest::newRow("bad name before taken port") << "billing" << true << false << "my.db" << badName;
        QTest::newRow("port held by a program") << "billing" << false << true << "orders" << portHeld;
        QTest::newRow("instance before program") << "billing" << true << true << "orders" << portTaken;
    }
    void save_checksInOrder()
    {
        QFETCH(QString, existingName);
        QFETCH(bool, existingHasTypedPort);
        QFETCH(bool, portHeldBySocket);
        QFETCH(QString, name);
        QFETCH(QString, message);
        QTcpServer holder;
        quint16 port = TestSupport::freePort();
        if (portHeldBySocket) {
            QVERIFY(holder.listen(QHostAddress::Any, 0));
            port = holder.serverPort();
        }
        const HalvexInstance existing = m_fixture->add(existingName, existingHasTypedPort ? port : 1);
        auto view = form();
        QSignalSpy finished(view.get(), &QDialog::finished);
        // The sign is accepted, and left out of the message.
        const QString typedPort = u'+' + QString::number(port);
        fill(*view, name, typedPort, QStringLiteral("token"));
        view->saveInstance();
        QCOMPARE(finished.count(), message.isEmpty() ? 1 : 0);
        if (message.isEmpty()) {
            QCOMPARE(alerts(), QStringList());
            const HalvexInstance added = m_fixture->instances->instances().last();
            QVERIFY(added.id != existing.id);
            QCOMPARE(added.name, name);
            QCOMPARE(added.port, qint64(port));
            QCOMPARE(added.authToken, QStringLiteral("token"));
            return;
        }
        QCOMPARE(alerts(), QStringList{QStringLiteral("Error: ") + message.arg(port)});
        QCOMPARE(m_fixture->instances->instances(), QList<HalvexInstance>{existing});
        QCOMPARE(view->nameField()->text(), name);
        QCOMPARE(view->portField()->text(), typedPort);
    }

    // typed: what the keyboard adds to the stored name. Start at launch is saved with the rest.
    void edit_keepsTheRecordsIdentity_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("newPort");
        QTest::addColumn<QString>("saved");
        const auto row = [](const char *tag, const char *stored, const char *typed, bool newPort, const char *saved) {
            QTest::newRow(tag) << QString::fromUtf8(stored) << QString::fromUtf8(typed) << newPort
                               << QString::fromUtf8(saved);
        };
        row("nothing changed: no conflict with itself", "orders", "", false, "orders");
        row("everything changed", "orders", "-2", true, "orders-2");
        // Lower-cased, an imported name would point at another, empty data directory.
        row("stored capitals kept", "Orders", "", true, "Orders");
        row("typed name lower-cased", "Orders", "2", false, "orders2");
    }
    void edit_keepsTheRecordsIdentity()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, newPort);
        QFETCH(QString, saved);
        HalvexInstance record = HalvexInstance::create(stored, QStringLiteral("secret"), TestSupport::freePort());
        record.createdAt = 1000.25;
        m_fixture->instances->addInstance(record);
        auto view = form(m_fixture->current(record.id));
        QCOMPARE(view->tokenField()->text(), QStringLiteral("secret"));
        QVERIFY(!view->startAtLaunchBox()->isChecked());
        view->startAtLaunchBox()->setChecked(true);
        const qint64 port = newPort ? TestSupport::freePort() : record.port;
        view->portField()->setText(QString::number(port));
        view->nameField()->end(false);
        QTest::keyClicks(view->nameField(), typed);
        view->saveInstance();
        QCOMPARE(alerts(), QStringList());
        QCOMPARE(m_fixture->instances->instances().size(), 1);
        const HalvexInstance after = m_fixture->current(record.id);
        QCOMPARE(after.createdAt, 1000.25);
        QCOMPARE(after.name, saved);
        QCOMPARE(after.port, port);
        QVERIFY(m_fixture->instances->startsAtLaunch(record.id));
        QVERIFY(form(after)->startAtLaunchBox()->isChecked());
    }

    // The probe makes no exception for the edited instance, unless its own server holds the port.
    void edit_portHeldByAProgramUnlessItsOwnServer()
    {
        auto holder = std::make_unique<QTcpServer>();
        QVERIFY(holder->listen(QHostAddress::Any, 0));
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), holder->serverPort());
        form(record)->saveInstance();
        const QString held = QStringLiteral("Error: Port %1 is already in use by another application").arg(record.port);
        QCOMPARE(alerts(), QStringList{held});

        holder.reset();
        m_fixture->useExecutable(TestSupport::serverPath());
        auto view = form(record); // opened before the start: its copy says stopped
        m_fixture->instances->startInstance(record);
        QTRY_VERIFY_WITH_TIMEOUT(m_fixture->current(record.id).isRunning, 15000);
        view->tokenField()->setText(QStringLiteral("new-token"));
        view->saveInstance();
        QCOMPARE(alerts(), QStringList{held});
        QCOMPARE(view->result(), int(QDialog::Accepted));
        QCOMPARE(m_fixture->current(record.id).authToken, QStringLiteral("new-token"));
        QVERIFY(m_fixture->current(record.id).isRunning);
    }

    // The registry's refusal reaches the user in the form's alert, and the form stays open.
    void edit_refusedByTheRegistryIsShown()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"));
        QVERIFY(QDir().mkpath(m_fixture->storage() + QStringLiteral("/sales")));
        auto view = form(record);
        QSignalSpy finished(view.get(), &QDialog::finished);
        view->nameField()->setText(QStringLiteral("sales"));
        view->saveInstance();
        QCOMPARE(alerts().size(), 1);
        QVERIFY(alerts().first().startsWith(QStringLiteral("Error: Cannot rename the instance to 'sales'")));
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_fixture->current(record.id).name, QStringLiteral("orders"));
    }

    void newInstance_proposesAFreePortAndGeneratesTokens()
    {
        m_fixture->add(QStringLiteral("orders"), 8080);
        QTcpServer listener; // 8081 held by this or another program
        listener.listen(QHostAddress::LocalHost, 8081);
        auto view = form();
        const auto proposed = static_cast<quint16>(view->portField()->text().toUInt());
        QVERIFY2(proposed > 8081 && PortProbe::isAvailable(proposed), qPrintable(view->portField()->text()));
        // 6400 symbols: the chance that one of the 62 never comes is about e^-100.
        QString symbols;
        for (int i = 0; i < 200; ++i) {
            view->generateButton()->click();
            QVERIFY(
                QRegularExpression(QStringLiteral("^[A-Za-z0-9]{32}$")).match(view->tokenField()->text()).hasMatch());
            symbols += view->tokenField()->text();
        }
        QCOMPARE(QSet<QChar>(symbols.cbegin(), symbols.cend()).size(), 62);
    }
};

QTEST_MAIN(TestInstanceForm)
#include "tst_instanceform.moc"
