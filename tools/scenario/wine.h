// Running a scenario against the real Windows launcher under Wine, through the test runner
// tests/wine/wine-run.sh, and reading its outputs back into a transcript.
#pragma once

#include <string>
#include <vector>

#include "tools/scenario/scenario.h"
#include "tools/scenario/transcript.h"

namespace scenario {

struct WineOptions {
  std::string sourceDir;    // the project's tree, for the runner scripts
  std::string launcherExe;  // the 64-bit Setup.exe
  std::string session;      // an open session to reuse; empty: one for this run
};

// What the Wine runner cannot reproduce of this machine; empty when it can host it.
std::vector<std::string> WineLimits(const Scenario& s);

// Runs the scenario under Wine. tempFolder receives the prefix's temp folder, for
// Normalise. Throws std::runtime_error when the runner fails.
Transcript RunOnWine(const Scenario& s, const WineOptions& options, std::string& tempFolder);

}  // namespace scenario
