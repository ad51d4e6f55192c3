// SPDX-License-Identifier: MIT
#include "core/HalvexInstance.h"
#include "core/InstanceName.h"
#include "core/ReferenceDate.h"

#include "TestSupport.h"

#include <QJsonDocument>
#include <QTest>

using TestSupport::json;

class TestHalvexInstance : public QObject
{
    Q_OBJECT

private:
    static HalvexInstance sample()
    {
        HalvexInstance instance = HalvexInstance::create(QStringLiteral("orders"), QStringLiteral("s3cret"), 8080);
        instance.createdAt = 786297600.123456789;
        instance.updatedAt = 786297600.987654321 + 1e-7;
        return instance;
    }
    static QJsonObject validObject()
    {
        return QJsonDocument::fromJson(json("{'id':'0F8FAD5B-D9CB-469F-A165-70867728950E','name':'orders',"
                                            "'authToken':'t','port':8080,'isRunning':false,"
                                            "'createdAt':1.5,'updatedAt':2.25}"))
            .object();
    }

private slots:
    void roundTrip_keepsEveryFieldToTheLastBit()
    {
        const HalvexInstance original = sample();
        const QByteArray bytes = QJsonDocument(original.toJson()).toJson(QJsonDocument::Compact);
        const auto read = HalvexInstance::fromJson(QJsonDocument::fromJson(bytes).object());
        QVERIFY(read);
        QCOMPARE(*read, original);
        QCOMPARE(qHash(*read), qHash(original));
        QVERIFY(!bytes.contains(' '));
    }

