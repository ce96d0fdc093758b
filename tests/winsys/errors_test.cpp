// Windows-error reports, the wrapped system calls and the start-up log, against the emulation.
#include "winsys/errors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "emu/core.h"
#include "emu/fs.h"
#include "emu/system.h"

namespace {

const char kLogDir[] = "C:\\Log\\";
const char kLogFile[] = "C:\\Log\\Startup.Log";

// The text the system gives for a code, as the report asks for it.
std::string SystemText(DWORD code) {
  char buffer[255] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr, code, 0,
                 buffer, sizeof buffer, nullptr);
  return buffer;
}

class Errors : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    emu::AddDrive('C');
    LogDir.clear();
    LogLines = std::make_unique<TStringList>();
    SavedErrorMode = 0;
  }
  void TearDown() override {
    EXPECT_EQ(emu::OpenHandleCount(), 0u) << "a handle was left open";
    LogDir.clear();
    LogLines.reset();
  }
  // Logging on, with an existing log file holding one earlier line.
  static void StartLog() {
    emu::AddFile(kLogFile, "old\r\n");
    LogDir = kLogDir;
  }
  static std::string LogBytes() { return emu::FileContent(kLogFile).value_or("<missing>"); }
};

TEST_F(Errors, ReportShowsSystemTextUnderTheOperationName) {
  StartLog();
  const std::string text = SystemText(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(text.empty());

  SetLastError(ERROR_ACCESS_DENIED);
  ReportLastError("GetTempPath");

  ASSERT_EQ(emu::MessageBoxes().size(), 1u);
  const emu::MessageBoxCall& box = emu::MessageBoxes()[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.caption, "Windows Error: GetTempPath");
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.style, MB_OK);
  ASSERT_EQ(LogLines->Count(), 1u);
  EXPECT_EQ((*LogLines)[0], "Windows Error (GetTempPath) " + text);
  EXPECT_EQ(LogBytes(), "old\r\nWindows Error (GetTempPath) " + text + "\r\n");
}

TEST_F(Errors, ReportShowsNothingWithoutErrorOrText) {
  StartLog();
  struct Row {
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {0},
      /* 1 */ {0xE0001234},  // an application code: the system has no text for it
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    SetLastError(rows[i].error);
    ReportLastError("WinExec");
    EXPECT_TRUE(emu::MessageBoxes().empty());
    EXPECT_EQ(LogLines->Count(), 0u);
    EXPECT_EQ(LogBytes(), "old\r\n");
  }
}

