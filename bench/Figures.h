// SPDX-License-Identifier: MIT
#pragma once

#include "BenchSupport.h"

// Each figure measures the application against its baseline in the same run and prints its row.
namespace Figures {

void launchBlock();
void startToReady();
void registryWrite();
void registryLoad();
void logFlood();
void logViewMemory();
void coldStart();
void idleMemory();

} // namespace Figures
