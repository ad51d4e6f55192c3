// SPDX-License-Identifier: MIT
#pragma once

#include "Table.h"

#include <QtGlobal>

// Each figure measures what a user does against a baseline that does the same work without the
// application's code in between, over repeated runs, and prints its rows.
namespace Figures {

void launchBlock();
void startToReady();
void registryWrites();
void import();
void sidebar();
void selection();
void actions();
void coldStart();
void idleMemory();
void logFlood();

// Each run's measurement over its own baseline's.
QList<double> ratios(const QList<double> &measured, const QList<double> &baseline);
double median(const QList<double> &values);
quint16 freePort();

} // namespace Figures
