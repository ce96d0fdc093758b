// LZOpenFileA, LZCopy and LZClose over the emulated file system.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "emu/core.h"
#include "emu/fs.h"
#include "platform/win32.h"
#include "tests/lz/lz_test_util.h"
#include "tests/lz/szdd_writer.h"

namespace {

constexpr WORD kReadStyle = OF_READ | OF_SHARE_DENY_WRITE;             // 0x20
constexpr WORD kCreateStyle = OF_CREATE | OF_SHARE_EXCLUSIVE | OF_WRITE;  // 0x1011

std::string Str(const lztest::Bytes& b) { return std::string(b.begin(), b.end()); }

std::string Sample(const std::string& name) {
  return Str(lztest::ReadHostFile(std::string(KEL_LZ_DATA) + "/" + name));
}

bool IsLz(INT h) { return h >= 0x400 && h < 0x410; }

class LzApi : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    std::memset(&ofs_, 0xA5, sizeof ofs_);
  }
  INT Open(const char* name, WORD style) {
    std::string copy = name;
    return LZOpenFileA(copy.data(), &ofs_, style);
  }
  OFSTRUCT ofs_;
};

TEST_F(LzApi, ExpandsCompressedFileLikeTheLauncher) {
  const FILETIME stamp = emu::LocalTime(2001, 5, 6, 7, 8, 10);
  emu::EntrySpec spec;
  spec.lastWrite = stamp;
  emu::AddFile("C:\\CD\\KEL.EX_", Sample("text.txt.SZ"), spec);
  emu::AddFile("C:\\TEMP\\Kel.exe", "an older engine");

  const INT src = Open("C:\\CD\\KEL.EX_", kReadStyle);
  EXPECT_TRUE(IsLz(src)) << src;
  EXPECT_EQ(ofs_.cBytes, sizeof(OFSTRUCT));
  EXPECT_EQ(ofs_.nErrCode, 0);
  EXPECT_STREQ(ofs_.szPathName, "C:\\CD\\KEL.EX_");

  SetLastError(0xdeadbeef);
  const INT dst = Open("C:\\TEMP\\Kel.exe", kCreateStyle);
  EXPECT_GT(dst, 0);
  EXPECT_FALSE(IsLz(dst));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));  // CREATE_ALWAYS over a file

  const std::string plain = Sample("text.txt");
  EXPECT_EQ(LZCopy(src, dst), LONG(plain.size()));
  LZClose(dst);
  LZClose(src);
  EXPECT_EQ(emu::FileContent("C:\\TEMP\\Kel.exe"), plain);
  const auto written = emu::LastWrite("C:\\TEMP\\Kel.exe");
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->dwLowDateTime, stamp.dwLowDateTime);
  EXPECT_EQ(written->dwHighDateTime, stamp.dwHighDateTime);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