TEST_F(Errors, ReportWhenFormatMessageFails) {
  emu::FailCall("FormatMessageA", 1, ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(ERROR_FILE_NOT_FOUND);
  ReportLastError("WinExec");
  EXPECT_TRUE(emu::MessageBoxes().empty());
}

TEST_F(Errors, WinExecSuccessStartsAt32) {
  struct Row {
    UINT result;
    DWORD lastError;
    bool reported;
  };
  const Row rows[] = {
      /* 0 */ {31, ERROR_FILE_NOT_FOUND, true},
      /* 1 */ {32, ERROR_FILE_NOT_FOUND, false},  // a success, whatever error it leaves
      /* 2 */ {0, 0, false},                      // a failure without a last error
      /* 3 */ {2, ERROR_PATH_NOT_FOUND, true},
      /* 4 */ {33, 0, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    emu::AddDrive('C');
    emu::ScriptWinExecResult(rows[i].result, rows[i].lastError);
    SetLastError(0xdeadbeef);

    EXPECT_EQ(SafeWinExec("C:\\Kel\\Kel.Exe \"D:\\\"", SW_SHOWNORMAL), rows[i].result);

    ASSERT_EQ(emu::Launches().size(), 1u);
    EXPECT_EQ(emu::Launches()[0].commandLine, "C:\\Kel\\Kel.Exe \"D:\\\"");
    EXPECT_EQ(emu::Launches()[0].show, static_cast<UINT>(SW_SHOWNORMAL));
    if (rows[i].reported) {
      ASSERT_EQ(emu::MessageBoxes().size(), 1u);
      EXPECT_EQ(emu::MessageBoxes()[0].caption, "Windows Error: WinExec");
      EXPECT_EQ(emu::MessageBoxes()[0].text, SystemText(rows[i].lastError));
    } else {
      EXPECT_TRUE(emu::MessageBoxes().empty());
    }
  }
}

TEST_F(Errors, MessageBoxFailureIsReportedOnce) {
  struct Row {
    std::vector<DWORD> failures;  // scripted failures of the coming boxes
    int result;
    std::vector<std::string> captions;
  };
  const Row rows[] = {
      /* 0 */ {{}, IDOK, {"Setup Error"}},
      /* 1 */ {{0}, 0, {"Setup Error"}},
      /* 2 */ {{ERROR_INVALID_WINDOW_HANDLE}, 0, {"Setup Error", "Windows Error: MessageBox"}},
      // The report's own box fails as well: nothing further is reported.
      /* 3 */
      {{ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_WINDOW_HANDLE},
       0,
       {"Setup Error", "Windows Error: MessageBox"}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    for (DWORD error : rows[i].failures) emu::ScriptMessageBoxFailure(error);

    EXPECT_EQ(SafeMessageBox(nullptr, "Text", "Setup Error", MB_OK), rows[i].result);

    std::vector<std::string> captions;
    for (const emu::MessageBoxCall& box : emu::MessageBoxes()) captions.push_back(box.caption);
    EXPECT_EQ(captions, rows[i].captions);
    if (captions.size() == 2) {
      EXPECT_EQ(emu::MessageBoxes()[1].text, SystemText(ERROR_INVALID_WINDOW_HANDLE));
    }
  }
}

TEST_F(Errors, MessageBoxArgumentsPassUnchanged) {
  emu::ScriptMessageBoxAnswer(IDCANCEL);
  EXPECT_EQ(SafeMessageBox(nullptr, "Body", "Caption", MB_OKCANCEL | MB_ICONSTOP), IDCANCEL);
  ASSERT_EQ(emu::MessageBoxes().size(), 1u);
  EXPECT_EQ(emu::MessageBoxes()[0].owner, nullptr);
  EXPECT_EQ(emu::MessageBoxes()[0].text, "Body");
  EXPECT_EQ(emu::MessageBoxes()[0].caption, "Caption");
  EXPECT_EQ(emu::MessageBoxes()[0].style, MB_OKCANCEL | MB_ICONSTOP);
}

TEST_F(Errors, VersionRecordIsClearedAndSized) {
  emu::SetVersion({4, 10, 2222, VER_PLATFORM_WIN32_WINDOWS, "A"});
  OSVERSIONINFOA info;
  std::memset(&info, 0xA5, sizeof info);
  SetLastError(0xdeadbeef);

  EXPECT_NE(SafeGetVersionEx(info), 0);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 10u);
  EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
  EXPECT_STREQ(info.szCSDVersion, "A");
  EXPECT_TRUE(emu::MessageBoxes().empty());
}

TEST_F(Errors, VersionQueryFailure) {
  struct Row {
    DWORD error;
    bool reported;
  };
  const Row rows[] = {
      /* 0 */ {ERROR_INVALID_PARAMETER, true},
      /* 1 */ {0, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    emu::FailCall("GetVersionExA", 1, rows[i].error);
    OSVERSIONINFOA info;
    std::memset(&info, 0xA5, sizeof info);

    EXPECT_EQ(SafeGetVersionEx(info), 0);

    EXPECT_EQ(GetLastError(), rows[i].error);
    EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
    // The caller's sentinel bytes are gone: the record was cleared before the query.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&info);
    for (size_t b = sizeof(DWORD); b < sizeof info; ++b) ASSERT_EQ(bytes[b], 0u) << "byte " << b;
    EXPECT_EQ(emu::MessageBoxes().size(), rows[i].reported ? 1u : 0u);
    if (rows[i].reported) {
      EXPECT_EQ(emu::MessageBoxes()[0].caption, "Windows Error: GetVersionEx");
    }
  }
}

TEST_F(Errors, CriticalErrorModeDoesNotNest) {
  struct Row {
    std::vector<bool> switches;
    UINT finalMode;
  };
  const UINT before = SEM_NOOPENFILEERRORBOX;
  const Row rows[] = {
      /* 0 */ {{true, false}, before},
      /* 1 */ {{true, true, false}, SEM_FAILCRITICALERRORS},  // the second on overwrote the saved
                                                              // mode
      /* 2 */ {{false}, 0},                                   // off without on
      /* 3 */ {{true}, SEM_FAILCRITICALERRORS},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    SavedErrorMode = 0;
    SetErrorMode(before);
    for (bool on : rows[i].switches) {
      SetLastError(0xdeadbeef);
      SetCriticalErrorMode(on);
      EXPECT_EQ(GetLastError(), 0u);
      if (on) {
        EXPECT_EQ(emu::ErrorMode(), SEM_FAILCRITICALERRORS);
      }
    }
    EXPECT_EQ(emu::ErrorMode(), rows[i].finalMode);
    EXPECT_TRUE(emu::MessageBoxes().empty());
  }
}

TEST_F(Errors, CriticalErrorModeReportsAnErrorLeftBehind) {
  emu::FailCall("SetErrorMode", 1, ERROR_ACCESS_DENIED);
  SetCriticalErrorMode(true);
  ASSERT_EQ(emu::MessageBoxes().size(), 1u);
  EXPECT_EQ(emu::MessageBoxes()[0].caption, "Windows Error: SetErrorMode");
  EXPECT_EQ(emu::MessageBoxes()[0].text, SystemText(ERROR_ACCESS_DENIED));
}

TEST_F(Errors, TempDir) {
  const std::string deep = "C:\\" + std::string(300, 'T');
  struct Row {
    std::string temp;
    std::string expected;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\Temp\\", "C:\\Temp\\"},
      /* 1 */ {"C:\\Temp", "C:\\Temp\\"},
      /* 2 */ {"C:\\" + std::string(251, 'T'), "C:\\" + std::string(251, 'T') + "\\"},  // 254: fits
      /* 3 */ {"C:\\" + std::string(252, 'T'), "C:\\" + std::string(252, 'T') + "\\"},  // 255: too
                                                                                        // long
      /* 4 */ {deep + "\\", deep + "\\"},
      /* 5 */ {deep, deep + "\\"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    emu::SetTempPath(rows[i].temp);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetTempDir(), rows[i].expected);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_TRUE(emu::MessageBoxes().empty());
  }
}

TEST_F(Errors, TempDirFailure) {
  const std::string deep = "C:\\" + std::string(300, 'T') + "\\";
  struct Row {
    std::string temp;
    DWORD error;
    int failingCall;  // 0: FailTempPath, n: the nth GetTempPathA fails
    bool reported;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\Temp\\", ERROR_ACCESS_DENIED, 0, true},
      /* 1 */ {"C:\\Temp\\", 0, 0, false},
      /* 2 */ {"", 0, -1, false},                        // an empty text and no error
      /* 3 */ {deep, ERROR_NOT_ENOUGH_MEMORY, 2, true},  // the second, larger query fails
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    emu::SetTempPath(rows[i].temp);
    if (rows[i].failingCall == 0) emu::FailTempPath(rows[i].error);
    if (rows[i].failingCall > 0) emu::FailCall("GetTempPathA", rows[i].failingCall, rows[i].error);

    EXPECT_EQ(GetTempDir(), "");  // never a lone backslash

    if (rows[i].reported) {
      ASSERT_EQ(emu::MessageBoxes().size(), 1u);
      EXPECT_EQ(emu::MessageBoxes()[0].caption, "Windows Error: GetTempPath");
      EXPECT_EQ(emu::MessageBoxes()[0].text, SystemText(rows[i].error));
    } else {
      EXPECT_TRUE(emu::MessageBoxes().empty());
    }
  }
}

TEST_F(Errors, LogOffTouchesNothing) {
  emu::AddFile(kLogFile, "old\r\n");
  WriteStartupLog("line");
  EXPECT_EQ(LogLines->Count(), 0u);
  EXPECT_EQ(emu::CallCount("CreateFileA"), 0);
  EXPECT_EQ(LogBytes(), "old\r\n");
}

TEST_F(Errors, LogFileIsNeverCreated) {
  emu::AddFolder("C:\\Log");
  LogDir = kLogDir;
  WriteStartupLog("line");
  ASSERT_EQ(LogLines->Count(), 1u);
  EXPECT_EQ((*LogLines)[0], "line");
  EXPECT_FALSE(emu::Exists(kLogFile));
}

TEST_F(Errors, LogHeldOpenElsewhereKeepsTheLineInTheList) {
  StartLog();
  const HANDLE other = emu::HoldOpen(kLogFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(other, nullptr);
  WriteStartupLog("line");
  CloseHandle(other);
  EXPECT_EQ(LogLines->Count(), 1u);
  EXPECT_EQ(LogBytes(), "old\r\n");
  EXPECT_TRUE(emu::MessageBoxes().empty());
}

TEST_F(Errors, LogEntryIsCutTo255Bytes) {
  struct Row {
    size_t length;
    std::string ending;  // what follows the (possibly cut) line in the file
    size_t kept;         // characters of the line that reach the file
  };
  const Row rows[] = {
      /* 0 */ {0, "\r\n", 0},
      /* 1 */ {253, "\r\n", 253},
      /* 2 */ {254, "\r", 254},
      /* 3 */ {255, "", 255},
      /* 4 */ {1000, "", 255},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    emu::Reset();
    emu::AddDrive('C');
    LogLines = std::make_unique<TStringList>();
    StartLog();
    std::string line;
    for (size_t c = 0; c < rows[i].length; ++c) line += static_cast<char>('a' + c % 26);

    WriteStartupLog(line);
    WriteStartupLog("next");

    EXPECT_EQ(LogBytes(), "old\r\n" + line.substr(0, rows[i].kept) + rows[i].ending + "next\r\n");
    ASSERT_EQ(LogLines->Count(), 2u);
    EXPECT_EQ((*LogLines)[0], line);  // the list keeps the whole line
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
}

TEST_F(Errors, LogWriteFailureIsIgnored) {
  StartLog();
  emu::FailCall("WriteFile", 1, ERROR_WRITE_FAULT);
  WriteStartupLog("line");
  EXPECT_EQ(LogLines->Count(), 1u);
  EXPECT_EQ(LogBytes(), "old\r\n");
  EXPECT_TRUE(emu::MessageBoxes().empty());
}

}  // namespace
