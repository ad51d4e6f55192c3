// SPDX-License-Identifier: MIT
#include "ExportFileWriter.h"

#include "core/JsonText.h"

#include <QJsonArray>
#include <QVariant>

#include <algorithm>

QByteArray ExportFileWriter::write(const QJsonObject &root)
{
    ExportFileWriter writer;
    writer.writeObject(root, 0);
    writer.m_out += '\n';
    return writer.m_out;
}

void ExportFileWriter::newLine(int depth)
{
    m_out += '\n';
    m_out += QByteArray(2 * depth, ' ');
}

void ExportFileWriter::writeValue(const QJsonValue &value, int depth)
{
    switch (value.type()) {
    case QJsonValue::Object:
        writeObject(value.toObject(), depth);
        break;
    case QJsonValue::Array:
        writeArray(value.toArray(), depth);
        break;
    case QJsonValue::String:
        writeString(value.toString());
        break;
    case QJsonValue::Double:
        writeNumber(value);
        break;
    case QJsonValue::Bool:
        m_out += value.toBool() ? "true" : "false";
        break;
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        m_out += "null";
        break;
    }
}

void ExportFileWriter::writeObject(const QJsonObject &object, int depth)
{
    if (object.isEmpty()) {
        m_out += "{}";
        return;
    }
    // The order is part of the format, so it is made explicit instead of relying on the order in
    // which QJsonObject happens to keep its keys.
    QStringList keys = object.keys();
    std::sort(keys.begin(), keys.end());
    m_out += '{';
    for (qsizetype i = 0; i < keys.size(); ++i) {
        newLine(depth + 1);
        writeString(keys[i]);
        m_out += ": ";
        writeValue(object.value(keys[i]), depth + 1);
        if (i + 1 < keys.size())
            m_out += ',';
    }
    newLine(depth);
    m_out += '}';
}

void ExportFileWriter::writeArray(const QJsonArray &array, int depth)
{
    if (array.isEmpty()) {
        m_out += "[]";
        return;
    }
    m_out += '[';
    for (qsizetype i = 0; i < array.size(); ++i) {
        newLine(depth + 1);
        writeValue(array.at(i), depth + 1);
        if (i + 1 < array.size())
            m_out += ',';
    }
    newLine(depth);
    m_out += ']';
}

void ExportFileWriter::writeString(const QString &text)
{
    JsonText::appendString(m_out, text, JsonText::Slashes::Escaped);
}

void ExportFileWriter::writeNumber(const QJsonValue &number)
{
    // QJsonValue keeps integers as exact 64-bit values; only true fractions are written as such.
    const QVariant variant = number.toVariant();
    if (variant.typeId() == QMetaType::LongLong) {
        m_out += QByteArray::number(variant.toLongLong());
        return;
    }
    JsonText::appendNumber(m_out, number.toDouble());
}
