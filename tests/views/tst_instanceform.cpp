// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "core/InstanceName.h"
#include "platform/PortProbe.h"
#include "views/AddEditInstanceView.h"

#include <QCheckBox>
#include <QRegularExpression>
#include <QSet>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

class TestInstanceForm : public QObject
{
    Q_OBJECT

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
    void startServer(const HalvexInstance &record)
    {
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        m_fixture->instances->startInstance(*m_fixture->instances->instance(record.id));
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture->instances->runState(record.id), InstanceManager::RunState::Running, 15000);
    }
    void stopServer(const HalvexInstance &record)
    {
        m_fixture->instances->stopInstance(*m_fixture->instances->instance(record.id));
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture->instances->runState(record.id), InstanceManager::RunState::Stopped, 15000);
    }
    QStringList alertMessages() const
    {
        QStringList messages;
        for (const auto &alert : m_fixture->prompter.alerts()) {
            if (alert.title == QStringLiteral("Error"))
                messages.append(alert.message);
        }
        return messages;
    }

private slots:
    void init() { m_fixture = std::make_unique<ViewFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void isValid_followsEntries_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("valid");
        QTest::newRow("complete") << "orders"
                                  << "t"
                                  << "8080" << true;
        QTest::newRow("empty name") << ""
                                    << "t"
                                    << "8080" << false;
        QTest::newRow("blank name is not empty") << "   "
                                                 << "t"
                                                 << "8080" << true;
        QTest::newRow("empty token") << "orders"
                                     << ""
                                     << "8080" << false;
        QTest::newRow("plus sign") << "orders"
                                   << "t"
                                   << "+8080" << true;
        QTest::newRow("leading zeros") << "orders"
                                       << "t"
                                       << "0008080" << true;
        QTest::newRow("lowest port") << "orders"
                                     << "t"
                                     << "1" << true;
        QTest::newRow("highest port") << "orders"
                                      << "t"
                                      << "65535" << true;
        QTest::newRow("leading blank") << "orders"
                                       << "t"
                                       << " 8080" << false;
        QTest::newRow("trailing blank") << "orders"
                                        << "t"
                                        << "8080 " << false;
        QTest::newRow("zero") << "orders"
                              << "t"
                              << "0" << false;
        QTest::newRow("above range") << "orders"
                                     << "t"
                                     << "65536" << false;
        QTest::newRow("negative") << "orders"
                                  << "t"
                                  << "-1" << false;
        QTest::newRow("letters") << "orders"
                                 << "t"
                                 << "80a" << false;
        QTest::newRow("empty port") << "orders"
                                    << "t"
                                    << "" << false;
        QTest::newRow("sign only") << "orders"
                                   << "t"
                                   << "+" << false;
        QTest::newRow("overflow") << "orders"
                                  << "t"
                                  << "99999999999999999999" << false;
        QTest::newRow("other script digits") << "orders"
                                             << "t" << QString::fromUtf8("٨٠٨٠") << false;
    }

    void isValid_followsEntries()
    {
        QFETCH(QString, name);
        QFETCH(QString, token);
        QFETCH(QString, port);
        QFETCH(bool, valid);
        auto view = form();
        fill(*view, name, port, token);
        QCOMPARE(view->isValid(), valid);
        QCOMPARE(view->saveButton()->isEnabled(), valid);
    }

    void save_checksInOrder_data()
    {
        QTest::addColumn<QString>("existingName");
        // Which port the existing instance has: the one typed, or another.
        QTest::addColumn<bool>("existingHasTypedPort");
        QTest::addColumn<bool>("portHeldBySocket");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("portPrefix");
        // %1 stands for the port typed, without sign.
        QTest::addColumn<QString>("message");

        const QString nameTaken = QStringLiteral("An instance with this name already exists");
        const QString portTaken = QStringLiteral("This port is already in use by another instance");
        const QString portHeld = QStringLiteral("Port %1 is already in use by another application");
        const QString badName = QStringLiteral("Invalid instance name. ") + InstanceName::requirement() + u'.';
        QTest::newRow("free") << "billing" << false << false << "orders"
                              << ""
                              << "";
        QTest::newRow("name taken") << "orders" << false << false << "orders"
                                    << "" << nameTaken;
        QTest::newRow("stored name in other case") << "Orders" << false << false << "orders"
                                                   << "" << nameTaken;
        QTest::newRow("typed name in other case") << "orders" << false << false << "ORDERS"
                                                  << "" << nameTaken;
        QTest::newRow("port taken by an instance") << "billing" << true << false << "orders"
                                                   << "" << portTaken;
        QTest::newRow("both taken reports the name") << "orders" << true << false << "orders"
                                                     << "" << nameTaken;
        QTest::newRow("name not a host label") << "billing" << false << false << "my_db"
                                               << "" << badName;
        QTest::newRow("blank name") << "billing" << false << false << "  "
                                    << "" << badName;
        QTest::newRow("name checked before port") << "billing" << true << false << "my.db"
                                                  << "" << badName;
        QTest::newRow("port held by a socket") << "billing" << false << true << "orders"
                                               << "" << portHeld;
        QTest::newRow("signed port held by a socket") << "billing" << false << true << "orders"
                                                      << "+" << portHeld;
        QTest::newRow("instance conflict before probe") << "billing" << true << true << "orders"
                                                        << "" << portTaken;
    }

    void save_checksInOrder()
    {
        QFETCH(QString, existingName);
        QFETCH(bool, existingHasTypedPort);
        QFETCH(bool, portHeldBySocket);
        QFETCH(QString, name);
        QFETCH(QString, portPrefix);
        QFETCH(QString, message);

        QTcpServer holder;
        quint16 port = TestSupport::freePort();
        if (portHeldBySocket) {
            QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
            port = holder.serverPort();
        }
        const HalvexInstance existing = m_fixture->add(existingName, existingHasTypedPort ? port : 1);
        auto view = form();
        QSignalSpy finished(view.get(), &QDialog::finished);
        fill(*view, name, portPrefix + QString::number(port), QStringLiteral("token"));
        view->saveInstance();

        if (message.isEmpty()) {
            QCOMPARE(alertMessages(), QStringList());
            QCOMPARE(finished.count(), 1);
            QCOMPARE(view->result(), int(QDialog::Accepted));
            QCOMPARE(m_fixture->instances->instances().size(), 2);
            const HalvexInstance added = m_fixture->instances->instances().last();
            QCOMPARE(added.name, name);
            QCOMPARE(added.port, qint64(port));
            QCOMPARE(added.authToken, QStringLiteral("token"));
            QVERIFY(!added.isRunning);
            QVERIFY(added.id != existing.id);
            return;
        }
        if (message.contains(QStringLiteral("%1")))
            message = message.arg(port);
        QCOMPARE(alertMessages(), QStringList{message});
        QCOMPARE(view->errorMessage(), message);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_fixture->instances->instances(), QList<HalvexInstance>{existing});
        QCOMPARE(view->nameField()->text(), name);
        QCOMPARE(view->portField()->text(), portPrefix + QString::number(port));
    }

    void save_invalidEntriesDoNothing()
    {
        auto view = form();
        fill(*view, QStringLiteral("orders"), QStringLiteral("80a"), QStringLiteral("token"));
        view->saveInstance();
        QVERIFY(m_fixture->prompter.alerts().isEmpty());
        QVERIFY(m_fixture->instances->instances().isEmpty());
    }

    void edit_keepsIdentityAndStamps_data()
    {
        QTest::addColumn<QString>("newName");
        QTest::addColumn<bool>("newPort");
        QTest::addColumn<QString>("newToken");
        QTest::newRow("nothing changed") << "orders" << false << "secret-token";
        QTest::newRow("all changed") << "sales" << true << "other-token";
    }

    void edit_keepsIdentityAndStamps()
    {
        QFETCH(QString, newName);
        QFETCH(bool, newPort);
        QFETCH(QString, newToken);
        HalvexInstance record =
            HalvexInstance::create(QStringLiteral("orders"), QStringLiteral("secret-token"), TestSupport::freePort());
        record.createdAt = 1000.25;
        record.updatedAt = 1000.25;
        m_fixture->instances->addInstance(record);
        record = m_fixture->instances->instances().last();

        auto view = form(record);
        QCOMPARE(view->nameField()->text(), QStringLiteral("orders"));
        QCOMPARE(view->tokenField()->text(), QStringLiteral("secret-token"));
        QCOMPARE(view->portField()->text(), QString::number(record.port));
        const qint64 port = newPort ? TestSupport::freePort() : record.port;
        fill(*view, newName, QString::number(port), newToken);
        view->saveInstance();

        QCOMPARE(alertMessages(), QStringList());
        QCOMPARE(m_fixture->instances->instances().size(), 1);
        const HalvexInstance saved = m_fixture->instances->instances().first();
        QCOMPARE(saved.id, record.id);
        QCOMPARE(saved.createdAt, 1000.25);
        QVERIFY(saved.updatedAt > record.updatedAt);
        QCOMPARE(saved.name, newName);
        QCOMPARE(saved.port, port);
        QCOMPARE(saved.authToken, newToken);
    }

    void edit_portHeldByAnotherProgramIsRefused()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), holder.serverPort());
        auto view = form(record);
        view->saveInstance();
        QCOMPARE(alertMessages(),
                 QStringList{QStringLiteral("Port %1 is already in use by another application").arg(record.port)});
        QCOMPARE(m_fixture->instances->instances().first(), record);
    }

    // The server starts or ends while the form is open; its own server holds the unchanged port.
    void edit_keepsTheLiveRunState_data()
    {
        QTest::addColumn<bool>("runningWhenOpened");
        QTest::newRow("started after the form opened") << false;
        QTest::newRow("ended after the form opened") << true;
    }
    void edit_keepsTheLiveRunState()
    {
        QFETCH(bool, runningWhenOpened);
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), TestSupport::freePort());
        if (runningWhenOpened)
            startServer(record);
        auto view = form(*m_fixture->instances->instance(record.id));
        if (runningWhenOpened)
            stopServer(record);
        else
            startServer(record);
        view->tokenField()->setText(QStringLiteral("new-token"));
        view->saveInstance();

        QCOMPARE(alertMessages(), QStringList());
        QCOMPARE(view->result(), int(QDialog::Accepted));
        const HalvexInstance saved = *m_fixture->instances->instance(record.id);
        QCOMPARE(saved.authToken, QStringLiteral("new-token"));
        QCOMPARE(saved.isRunning, !runningWhenOpened);
    }

    void edit_renameOfARunningInstanceIsRefused()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), TestSupport::freePort());
        startServer(record);
        auto view = form(*m_fixture->instances->instance(record.id));
        view->nameField()->setText(QStringLiteral("sales"));
        view->saveInstance();
        QCOMPARE(alertMessages(),
                 QStringList{QStringLiteral("The instance 'orders' is running. Stop it before renaming it.")});
        QCOMPARE(view->result(), int(QDialog::Rejected));
        QCOMPARE(m_fixture->instances->instance(record.id)->name, QStringLiteral("orders"));
        QVERIFY(QFileInfo(m_fixture->storage() + QStringLiteral("/orders")).isDir());
        QVERIFY(!QFileInfo::exists(m_fixture->storage() + QStringLiteral("/sales")));
    }

    // An imported name in capitals must survive an edit that does not touch it: lower-cased, it
    // would point the instance at another, empty data directory.
    void edit_keepsTheStoredNameUnlessTyped_data()
    {
        QTest::addColumn<QString>("typedIntoName");
        QTest::addColumn<QString>("saved");
        QTest::newRow("only the port edited") << ""
                                              << "Orders";
        QTest::newRow("name typed") << "2"
                                    << "orders2";
    }
    void edit_keepsTheStoredNameUnlessTyped()
    {
        QFETCH(QString, typedIntoName);
        QFETCH(QString, saved);
        const HalvexInstance record = m_fixture->add(QStringLiteral("Orders"), TestSupport::freePort());
        auto view = form(record);
        QCOMPARE(view->nameField()->text(), QStringLiteral("Orders"));
        QCOMPARE(view->nameHelp()->text(), QStringLiteral("Used for local DNS: Orders.halvex.local"));
        view->portField()->clear();
        QTest::keyClicks(view->portField(), QString::number(TestSupport::freePort()));
        view->nameField()->end(false);
        QTest::keyClicks(view->nameField(), typedIntoName);
        view->saveInstance();
        QCOMPARE(alertMessages(), QStringList());
        QCOMPARE(m_fixture->instances->instance(record.id)->name, saved);
        QVERIFY(QFileInfo(m_fixture->storage() + u'/' + saved).isDir());
    }

    void newInstance_proposesAFreePortAndGeneratesTokens()
    {
        // 8080 is another instance's, 8081 held by a listener (this one, or another program's).
        m_fixture->add(QStringLiteral("orders"), 8080);
        QTcpServer listener;
        listener.listen(QHostAddress::LocalHost, 8081);
        auto view = form();
        const qint64 proposed = view->portField()->text().toLongLong();
        QVERIFY2(proposed > 8081 && PortProbe::isAvailable(static_cast<quint16>(proposed)),
                 qPrintable(view->portField()->text()));
        // 6400 symbols: the chance that one of the 62 never comes is about e^-100.
        QSet<QChar> seen;
        for (int i = 0; i < 200; ++i) {
            view->generateButton()->click();
            const QString token = view->tokenField()->text();
            QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9]{32}$")).match(token).hasMatch(),
                     qPrintable(token));
            seen.unite(QSet<QChar>(token.cbegin(), token.cend()));
        }
        QCOMPARE(seen.size(), 62);
    }

    void startAtLaunch_savedWithTheFormAndShownAgain()
    {
        auto view = form();
        fill(*view, QStringLiteral("orders"), QString::number(TestSupport::freePort()), QStringLiteral("t"));
        view->startAtLaunchBox()->setChecked(true);
        view->saveInstance();
        const HalvexInstance added = m_fixture->instances->instances().last();
        QVERIFY(m_fixture->instances->startsAtLaunch(added.id));
        view = form(added);
        QVERIFY(view->startAtLaunchBox()->isChecked());
        view->startAtLaunchBox()->setChecked(false);
        view->saveInstance();
        QVERIFY(!m_fixture->instances->startsAtLaunch(added.id));
    }

    void name_isLowerCasedAndNamesTheHost_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("help");
        QTest::newRow("empty") << ""
                               << ""
                               << "Used for local DNS: name.halvex.local";
        QTest::newRow("capitals") << "Orders"
                                  << "orders"
                                  << "Used for local DNS: orders.halvex.local";
        QTest::newRow("beyond ascii") << QString::fromUtf8("ÄRGER") << QString::fromUtf8("ärger")
                                      << QString::fromUtf8("Used for local DNS: ärger.halvex.local");
    }

    void name_isLowerCasedAndNamesTheHost()
    {
        QFETCH(QString, typed);
        QFETCH(QString, field);
        QFETCH(QString, help);
        auto view = form();
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QTest::keyClicks(view->nameField(), typed);
        QCOMPARE(view->nameField()->text(), field);
        QCOMPARE(view->nameHelp()->text(), help);
    }

    void name_typingInTheMiddleKeepsTheCursor()
    {
        auto view = form();
        view->nameField()->setText(QStringLiteral("ords"));
        view->nameField()->setCursorPosition(3);
        QTest::keyClicks(view->nameField(), QStringLiteral("ER"));
        QCOMPARE(view->nameField()->text(), QStringLiteral("orders"));
        QCOMPARE(view->nameField()->cursorPosition(), 5);
    }

    void modes_haveTheirTexts_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("action");
        QTest::newRow("add") << false << "New Instance"
                             << "Create";
        QTest::newRow("edit") << true << "Edit Instance"
                              << "Save";
    }

    void modes_haveTheirTexts()
    {
        QFETCH(bool, editing);
        QFETCH(QString, title);
        QFETCH(QString, action);
        auto view =
            editing ? form(HalvexInstance::create(QStringLiteral("orders"), QStringLiteral("t"), 9090)) : form();
        QCOMPARE(view->windowTitle(), title);
        const QList<QLabel *> labels = view->findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(),
                            [&title](const QLabel *label) { return label->text() == title; }));
        QCOMPARE(view->saveButton()->text(), action);
        QCOMPARE(view->saveButton()->accessibleName(), action);
        QCOMPARE(view->tokenField()->echoMode(), QLineEdit::Password);
        QCOMPARE(view->size(), QSize(500, 550));
    }

    void keys_returnSavesAndEscapeCancels_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("instances");
        QTest::newRow("return saves") << int(Qt::Key_Return) << "t" << int(QDialog::Accepted) << 1;
        QTest::newRow("return on invalid entries") << int(Qt::Key_Return) << "" << -1 << 0;
        QTest::newRow("escape cancels") << int(Qt::Key_Escape) << "t" << int(QDialog::Rejected) << 0;
    }

    void keys_returnSavesAndEscapeCancels()
    {
        QFETCH(int, key);
        QFETCH(QString, token);
        QFETCH(int, result);
        QFETCH(int, instances);
        auto view = form();
        QSignalSpy finished(view.get(), &QDialog::finished);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        fill(*view, QStringLiteral("orders"), QString::number(TestSupport::freePort()), token);
        view->portField()->setFocus();
        QTest::keyClick(view->portField(), Qt::Key(key));
        QCOMPARE(finished.isEmpty() ? -1 : finished.first().first().toInt(), result);
        QCOMPARE(m_fixture->instances->instances().size(), instances);
    }
};

QTEST_MAIN(TestInstanceForm)
#include "tst_instanceform.moc"
