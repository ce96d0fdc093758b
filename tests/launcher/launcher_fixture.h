// A machine with a CD-ROM drive D: and the launcher on it, with every process-wide value of
// the program back at its start value.
#pragma once

#include <string>
#include <vector>

#include "launcher/setup.h"
#include "platform/win32.h"
#include "tests/support/machine.h"
#include "winsys/errors.h"
#include "winsys/files.h"

// The download advice that every "Check Startup" notice ends with.
inline constexpr char kAdvice[] =
    ". Download latest program from www.kelmora.com/www.kelmora.org and reinstall.";
// The product's uninstall entry, below HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
inline constexpr char kUninstall[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelmora";

class LauncherTest : public testsupport::MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    SourceDir.clear();
    LogDir.clear();
    LogLines.reset();
    SavedErrorMode = 0;
    CopyError = 0;
    emu::DriveSpec cd;
    cd.type = DRIVE_CDROM;
    cd.freeBytes = 0;
    cd.readOnly = true;
    emu::AddDrive('D', cd);
    SetLauncher("D:\\Setup.exe", "");
  }

  void SetLauncher(const std::string& path, const std::string& argument) {
    emu::SetModulePath(path);
    emu::SetCommandLine("\"" + path + "\"" + (argument.empty() ? "" : " " + argument));
  }

  // The system's own text for an error code, as a Windows-error box shows it.
  static std::string SystemText(DWORD code) {
    char buffer[256] = {};
    FormatMessageA(0x10FF, nullptr, code, 0, buffer, sizeof buffer, nullptr);
    return buffer;
  }

  static std::string EngineBytes() { return testsupport::kEngineBytes; }
};
