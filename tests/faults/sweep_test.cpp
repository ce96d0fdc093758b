// Every scenario, run once for each Win32 call it makes with exactly that call failing.
// Whatever fails, the run must end sanely: the right exit, no half-written file taken for a
// complete one, nothing left open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/fs.h"
#include "emu/registry.h"
#include "emu/system.h"
#include "emu/szdd.h"
#include "launcher/setup.h"
#include "tools/scenario/scenario.h"
#include "tools/scenario/transcript.h"

namespace fs = std::filesystem;

namespace {

// Errors each call can really fail with. Registry calls return theirs as the status.
const std::map<std::string, std::vector<DWORD>> kErrors = {
    {"CreateFileA", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_FILE_NOT_FOUND,
                     ERROR_PATH_NOT_FOUND, ERROR_DISK_FULL, ERROR_NOT_READY}},
    {"ReadFile", {ERROR_READ_FAULT, ERROR_NOT_READY, ERROR_LOCK_VIOLATION}},
    {"WriteFile", {ERROR_DISK_FULL, ERROR_WRITE_FAULT, ERROR_NOT_READY}},
    {"SetFilePointer", {ERROR_INVALID_HANDLE}},
    {"GetFileSize", {ERROR_INVALID_HANDLE}},
    {"GetFileTime", {ERROR_ACCESS_DENIED}},
    {"SetFileTime", {ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT}},
    {"FileTimeToLocalFileTime", {ERROR_INVALID_PARAMETER}},
    {"FileTimeToDosDateTime", {ERROR_INVALID_PARAMETER}},
    {"DosDateTimeToFileTime", {ERROR_INVALID_PARAMETER}},
    {"LocalFileTimeToFileTime", {ERROR_INVALID_PARAMETER}},
    {"SetFileAttributesA", {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_WRITE_PROTECT}},
    {"GetFileAttributesA", {ERROR_FILE_NOT_FOUND, ERROR_NOT_READY}},
    {"DeleteFileA", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_FILE_NOT_FOUND}},
    {"MoveFileA", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}},
    {"FindFirstFileA", {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_NOT_READY,
                        ERROR_ACCESS_DENIED}},
    {"FindNextFileA", {ERROR_NO_MORE_FILES, ERROR_NOT_READY, ERROR_NETNAME_DELETED}},
    {"SetCurrentDirectoryA", {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED,
                              ERROR_NOT_READY}},
    {"GetCurrentDirectoryA", {ERROR_NOT_ENOUGH_MEMORY}},
    {"GetTempPathA", {ERROR_NOT_ENOUGH_MEMORY}},
    {"GetShortPathNameA", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_NOT_READY}},
    {"GetDriveTypeA", {ERROR_NOT_READY}},
    {"GetDiskFreeSpaceA", {ERROR_NOT_READY, ERROR_ACCESS_DENIED, ERROR_INVALID_DRIVE}},
    {"WinExec", {ERROR_FILE_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY, ERROR_BAD_EXE_FORMAT}},
    {"GetModuleFileNameA", {ERROR_NOT_ENOUGH_MEMORY}},
    {"FormatMessageA", {ERROR_MR_MID_NOT_FOUND, ERROR_NOT_ENOUGH_MEMORY}},
    {"GetVersionExA", {ERROR_INVALID_PARAMETER}},
    {"CompareStringA", {ERROR_INVALID_PARAMETER}},
    {"MessageBoxA", {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_WINDOW_HANDLE}},
    {"RegOpenKeyExA", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY}},
    {"RegQueryValueExA", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_MORE_DATA,
                          ERROR_KEY_DELETED}},
    {"RegEnumKeyExA", {ERROR_NO_MORE_ITEMS, ERROR_KEY_DELETED}},
    {"RegQueryInfoKeyA", {ERROR_ACCESS_DENIED, ERROR_KEY_DELETED}},
    {"RegDeleteKeyA", {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
    {"OpenThreadToken", {ERROR_NO_TOKEN, ERROR_ACCESS_DENIED, ERROR_CANT_OPEN_ANONYMOUS}},
    {"OpenProcessToken", {ERROR_ACCESS_DENIED}},
    {"GetTokenInformation", {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY,
                             ERROR_INSUFFICIENT_BUFFER}},
    {"AllocateAndInitializeSid", {ERROR_NOT_ENOUGH_MEMORY, ERROR_NO_SYSTEM_RESOURCES}},
    {"EqualSid", {ERROR_INVALID_SID}},
    {"LZOpenFileA", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}},
    {"LZCopy", {ERROR_READ_FAULT}},
};

// Calls that cannot fail on Windows; failing them would test a machine that cannot exist.
// The release calls fail only for a handle that is not open, and the launcher passes open
// ones (the emulation would keep the object, which no Windows does).
const std::set<std::string> kCannotFail = {
    "GetCommandLineA", "GetCurrentThread", "GetCurrentProcess", "SetErrorMode",
    "CharLowerBuffA", "CloseHandle", "FindClose", "RegCloseKey", "FreeSid", "LZClose"};


