// The unit's start-up step (version probe, administrator test, log list, legacy key) and its
// end step.
#pragma once

#include <cstdint>

#include "rtl/exceptions.h"

RTL_EXCEPTION_CLASS(SystemError, Exception);

extern bool IsNT;
extern bool IsAdmin;
extern bool IsWin2000;
extern bool IsWinXP;
extern int32_t OSMajor;
extern int32_t OSMinor;

bool GetOSInfo();
bool IsAdminUser();

// Start-up step: registers WinsysFinalize as an end step, probes, creates LogLines and
// deletes LegacyKey.
void WinsysInitialize();
void WinsysFinalize();
