// Message boxes, program starts, the module path and the command line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "emu/core.h"
#include "emu/fs.h"
#include "emu/system.h"

namespace {

class SystemProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
};

TEST_F(SystemProcessTest, MessageBoxesAreRecordedAndAnsweredInOrder) {
  emu::ScriptMessageBoxAnswer(IDCANCEL);
  emu::ScriptMessageBoxFailure(ERROR_NOT_ENOUGH_MEMORY);
  struct Row {
    HWND owner;
    const char* text;
    const char* caption;
    UINT style;
    int result;
    DWORD error;  // last error after the call
  };
  const HWND someWindow = reinterpret_cast<HWND>(0x10010);
  const Row rows[] = {
      /* 0 */ {nullptr, "first", "Setup Warning", MB_OKCANCEL, IDCANCEL, 0xdeadbeef},
      /* 1 */ {nullptr, "second", "WinExec", MB_OK, 0, ERROR_NOT_ENOUGH_MEMORY},
      /* 2 */ {nullptr, "third", nullptr, MB_OK | MB_ICONSTOP | MB_TASKMODAL, IDOK, 0xdeadbeef},
      /* 3 */ {someWindow, "owned", "x", MB_OK, 0, ERROR_INVALID_WINDOW_HANDLE},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    const Row& r = rows[i];
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MessageBoxA(r.owner, r.text, r.caption, r.style), r.result);
    EXPECT_EQ(GetLastError(), r.error);
    ASSERT_EQ(emu::MessageBoxes().size(), i + 1);
    const emu::MessageBoxCall& call = emu::MessageBoxes().back();
    EXPECT_EQ(call.owner, r.owner);
    EXPECT_EQ(call.text, r.text);
    EXPECT_EQ(call.caption, r.caption ? r.caption : "Error");
    EXPECT_EQ(call.style, r.style);
    EXPECT_EQ(call.result, r.result);
  }
}

TEST_F(SystemProcessTest, ScriptedWinExecIsRecordedWithTheCurrentFolder) {
  emu::AddFolder("C:\\Temp");
  emu::SetCurrentDir("C:\\Temp");
  emu::ScriptWinExecResult(33, 0);
  emu::ScriptWinExecResult(31, ERROR_GEN_FAILURE);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WinExec("C:\\TEMP\\KEL.EXE \"D:\\\"", SW_SHOWNORMAL), 33u);
  EXPECT_EQ(WinExec("x", SW_HIDE), 31u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  ASSERT_EQ(emu::Launches().size(), 2u);
  EXPECT_EQ(emu::Launches()[0].commandLine, "C:\\TEMP\\KEL.EXE \"D:\\\"");
  EXPECT_EQ(emu::Launches()[0].show, static_cast<UINT>(SW_SHOWNORMAL));
  EXPECT_EQ(emu::Launches()[0].currentDir, "C:\\Temp");
  EXPECT_EQ(emu::Launches()[0].result, 33u);
  EXPECT_EQ(emu::Launches()[1].show, static_cast<UINT>(SW_HIDE));
}