    void compactJson_sameBytesAsTheJsonObject_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("token");
        QTest::addColumn<double>("date");
        QTest::newRow("plain") << "orders"
                               << "orders/token" << 786297600.123456;
        QTest::newRow("quotes and backslash") << "a\"b\\c"
                                              << "a\"b\\c/token" << 0.0;
        QTest::newRow("slash and controls") << "a/b\n\t\u0001\u001f"
                                            << "a/b\n\t\u0001\u001f" << -1.5;
        QTest::newRow("non-ascii") << "café ☕ 😀"
                                   << "café ☕ 😀/token" << 786297600.5;
        QTest::newRow("escaped name, plain token") << "a\"b"
                                                   << "token" << 786297600.5;
        QTest::newRow("plain name, escaped token") << "orders"
                                                   << "tök\x7f" << 786297600.5;
        QTest::newRow("empty name and token") << ""
                                              << "" << 786297600.5;
        QTest::newRow("integral date") << "x"
                                       << "x" << 100.0;
        QTest::newRow("tiny date") << "x"
                                   << "x" << 1e-7;
        QTest::newRow("longest date") << "x"
                                      << "x" << -2.2250738585072014e-308;
    }
    void compactJson_sameBytesAsTheJsonObject()
    {
        QFETCH(QString, name);
        QFETCH(QString, token);
        QFETCH(double, date);
        HalvexInstance instance = sample();
        instance.name = name;
        instance.authToken = token;
        instance.createdAt = date;
        instance.port = -9007199254740993; // beyond a double's exact range
        QByteArray compact;
        instance.appendCompactJson(compact);
        QCOMPARE(compact, QJsonDocument(instance.toJson()).toJson(QJsonDocument::Compact));
        QCOMPARE(HalvexInstance::fromJson(QJsonDocument::fromJson(compact).object()), instance);
    }

    void create_setsFreshIdAndNowDates()
    {
        const double before = ReferenceDate::now();
        const HalvexInstance a = HalvexInstance::create(QStringLiteral("a"), QStringLiteral("t"), 1);
        const HalvexInstance b = HalvexInstance::create(QStringLiteral("a"), QStringLiteral("t"), 1);
        QVERIFY(!a.id.isNull());
        QVERIFY(a.id != b.id);
        QVERIFY(!a.isRunning);
        QVERIFY(a.createdAt >= before && a.createdAt <= a.updatedAt && a.updatedAt <= ReferenceDate::now());
        QVERIFY(a.createdAt > 7e8); // seconds since 2001, not since 1970
        QVERIFY(a.createdAt < 1.5e9);
    }

    void equality_coversRunState()
    {
        const HalvexInstance a = sample();
        HalvexInstance b = a;
        QCOMPARE(a, b);
        b.isRunning = true;
        QVERIFY(a != b);
        QVERIFY(qHash(a) != qHash(b));
    }

    void id_readInAnyCaseWrittenUpperCase()
    {
        QJsonObject object = validObject();
        object[QStringLiteral("id")] = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        const auto read = HalvexInstance::fromJson(object);
        QVERIFY(read);
        QCOMPARE(read->id, QUuid::fromString(QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E")));
        QCOMPARE(read->toJson().value(QStringLiteral("id")).toString(),
                 QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    }

    void extraKeys_ignoredAndDropped()
    {
        QJsonObject object = validObject();
        object[QStringLiteral("colour")] = QStringLiteral("blue");
        const auto read = HalvexInstance::fromJson(object);
        QVERIFY(read);
        QCOMPARE(read->toJson().keys().size(), 7);
        QVERIFY(!read->toJson().contains(QStringLiteral("colour")));
    }

    void malformed_failsTheRecord_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value"); // undefined removes the key

        QTest::newRow("missing updatedAt") << "updatedAt" << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("missing id") << "id" << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("port as string") << "port" << QJsonValue(QStringLiteral("8080"));
        QTest::newRow("fractional port") << "port" << QJsonValue(8080.5);
        QTest::newRow("port beyond 64 bits") << "port" << QJsonValue(1e19);
        QTest::newRow("null name") << "name" << QJsonValue(QJsonValue::Null);
        QTest::newRow("name as number") << "name" << QJsonValue(7);
        QTest::newRow("token as bool") << "authToken" << QJsonValue(true);
        QTest::newRow("isRunning as number") << "isRunning" << QJsonValue(1);
        QTest::newRow("createdAt as string") << "createdAt" << QJsonValue(QStringLiteral("2025-03-01T14:05:09Z"));
        QTest::newRow("id not a UUID") << "id" << QJsonValue(QStringLiteral("orders"));
        QTest::newRow("id with braces") << "id" << QJsonValue(QStringLiteral("{0F8FAD5B-D9CB-469F-A165-70867728950E}"));
        QTest::newRow("id too short") << "id" << QJsonValue(QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950"));
    }
    void malformed_failsTheRecord()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QJsonObject object = validObject();
        if (value.isUndefined())
            object.remove(key);
        else
            object[key] = value;
        QString error;
        QVERIFY(!HalvexInstance::fromJson(object, HalvexInstance::DateForm::ReferenceSeconds, &error));
        QVERIFY2(error.contains(key), qPrintable(error));
    }

    void unusualValues_representable()
    {
        QJsonObject object = validObject();
        object[QStringLiteral("port")] = -5;
        object[QStringLiteral("name")] = QString();
        const auto read = HalvexInstance::fromJson(object);
        QVERIFY(read);
        QCOMPARE(read->port, -5);
        QCOMPARE(read->name, QString());
    }

    void isoDates_exportFormRoundTripsWholeSeconds()
    {
        HalvexInstance instance = sample();
        instance.createdAt = 762530709.75; // 2025-03-01T14:05:09.75Z
        const QJsonObject json = instance.toJson(HalvexInstance::DateForm::Iso8601);
        QCOMPARE(json.value(QStringLiteral("createdAt")).toString(), QStringLiteral("2025-03-01T14:05:09Z"));
        const auto read = HalvexInstance::fromJson(json, HalvexInstance::DateForm::Iso8601);
        QVERIFY(read);
        QCOMPARE(read->createdAt, 762530709.0);
    }

    void isoDates_onlyInternetForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("utc") << "2025-03-01T14:05:09Z" << true;
        QTest::newRow("offset") << "2025-03-01T15:05:09+01:00" << true;
        QTest::newRow("fraction") << "2025-03-01T14:05:09.5Z" << false;
        QTest::newRow("date only") << "2025-03-01" << false;
        QTest::newRow("no zone") << "2025-03-01T14:05:09" << false;
        QTest::newRow("space") << "2025-03-01 14:05:09Z" << false;
        QTest::newRow("no seconds") << "2025-03-01T14:05Z" << false;
        QTest::newRow("month 13") << "2025-13-01T14:05:09Z" << false;
    }
    void isoDates_onlyInternetForm()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(ReferenceDate::fromIso8601(text).has_value(), accepted);
    }

    void localURL_keepsNameUnchanged()
    {
        HalvexInstance instance = sample();
        instance.name = QStringLiteral("a b");
        instance.port = 1;
        QCOMPARE(instance.localURL(), QStringLiteral("http://a b.halvex.local:1"));
    }

    void instanceName_rule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "orders" << true;
        QTest::newRow("digits and hyphen") << "db-2" << true;
        QTest::newRow("upper case") << "Orders" << true;
        QTest::newRow("63 chars") << QString(63, u'a') << true;
        QTest::newRow("64 chars") << QString(64, u'a') << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("leading hyphen") << "-a" << false;
        QTest::newRow("trailing hyphen") << "a-" << false;
        QTest::newRow("quote") << "a'b" << false;
        QTest::newRow("space") << "a b" << false;
        QTest::newRow("non-ascii") << QStringLiteral("café") << false;
        QTest::newRow("underscore") << "a_b" << false;
    }
    void instanceName_rule()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(InstanceName::isValid(name), valid);
    }
};

QTEST_GUILESS_MAIN(TestHalvexInstance)
#include "tst_halvexinstance.moc"
