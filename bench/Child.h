// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

// One run of a program of the benchmark's, to its end, with what it reported (Bench::report).
struct Child
{
    bool ok = false;
    QString error; // why it failed: its exit and the end of its standard error
    QHash<QString, QList<double>> values;

    static Child run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                     int timeoutMilliseconds = 180000);
    // The values reported under key; empty when there are none.
    QList<double> operator[](const QString &key) const { return values.value(key); }
};
