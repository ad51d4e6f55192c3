// SPDX-License-Identifier: MIT
#include "core/HalvexInstance.h"
#include "core/InstanceName.h"
#include "core/ReferenceDate.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QTest>

class TestHalvexInstance : public QObject
{
    Q_OBJECT

private slots:
    // The registry writes records with a writer of its own; what it writes must be the JSON of the
    // record and read back bit for bit, whatever the texts hold.
    void compactJson_readsBackUnchanged_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("token");
        QTest::addColumn<double>("date");
        QTest::newRow("plain") << "orders"
                               << "orders/token" << 786297600.123456789;
        QTest::newRow("escapes") << "a\"b\\c/d\n\t\u0001\u001f"
                                 << "a\"b\\c/token" << -1.5;
        QTest::newRow("non-ascii, lone surrogate")
            << QString(QStringLiteral("café 😀") + QChar(0xD800)) << "café ☕ 😀/token" << 1e-7;
        QTest::newRow("escaped name, plain token") << "a\"b"
                                                   << "token" << 786297600.5;
        QTest::newRow("plain name, escaped token") << "orders"
                                                   << "tök\x7f" << 786297600.5;
        QTest::newRow("empty texts, integral date") << ""
                                                    << "" << 100.0;
        QTest::newRow("longest date") << "x"
                                      << "x" << -2.2250738585072014e-308;
    }
    void compactJson_readsBackUnchanged()
    {
        QFETCH(QString, name);
        QFETCH(QString, token);
        QFETCH(double, date);
        HalvexInstance instance = HalvexInstance::create(name, token, -9007199254740993);
        instance.createdAt = date;
        instance.updatedAt = 786297600.987654321 + 1e-7;
        QByteArray compact;
        instance.appendCompactJson(compact);
        QCOMPARE(compact, QJsonDocument(instance.toJson()).toJson(QJsonDocument::Compact));
        QCOMPARE(HalvexInstance::fromJson(QJsonDocument::fromJson(compact).object()), instance);
    }

    void fromJson_strict_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value"); // undefined removes the key
        QTest::addColumn<bool>("accepted");
        QTest::newRow("lower-case id") << "id" << QJsonValue("0f8fad5b-d9cb-469f-a165-70867728950e") << true;
        QTest::newRow("extra key") << "colour" << QJsonValue("blue") << true;
        QTest::newRow("negative port") << "port" << QJsonValue(-5) << true;
        QTest::newRow("empty name") << "name" << QJsonValue("") << true;
        QTest::newRow("missing") << "updatedAt" << QJsonValue(QJsonValue::Undefined) << false;
        QTest::newRow("null") << "name" << QJsonValue(QJsonValue::Null) << false;
        QTest::newRow("port as string") << "port" << QJsonValue("8080") << false;
        QTest::newRow("fractional port") << "port" << QJsonValue(8080.5) << false;
        QTest::newRow("port beyond 64 bits") << "port" << QJsonValue(1e19) << false;
        QTest::newRow("isRunning as number") << "isRunning" << QJsonValue(1) << false;
        QTest::newRow("createdAt as text") << "createdAt" << QJsonValue("2025-03-01T14:05:09Z") << false;
        QTest::newRow("id with braces") << "id" << QJsonValue("{0F8FAD5B-D9CB-469F-A165-70867728950E}") << false;
        QTest::newRow("id not hex") << "id" << QJsonValue("0G8FAD5B-D9CB-469F-A165-70867728950E") << false;
    }
    void fromJson_strict()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(bool, accepted);
        QJsonObject object =
            QJsonDocument::fromJson(TestSupport::json("{'id':'0F8FAD5B-D9CB-469F-A165-70867728950E','name':"
                                                      "'orders','authToken':'t','port':8080,'isRunning':"
                                                      "false,'createdAt':1.5,'updatedAt':2}"))
                .object();
        value.isUndefined() ? object.remove(key) : void(object.insert(key, value));
        QString error;
        const auto read = HalvexInstance::fromJson(object, HalvexInstance::DateForm::ReferenceSeconds, &error);
        QCOMPARE(read.has_value(), accepted);
        QVERIFY2(read || error.contains(key), qPrintable(error));
        if (!read)
            return;
        // Written again: upper-case id, only the seven keys.
        object.remove(QStringLiteral("colour"));
        object[QStringLiteral("id")] = object.value(QStringLiteral("id")).toString().toUpper();
        QCOMPARE(read->toJson(), object);
    }

    void create_freshIdNotRunningDatedNowSince2001()
    {
        const HalvexInstance a = HalvexInstance::create("a b", "t", 1);
        const HalvexInstance b = HalvexInstance::create("a b", "t", 1);
        QVERIFY(!a.id.isNull() && a.id != b.id && !a.isRunning && a.createdAt <= a.updatedAt);
        QVERIFY(qAbs(a.createdAt + 978307200 - double(QDateTime::currentSecsSinceEpoch())) < 60);
        QCOMPARE(a.localURL(), "http://a b.halvex.local:1");
    }

    void isoDates_onlyInternetForm()
    {
        QCOMPARE(ReferenceDate::fromIso8601("2025-03-01T14:05:09Z"), 762530709.0);
        QCOMPARE(ReferenceDate::fromIso8601("2025-03-01T15:05:09+01:00"), 762530709.0);
        for (const char *refused : {"2025-03-01T14:05:09.5Z", "2025-03-01", "2025-03-01T14:05:09",
                                    "2025-03-01 14:05:09Z", "2025-03-01T14:05Z", "2025-13-01T14:05:09Z"})
            QVERIFY2(!ReferenceDate::fromIso8601(refused), refused);
    }

    // A name becomes a host label, a path component and a word of a privileged command.
    void instanceName_isHostLabel()
    {
        for (const QString &name : {QStringLiteral("orders"), QStringLiteral("Db-2"), QString(63, u'a')})
            QVERIFY2(InstanceName::isValid(name), qPrintable(name));
        for (const QString &name :
             {QString(), QString(64, u'a'), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a/b"),
              QStringLiteral("-a"), QStringLiteral("a-"), QStringLiteral("a'b"), QStringLiteral("a b"),
              QStringLiteral("café"), QStringLiteral("a_b")})
            QVERIFY2(!InstanceName::isValid(name), qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestHalvexInstance)
#include "tst_halvexinstance.moc"
