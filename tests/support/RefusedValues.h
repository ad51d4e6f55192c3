// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonValue>
#include <QString>
#include <QTest>

#include <limits>

// Values that a stored file can hold but no reader may take in, one table for every reader: the
// registry, the import and the settings.
namespace RefusedValues {

// Columns: a key of an instance record, its value in the registry file and in an export file,
// and the words that the import's message holds.
inline void addRecordRows()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("registryValue");
    QTest::addColumn<QJsonValue>("exportValue");
    QTest::addColumn<QString>("message");
    const auto port = [](const char *row, qint64 port) {
        QTest::newRow(row) << "port" << QJsonValue(port) << QJsonValue(port) << "\"port\" must be between 1 and 65535";
    };
    port("port -1", -1);
    port("port 0", 0);
    port("port 65536", 65536);
    port("port 2^63-1", std::numeric_limits<qint64>::max());
    QTest::newRow("name climbing out") << "name" << QJsonValue("../precious") << QJsonValue("../precious")
                                       << "the name is not allowed";
    QTest::newRow("date 1e300") << "createdAt" << QJsonValue(1e300) << QJsonValue("10000-01-01T00:00:00Z")
                                << "\"createdAt\" must be a date";
    QTest::newRow("date in the year 10000")
        << "updatedAt" << QJsonValue(252423993600.0) << QJsonValue("9999-12-31T23:59:59-01:00")
        << "\"updatedAt\" must be a date";
    QTest::newRow("date before the year 1")
        << "createdAt" << QJsonValue(-63113904000.5) << QJsonValue("0001-01-01T00:00:00+00:01")
        << "\"createdAt\" must be a date";
}

// Column: a data storage location that is no folder of this machine.
inline void addLocationRows()
{
    QTest::addColumn<QString>("location");
    for (const char *location : {"file:///", "file:///srv/..", "file://host/share", "http://example.com/x", "data",
                                 "/srv/halvex", "file:data", "not a url"})
        QTest::newRow(location) << QString::fromLatin1(location);
}

} // namespace RefusedValues
