// kelsim: shows what the launcher will do on a given machine, before a disc is pressed.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "tools/scenario/scenario.h"
#include "tools/scenario/transcript.h"
#include "tools/scenario/wine.h"

namespace {

constexpr char kUsage[] =
    "Usage: kelsim [options] SCENARIO.json\n"
    "       kelsim [options] --medium DIR [--reg FILE] [--arg TEXT]\n"
    "\n"
    "Runs the setup launcher once on the machine a scenario describes and prints what it\n"
    "did: the notices in order, the programs started, the files written and deleted, the\n"
    "registry keys removed and the exit code.\n"
    "\n"
    "  --medium DIR      a medium folder of this machine, put on CD-ROM drive D: of a\n"
    "                    default machine (Windows XP, C: with plenty of space, temp C:\\TEMP\\,\n"
    "                    the launcher D:\\Setup.exe)\n"
    "  --reg FILE        a REGEDIT4 .reg file for that machine's registry\n"
    "  --arg TEXT        the launcher's argument, for instance autorun\n"
    "  --json            print the transcript as JSON\n"
    "  --portable        leave out what only the emulation observes (the show value of a\n"
    "                    start), to compare with a transcript made under Wine\n"
    "  --wine            run the real Setup.exe under Wine instead of the emulation; a\n"
    "                    machine Wine cannot reproduce is reported, never run (exit code 3)\n"
    "  --launcher EXE    the Setup.exe for --wine (default: build/win64/windows/Setup.exe)\n"
    "  --session DIR     an open Wine session to reuse (tests/wine/wine-session.sh)\n"
    "  --check           only read the scenario and report whether it is well formed\n"
    "  --help            this text\n"
    "\n"
    "Exit codes: 0 transcript printed, 2 bad command line or malformed scenario,\n"
    "3 not reproducible under Wine, 4 the Wine runner failed.\n"
    "Scenario and transcript formats: docs/scenarios.md.\n";

int Usage(const std::string& problem) {
  std::cerr << "kelsim: " << problem << "\n\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scenarioFile, medium, reg, launcher, session;
  std::optional<std::string> argument;
  bool json = false, portable = false, wine = false, checkOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    std::string text;
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--json") {
      json = true;
    } else if (a == "--portable") {
      portable = true;
    } else if (a == "--wine") {
      wine = true;
    } else if (a == "--check") {
      checkOnly = true;
    } else if (a == "--medium") {
      if (!value(medium)) return Usage("--medium needs a folder");
    } else if (a == "--reg") {
      if (!value(reg)) return Usage("--reg needs a file");
    } else if (a == "--arg") {
      if (!value(text)) return Usage("--arg needs a text");
      argument = text;
    } else if (a == "--launcher") {
      if (!value(launcher)) return Usage("--launcher needs a file");
    } else if (a == "--session") {
      if (!value(session)) return Usage("--session needs a folder");
    } else if (!a.empty() && a[0] == '-') {
      return Usage("unknown option " + a);
    } else if (scenarioFile.empty()) {
      scenarioFile = a;
    } else {
      return Usage("one scenario at a time");
    }
  }
  if (scenarioFile.empty() == medium.empty()) {
    return Usage("give a scenario file or --medium DIR");
  }
  if (!scenarioFile.empty() && (!reg.empty() || argument)) {
    return Usage("--reg and --arg go with --medium; a scenario file says these itself");
  }

  scenario::Scenario s;
  try {
    s = scenarioFile.empty() ? scenario::DefaultScenario(medium, reg, argument)
                             : scenario::LoadScenarioFile(scenarioFile);
  } catch (const scenario::ScenarioError& e) {
    std::cerr << "kelsim: " << (scenarioFile.empty() ? medium : scenarioFile) << ": " << e.what()
              << "\n";
    return 2;
  }
  if (checkOnly) {
    std::cout << s.name << ": well formed\n";
    return 0;
  }

  scenario::Transcript t;
  std::string temp = s.temp;
  try {
    if (wine) {
      const std::vector<std::string> limits = scenario::WineLimits(s);
      if (!limits.empty()) {
        std::cerr << "kelsim: " << s.name << ": not reproducible under Wine:\n";
        for (const std::string& l : limits) std::cerr << "  " << l << "\n";
        return 3;
      }
      scenario::WineOptions options;
      options.sourceDir = KEL_SOURCE_DIR;
      options.launcherExe =
          launcher.empty() ? std::string(KEL_SOURCE_DIR) + "/build/win64/windows/Setup.exe"
                           : launcher;
      options.session = session;
      if (!std::filesystem::is_regular_file(options.launcherExe)) {
        return Usage("no launcher at " + options.launcherExe +
                     " (cmake --preset win64 && cmake --build --preset win64, or --launcher)");
      }
      t = scenario::RunOnWine(s, options, temp);
      portable = true;
    } else {
      t = scenario::RunOnEmulation(s);
    }
  } catch (const scenario::ScenarioError& e) {
    std::cerr << "kelsim: " << s.name << ": " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "kelsim: " << e.what() << "\n";
    return 4;
  }
  scenario::Normalise(t, temp, portable);
  std::cout << (json ? scenario::FormatJson(t) : scenario::FormatText(t));
  return 0;
}