// Failures that may end the process through the standard error box, by the failing call.
const std::map<std::string, std::set<std::string>> kErrorBoxAllowed = {
    {"SetCurrentDirectoryA", {"EInOutError"}},          // change of folder, uncaught
    {"AllocateAndInitializeSid", {"SystemError"}},      // Administrator-1
    {"GetTokenInformation", {"SystemError"}},           // Administrator-2 and -3
    {"RegQueryValueExA", {"ERegistryException"}},       // data read outside every catch
};

std::vector<fs::path> ScenarioFiles() {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(KEL_SCENARIO_DIR)) {
    if (e.path().extension() == ".json") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Lower(const std::string& text) { return emu::LowerAnsi(text); }

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// "Exception EInOutError in module ..." -> "EInOutError".
std::string ErrorBoxClass(const std::string& text) {
  const std::string head = "Exception ";
  if (text.rfind(head, 0) != 0) return "";
  const size_t end = text.find(' ', head.size());
  return text.substr(head.size(), end == std::string::npos ? end : end - head.size());
}

// What LZ32 makes of the bytes: an SZDD stream expanded, anything else unchanged.
std::string Expansion(const std::string& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const emu::szdd::Header header = emu::szdd::ParseHeader(data, bytes.size());
  if (header.kind != emu::szdd::HeaderKind::Szdd) return bytes;
  size_t at = emu::szdd::kHeaderSize;
  std::string out;
  emu::szdd::Decoder decoder;
  decoder.ExpandBody(
      [&](uint8_t* buf, size_t cap) {
        const size_t n = std::min(cap, bytes.size() - at);
        std::copy_n(data + at, n, buf);
        at += n;
        return static_cast<ptrdiff_t>(n);
      },
      [&](const uint8_t* d, size_t n) {
        out.append(reinterpret_cast<const char*>(d), n);
        return true;
      });
  return out;
}

// A program path and its argument from "PROGRAM \"ARG\"", the program perhaps quoted.
void SplitCommand(const std::string& line, std::string& program, std::string& argument) {
  size_t end = 0;
  if (!line.empty() && line[0] == '"') {
    end = line.find('"', 1);
    program = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    end = end == std::string::npos ? line.size() : end + 1;
  } else {
    end = line.find(' ');
    program = line.substr(0, end);
    end = end == std::string::npos ? line.size() : end;
  }
  const size_t open = line.find('"', end);
  const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
  argument = open == std::string::npos || close == std::string::npos
                 ? std::string()
                 : line.substr(open + 1, close - open - 1);
}

struct SweepRun {
  std::string api;  // empty: the dry run
  int nth = 0;
  DWORD error = 0;
};

std::string Describe(const SweepRun& r) {
  if (r.api.empty()) return "dry run";
  return r.api + " #" + std::to_string(r.nth) + " fails with " + std::to_string(r.error);
}

// Checks what a finished run left; every finding is one text.
std::vector<std::string> Findings(const SweepRun& run, const scenario::Transcript& t,
                                  const scenario::Transcript& dry) {
  std::vector<std::string> found;

  // Exit code, and the standard error box only where a failure may reach it.
  auto errorBoxClass = [](const scenario::Transcript& tr) {
    return tr.notices.empty() || tr.notices.back().caption != "Application Error"
               ? std::string()
               : ErrorBoxClass(tr.notices.back().text);
  };
  const std::string boxClass = errorBoxClass(t);
  if (t.exit == "1") {
    const auto allowed = kErrorBoxAllowed.find(run.api);
    const bool byFault = allowed != kErrorBoxAllowed.end() && allowed->second.count(boxClass);
    const bool byScenario = dry.exit == "1" && errorBoxClass(dry) == boxClass;
    // A failing MessageBoxA may be the standard error box itself: nothing to see then.
    const bool boxRefused = run.api == "MessageBoxA" && dry.exit == "1";
    if (boxClass.empty()) {
      if (!boxRefused) found.push_back("exit 1 without the standard error box last");
    } else if (!byFault && !byScenario) {
      found.push_back("error box not allowed: " + boxClass);
    }
  } else if (t.exit != "0") {
    found.push_back("exit " + t.exit);
  }
  for (size_t i = 0; i + 1 < t.notices.size(); ++i) {
    if (t.notices[i].caption == "Application Error") found.push_back("error box not last");
  }

  // A module list written in this run is complete.
  for (const scenario::Written& w : t.written) {
    if (Lower(BaseName(w.path)) != "autoload.lst") continue;
    const std::string content = emu::FileContent(w.path).value_or("");
    const std::string end = "Setup 2.0\r\n";
    if (content.size() < end.size() || content.compare(content.size() - end.size(), end.size(), end) != 0) {
      found.push_back("AutoLoad.Lst incomplete: " + scenario::Visible(content));
      continue;
    }
    for (size_t from = 0; from < content.size() - end.size();) {
      const size_t crlf = content.find("\r\n", from);
      const std::string line = content.substr(from, crlf - from);
      if (line.empty() || line.find_first_of("\r\n") != std::string::npos || !emu::Exists(line)) {
        found.push_back("AutoLoad.Lst line names no module: " + scenario::Visible(line));
      }
      from = crlf + 2;
    }
  }

  // An expanded engine that was started is the whole expansion of the medium's Kel.Ex_.
  for (const emu::WinExecCall& call : emu::Launches()) {
    if (call.result < 32) continue;
    std::string program;
    std::string source;
    SplitCommand(call.commandLine, program, source);
    if (source.empty() || Lower(BaseName(program)) != "kel.exe") continue;
    if (Lower(FolderOf(program)) == Lower(source)) continue;  // the plain engine on the medium
    const auto packed = emu::FileContent(source + "Kel.Ex_");
    const auto engine = emu::FileContent(program);
    if (!packed || !engine || *engine != Expansion(*packed)) {
      found.push_back("started engine is not the expansion: " + program);
    }
  }

  // A Kel.Jcf that carries the source's date-time carries its bytes.
  if (!SourceDir.empty()) {
    const std::string source = SourceDir + "Kel.Jcf";
    const auto sourceBytes = emu::FileContent(source);
    for (const scenario::Written& w : t.written) {
      if (Lower(BaseName(w.path)) != "kel.jcf" || !sourceBytes) continue;
      if (emu::DosStamp(w.path) == emu::DosStamp(source) && emu::FileContent(w.path) != sourceBytes) {
        found.push_back("Kel.Jcf with the source's date but other bytes: " + w.path);
      }
    }
  }

  // Everything released.
  if (emu::OpenHandleCount() != 0 || emu::OpenKeyCount() != 0 || emu::OutstandingSids() != 0) {
    found.push_back("left open: " + std::to_string(emu::OpenHandleCount()) + " handles, " +
                    std::to_string(emu::OpenKeyCount()) + " keys, " +
                    std::to_string(emu::OutstandingSids()) + " SIDs");
  }
  return found;
}

std::string Outcome(scenario::Transcript t, const scenario::Scenario& s) {
  scenario::Normalise(t, s.temp, false);
  return scenario::FormatText(t);
}

TEST(FaultSweep, EveryCallOfEveryScenarioFailsSanely) {
  const std::vector<fs::path> files = ScenarioFiles();
  ASSERT_GE(files.size(), 30u);
  size_t runs = 0;
  size_t fired = 0;
  size_t errorBoxes = 0;
  std::set<std::string> outcomes;
  std::set<std::string> apisSwept;

  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const scenario::Scenario base = scenario::LoadScenarioFile(file.string());

    // Setting the machine up makes no API call: the counts are the launcher's alone.
    scenario::Apply(base);
    ASSERT_TRUE(emu::CallCounts().empty());

    const scenario::Transcript dry = scenario::RunOnEmulation(base);
    const std::map<std::string, int> counts = emu::CallCounts();
    for (const std::string& f : Findings(SweepRun{}, dry, dry)) ADD_FAILURE() << "dry run: " << f;
    outcomes.insert(Outcome(dry, base));
    ++runs;

    int reported = 0;
    for (const auto& [api, count] : counts) {
      if (kCannotFail.count(api)) continue;
      const auto errors = kErrors.find(api);
      if (errors == kErrors.end()) {
        ADD_FAILURE() << "no error table for " << api;
        continue;
      }
      apisSwept.insert(api);
      for (int nth = 1; nth <= count; ++nth) {
        for (const DWORD error : errors->second) {
          scenario::Scenario s = base;
          s.faults.push_back({api, nth, error});
          const SweepRun run{api, nth, error};
          scenario::Transcript t;
          try {
            t = scenario::RunOnEmulation(s);
          } catch (const std::exception& e) {
            ADD_FAILURE() << Describe(run) << ": escaped " << e.what();
            continue;
          }
          ++runs;
          if (emu::FaultFired()) ++fired;
          if (t.exit == "1") ++errorBoxes;
          const std::vector<std::string> found = Findings(run, t, dry);
          if (!found.empty() && reported++ < 10) {
            std::string all;
            for (const std::string& f : found) all += "\n  " + f;
            ADD_FAILURE() << Describe(run) << all << "\n" << Outcome(t, s);
          }
          outcomes.insert(Outcome(std::move(t), s));
        }
      }
    }
    EXPECT_EQ(reported, 0) << "runs with findings in this scenario (first 10 shown)";
  }

  std::printf("fault sweep: %zu scenarios, %zu APIs, %zu runs (%zu with the fault fired), "
              "%zu ending in the standard error box, %zu distinct outcomes\n",
              files.size(), apisSwept.size(), runs, fired, errorBoxes, outcomes.size());
  RecordProperty("runs", static_cast<int>(runs));
  RecordProperty("outcomes", static_cast<int>(outcomes.size()));
}

}  // namespace
