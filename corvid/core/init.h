#pragma once
// One-time global initialisation of the framework, run by every exported entry
// point before it does any work. Only the first call does anything; later calls
// and concurrent callers return once that work is complete.

namespace corvid {

void globalInitialize();
bool isGloballyInitialized();
// How many times the initialisation work has run in this process (one at most).
int globalInitializationRuns();

} // namespace corvid