// Anything that is not a complete SZDD header is copied byte for byte; an SZDD header with
// another mode opens as a plain file and LZCopy then copies nothing (as LZ32 does).
TEST_F(LzApi, NonCompressedSourcesByContent) {
  const std::string header = Str({'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33});
  struct Row {
    const char* what;
    std::string content;
    std::string expected;
  };
  const std::string exe = "MZ" + Str(lztest::RandomSample(5000, 9));
  const Row rows[] = {
      /* 0 */ {"plain executable", exe, exe},
      /* 1 */ {"empty file", "", ""},
      /* 2 */ {"magic but shorter than a header", header + "A" + std::string(4, '\0'),
               header + "A" + std::string(4, '\0')},
      /* 3 */ {"other magic", "SZDD is not enough" + std::string(30, 'x'),
               "SZDD is not enough" + std::string(30, 'x')},
      /* 4 */ {"unknown mode 'B'", header + "B" + std::string(5, '\0') + "payload", ""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].what);
    emu::Reset();
    emu::AddFile("C:\\CD\\KEL.EX_", rows[i].content);
    const INT src = Open("C:\\CD\\KEL.EX_", kReadStyle);
    const INT dst = Open("C:\\TEMP\\Kel.exe", kCreateStyle);
    EXPECT_GT(src, 0);
    EXPECT_FALSE(IsLz(src));
    EXPECT_EQ(LZCopy(src, dst), LONG(rows[i].expected.size()));
    LZClose(dst);
    LZClose(src);
    EXPECT_EQ(emu::FileContent("C:\\TEMP\\Kel.exe"), rows[i].expected);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
}

TEST_F(LzApi, OpenFailures) {
  struct Row {
    const char* what;
    const char* name;
    WORD style;
    DWORD error;
  };
  const std::string longName = "C:\\" + std::string(130, 'n') + ".ex_";
  const Row rows[] = {
      /* 0 */ {"missing source", "C:\\CD\\KEL.EX_", kReadStyle, ERROR_FILE_NOT_FOUND},
      /* 1 */ {"missing folder reads as a missing file", "C:\\NONE\\KEL.EX_", kReadStyle,
               ERROR_FILE_NOT_FOUND},
      /* 2 */ {"source held exclusively", "C:\\CD\\HELD.EX_", kReadStyle, ERROR_SHARING_VIOLATION},
      /* 3 */ {"destination on a read-only drive", "R:\\Kel.exe", kCreateStyle, ERROR_ACCESS_DENIED},
      /* 4 */ {"destination folder missing", "C:\\NONE\\Kel.exe", kCreateStyle, ERROR_PATH_NOT_FOUND},
      /* 5 */ {"path longer than the OFSTRUCT holds", longName.c_str(), kReadStyle, ERROR_INVALID_DATA},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].what);
    emu::Reset();
    emu::AddFolder("C:\\CD");
    emu::AddFile("C:\\CD\\HELD.EX_", Sample("hello.txt.SZ"));
    HANDLE held = emu::HoldOpen("C:\\CD\\HELD.EX_", GENERIC_READ, 0);
    emu::DriveSpec readOnly;
    readOnly.readOnly = true;
    emu::AddDrive('R', readOnly);
    std::memset(&ofs_, 0xA5, sizeof ofs_);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(Open(rows[i].name, rows[i].style), HFILE_ERROR);
    EXPECT_EQ(GetLastError(), rows[i].error);
    EXPECT_EQ(ofs_.nErrCode, rows[i].error);
    EXPECT_EQ(ofs_.cBytes, 0xA5);  // given back untouched on failure
    EXPECT_FALSE(emu::Exists("R:\\Kel.exe"));
    CloseHandle(held);
    EXPECT_EQ(emu::OpenHandleCount(), 0u);
  }
}

// LZ32 retries a name it cannot open under the compressed form of that name, for every
// mode: a missing Kel.exe opens Kel.ex_, and a held destination creates Kel.ex_ instead.
TEST_F(LzApi, RetriesUnderTheCompressedName) {
  struct Row {
    const char* asked;
    const char* opened;
  };
  const Row rows[] = {
      /* 0 */ {"C:\\CD\\KEL.EXE", "C:\\CD\\KEL.EX_"},
      /* 1 */ {"C:\\CD\\A.B", "C:\\CD\\A.B_"},
      /* 2 */ {"C:\\CD\\NAME", "C:\\CD\\NAME._"},
      /* 3 */ {"C:\\CD\\LONG.NAME", "C:\\CD\\LONG.NAM_"},
      /* 4 */ {"C:\\CD.X\\FILE", "C:\\CD.X\\FILE._"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].asked);
    emu::Reset();
    emu::AddFile(rows[i].opened, Sample("hello.txt.SZ"));
    const INT src = Open(rows[i].asked, kReadStyle);
    EXPECT_TRUE(IsLz(src)) << src;
    EXPECT_STREQ(ofs_.szPathName, rows[i].opened);
    EXPECT_EQ(ofs_.nErrCode, 0);
    LZClose(src);
  }

  emu::Reset();
  emu::AddFile("C:\\TEMP\\Kel.exe", "running engine");
  HANDLE held = emu::HoldOpen("C:\\TEMP\\Kel.exe", GENERIC_READ, 0);
  const INT dst = Open("C:\\TEMP\\Kel.exe", kCreateStyle);
  EXPECT_GT(dst, 0);
  EXPECT_STREQ(ofs_.szPathName, "C:\\TEMP\\Kel.ex_");
  EXPECT_TRUE(emu::Exists("C:\\TEMP\\Kel.ex_"));
  LZClose(dst);
  CloseHandle(held);
}