TEST_F(SystemProcessTest, UnscriptedWinExecFindsTheProgramAsCreateProcessDoes) {
  emu::AddDrive('D');
  emu::AddFile("C:\\Program Files\\Kel\\Kel.Exe", "MZ");
  emu::AddFile("C:\\Prog.exe", "MZ");
  emu::AddFile("D:\\Tool", "MZ");
  emu::AddFolder("C:\\Empty");
  struct Row {
    const char* commandLine;
    UINT result;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\Program Files\\Kel\\Kel.Exe \"D:\\\"", 33},  // last prefix wins
      /* 1 */ {"\"C:\\Program Files\\Kel\\KEL.EXE\" arg", 33},
      /* 2 */ {"c:\\program files\\kel\\kel", 33},  // .exe appended
      /* 3 */ {"C:\\Prog Files\\x.exe", 33},        // the first prefix finds C:\Prog.exe
      /* 4 */ {"D:\\Tool arg", 33},                  // a name without extension as it stands
      /* 5 */ {"C:\\Empty\\KEL.EXE \"D:\\\"", ERROR_FILE_NOT_FOUND},
      /* 6 */ {"C:\\Missing\\KEL.EXE \"D:\\\"", ERROR_PATH_NOT_FOUND},
      /* 7 */ {"\"C:\\Program Files\\Kel\\Missing.exe\"", ERROR_FILE_NOT_FOUND},
      /* 8 */ {"\"C:\\No Folder\\Kel.exe\"", ERROR_PATH_NOT_FOUND},
      /* 9 */ {"C:\\Empty", ERROR_FILE_NOT_FOUND},  // a folder is no program
      /* 10 */ {"", ERROR_FILE_NOT_FOUND},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].commandLine);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WinExec(rows[i].commandLine, SW_SHOWNORMAL), rows[i].result);
    EXPECT_EQ(GetLastError(), rows[i].result < 32 ? rows[i].result : 0xdeadbeef);
  }
}

TEST_F(SystemProcessTest, UnscriptedWinExecRefusesAFileThatIsNoProgram) {
  emu::AddFile("C:\\TEMP\\Text.exe", "Kel.Exe placeholder");
  emu::AddFile("C:\\TEMP\\Packed.exe", "SZDD\x88\xF0\x27\x33");
  emu::AddFile("C:\\TEMP\\Empty.exe", "");
  for (const char* program : {"C:\\TEMP\\Text.exe", "C:\\TEMP\\Packed.exe", "C:\\TEMP\\Empty.exe"}) {
    SCOPED_TRACE(program);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WinExec(program, SW_SHOWNORMAL), 11u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  }
  EXPECT_EQ(emu::CallCount("CreateFileA"), 0) << "the look at the file is not one of the caller's calls";
}

TEST_F(SystemProcessTest, ModuleFileNameFollowsTheBufferRules) {
  emu::SetModulePath("D:\\Kel\\Setup.exe");  // 16 characters
  struct Row {
    DWORD size;
    DWORD result;
    const char* text;  // nullptr: buffer untouched
    DWORD error;
  };
  const Row rows[] = {
      /* 0 */ {260, 16, "D:\\Kel\\Setup.exe", ERROR_SUCCESS},
      /* 1 */ {17, 16, "D:\\Kel\\Setup.exe", ERROR_SUCCESS},
      /* 2 */ {16, 16, "D:\\Kel\\Setup.ex", ERROR_INSUFFICIENT_BUFFER},  // Vista and later
      /* 3 */ {1, 1, "", ERROR_INSUFFICIENT_BUFFER},
      /* 4 */ {0, 0, nullptr, ERROR_INSUFFICIENT_BUFFER},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    char buffer[300];
    std::memset(buffer, 0xA5, sizeof buffer);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, rows[i].size), rows[i].result);
    EXPECT_EQ(GetLastError(), rows[i].error);
    if (rows[i].text) {
      EXPECT_STREQ(buffer, rows[i].text);
    } else {
      EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 0xA5);
    }
    EXPECT_EQ(static_cast<unsigned char>(buffer[rows[i].size]), 0xA5) << "wrote past the size";
  }
}

TEST_F(SystemProcessTest, CommandLineDefaultsToTheModulePath) {
  EXPECT_STREQ(GetCommandLineA(), "C:\\Setup.exe");
  emu::SetModulePath("E:\\Setup.exe");
  EXPECT_STREQ(GetCommandLineA(), "E:\\Setup.exe");
  emu::SetCommandLine("\"E:\\Setup.exe\" autorun");
  emu::SetModulePath("F:\\Setup.exe");
  EXPECT_STREQ(GetCommandLineA(), "\"E:\\Setup.exe\" autorun");
  EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)));
  EXPECT_EQ(GetCurrentThread(), reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)));
}

}  // namespace
