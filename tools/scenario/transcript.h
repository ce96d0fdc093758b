// What one start of the launcher did: notices, programs started, files written and deleted,
// registry keys removed, the exit code. Printed as stable lines or as JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/scenario/scenario.h"

namespace scenario {

struct Notice {
  std::string caption;
  std::string text;
  bool shown = true;  // false: MessageBoxA failed, the user saw nothing
};

struct Start {
  std::string commandLine;
  std::string folder;
  std::optional<unsigned> show;  // not observed under Wine
};

struct Written {
  std::string path;
  std::string date;  // "YYYY-MM-DD hh:mm:ss" local, or "now" for a stamp made during the run
  std::optional<std::string> content;  // the bytes, when they were read back
  bool engine = false;                 // a program: stand-ins differ between worlds
};

struct Transcript {
  std::string name;
  std::vector<Notice> notices;
  std::vector<Start> starts;
  std::vector<Written> written;
  std::vector<std::string> deleted;
  std::vector<std::string> keysRemoved;
  std::string exit;  // "0", "1", or what the Wine runner reported ("none", "timeout")
};

// Runs the launcher on the emulation with the scenario's machine.
Transcript RunOnEmulation(const Scenario& s);

// The one place where what differs only by machine is made equal: the temp folder (given
// by the machine, with or without its trailing backslash) becomes %TEMP%, the code address
// in the standard error box becomes <address>, files and keys are listed by name. Portable
// also drops what only the emulation observes (the show value of a start), so that an
// emulated transcript compares line by line with one made under Wine.
void Normalise(Transcript& t, const std::string& tempFolder, bool portable);

// Files up to this size are shown byte for byte.
inline constexpr size_t kShownContentLimit = 4096;

std::string FormatText(const Transcript& t);
std::string FormatJson(const Transcript& t);

// Visible form of bytes: CR and LF as <CR> and <LF>, other control and non-ASCII bytes as <HH>.
std::string Visible(const std::string& bytes);

}  // namespace scenario