TEST_F(LzApi, CopyFailures) {
  emu::AddFile("C:\\CD\\KEL.EX_", Sample("text.txt.SZ"));
  emu::AddFile("C:\\CD\\PLAIN.EXE", Sample("text.txt"));
  emu::AddFile("C:\\TEMP\\RO.EXE", "");
  const INT readOnlyDest = Open("C:\\TEMP\\RO.EXE", OF_READ | OF_SHARE_DENY_NONE);
  ASSERT_GT(readOnlyDest, 0);

  // Output that cannot be written.
  for (const char* name : {"C:\\CD\\KEL.EX_", "C:\\CD\\PLAIN.EXE"}) {
    SCOPED_TRACE(name);
    const INT src = Open(name, kReadStyle);
    EXPECT_EQ(LZCopy(src, readOnlyDest), LZERROR_WRITE);
    LZClose(src);
  }
  // A failed read of a plain file is a read error; inside compressed data it ends the data.
  {
    const INT src = Open("C:\\CD\\PLAIN.EXE", kReadStyle);
    const INT dst = Open("C:\\TEMP\\OUT1", kCreateStyle);
    emu::FailCall("ReadFile", 2, ERROR_READ_FAULT);  // the first is the header check
    EXPECT_EQ(LZCopy(src, dst), LZERROR_READ);
    LZClose(dst);
    LZClose(src);
  }
  {
    const INT src = Open("C:\\CD\\KEL.EX_", kReadStyle);
    const INT dst = Open("C:\\TEMP\\OUT2", kCreateStyle);
    emu::FailCall("ReadFile", 1, ERROR_READ_FAULT);
    EXPECT_EQ(LZCopy(src, dst), 0);
    LZClose(dst);
    LZClose(src);
    EXPECT_EQ(emu::FileContent("C:\\TEMP\\OUT2"), "");
  }
  // Handles that are no files: an unknown source copies nothing; an LZ handle that is not
  // open reads as a bad file.
  const INT dst = Open("C:\\TEMP\\OUT3", kCreateStyle);
  EXPECT_EQ(LZCopy(0x7777, dst), 0);
  EXPECT_EQ(LZCopy(0x40F, dst), LZERROR_READ);
  LZClose(dst);
  LZClose(readOnlyDest);
  EXPECT_EQ(emu::FileContent("C:\\TEMP\\OUT3"), "");
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

// Sixteen compressed files at once; the seventeenth opens as a plain file, which LZCopy
// then refuses to expand (0 bytes), as LZ32 does. A closed slot is reused.
TEST_F(LzApi, SixteenLzHandlesAtMost) {
  const std::string packed = Sample("hello.txt.SZ");
  INT handles[17];
  for (int i = 0; i < 17; ++i) {
    const std::string name = "C:\\CD\\F" + std::to_string(i) + ".EX_";
    emu::AddFile(name, packed);
    handles[i] = Open(name.c_str(), kReadStyle);
  }
  for (int i = 0; i < 16; ++i) EXPECT_EQ(handles[i], 0x400 + i);
  EXPECT_GT(handles[16], 0);
  EXPECT_FALSE(IsLz(handles[16]));
  const INT dst = Open("C:\\TEMP\\OUT", kCreateStyle);
  EXPECT_EQ(LZCopy(handles[16], dst), 0);
  EXPECT_EQ(LZCopy(handles[3], dst), 20);
  LZClose(handles[5]);
  EXPECT_EQ(Open("C:\\CD\\F5.EX_", kReadStyle), 0x405);
  for (int i = 0; i < 17; ++i) LZClose(handles[i]);
  LZClose(dst);
  EXPECT_EQ(emu::FileContent("C:\\TEMP\\OUT"), "This is a test file.");
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(LzApi, ResetForgetsOpenLzFiles) {
  emu::AddFile("C:\\CD\\A.EX_", Sample("hello.txt.SZ"));
  EXPECT_EQ(Open("C:\\CD\\A.EX_", kReadStyle), 0x400);
  emu::Reset();
  emu::AddFile("C:\\CD\\A.EX_", Sample("hello.txt.SZ"));
  EXPECT_EQ(Open("C:\\CD\\A.EX_", kReadStyle), 0x400);
  LZClose(0x400);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

TEST_F(LzApi, CloseAndInjectedFaults) {
  SetLastError(0xdeadbeef);
  LZClose(0x1234);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

  emu::AddFile("C:\\CD\\KEL.EX_", Sample("hello.txt.SZ"));
  emu::FailCall("LZOpenFileA", 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(Open("C:\\CD\\KEL.EX_", kReadStyle), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(ofs_.nErrCode, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);

  const INT src = Open("C:\\CD\\KEL.EX_", kReadStyle);
  const INT dst = Open("C:\\TEMP\\OUT", kCreateStyle);
  emu::FailCall("LZCopy", 1, ERROR_READ_FAULT);
  EXPECT_LT(LZCopy(src, dst), 0);
  EXPECT_EQ(LZCopy(src, dst), 20);
  LZClose(dst);
  LZClose(src);
  EXPECT_EQ(emu::OpenHandleCount(), 0u);
}

}  // namespace
