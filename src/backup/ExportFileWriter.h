// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>

// Writes the JSON of an export file. Other tools and other versions of the application read these
// files, so the layout is fixed rather than left to a general-purpose serializer: one member per
// line, two spaces per level of nesting, the members of every object in ascending key order, and
// every '/' inside a string written as "\/".
class ExportFileWriter
{
public:
    static QByteArray write(const QJsonObject &root);

private:
    ExportFileWriter() = default;

    void writeValue(const QJsonValue &value, int depth);
    void writeObject(const QJsonObject &object, int depth);
    void writeArray(const QJsonArray &array, int depth);
    void writeString(const QString &text);
    void writeNumber(const QJsonValue &number);
    void newLine(int depth);

    QByteArray m_out;
};
