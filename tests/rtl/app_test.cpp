// The standard error box and the process frame: order of the steps, exit codes, end steps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "rtl/app.h"
#include "rtl/exceptions.h"
#include "tests/support/machine.h"

namespace {

class ErrorBoxTest : public testsupport::MachineTest {};

[[noreturn]] __attribute__((noinline)) void RaiseConvertError() { throw EConvertError("first"); }
[[noreturn]] __attribute__((noinline)) void RaiseOtherConvertError() { throw EConvertError("second"); }

const void* AddressOf(void (*raise)()) {
  try {
    raise();
  } catch (const Exception& e) {
    return e.Address();
  }
  return nullptr;
}

TEST_F(ErrorBoxTest, TheAddressIsWhereTheExceptionWasRaised) {
  const void* first = AddressOf(RaiseConvertError);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(AddressOf(RaiseConvertError), first);
  EXPECT_NE(AddressOf(RaiseOtherConvertError), first);
}

struct BoxCase {
  std::string message;
  std::string secondLine;
};

TEST_F(ErrorBoxTest, TextNamesClassModuleAndAddressAndEndsWithAFullStop) {
  const BoxCase cases[] = {
      /* 0 */ {"File access denied", "File access denied."},
      /* 1 */ {"Winsys: Administrator-1", "Winsys: Administrator-1."},
      /* 2 */ {"Ends with one.", "Ends with one."},
      /* 3 */ {"Two..", "Two.."},
      /* 4 */ {"a.b", "a.b."},
      /* 5 */ {"", "."},
      /* 6 */ {"line\nbreak", "line\nbreak."},
  };
  emu::SetModulePath("D:\\Media\\Kel\\SETUP.EXE");
  const std::regex firstLine("Exception EInOutError in module SETUP\\.EXE at ([0-9A-F]{" +
                             std::to_string(sizeof(void*) * 2) + "})\\.\n");
  int row = 0;
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    const EInOutError error(c.message, 5);
    const std::string text = ExceptionBoxText(error);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(text, match, firstLine, std::regex_constants::match_continuous))
        << text;
    EXPECT_EQ(std::strtoull(match[1].str().c_str(), nullptr, 16),
              reinterpret_cast<uintptr_t>(error.Address()));
    EXPECT_EQ(match.suffix().str(), c.secondLine);
  }
}

TEST_F(ErrorBoxTest, ShowExceptionShowsTheTaskModalStopBox) {
  emu::SetModulePath("C:\\Kel\\Setup.exe");
  const ERegistryException error("Invalid data type for 'DisplayName'");
  ShowException(error);
  ASSERT_EQ(emu::MessageBoxes().size(), 1u);
  const emu::MessageBoxCall& box = emu::MessageBoxes()[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.caption, "Application Error");
  EXPECT_EQ(box.style, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  EXPECT_EQ(box.text, ExceptionBoxText(error));
  EXPECT_NE(box.text.find("Exception ERegistryException in module Setup.exe at "), std::string::npos);
}

// What the steps of a process did, in order.
std::vector<std::string> g_events;

void EndStepA() { g_events.push_back("endA boxes=" + std::to_string(emu::MessageBoxes().size())); }
void EndStepB() { g_events.push_back("endB"); }

enum class Fault { kNone, kExceptionInStartup, kExceptionInEntry, kBadAlloc, kStdException };

struct RunCase {
  Fault fault;
  int exitCode;
  std::vector<std::string> events;
  std::string box;  // class and message of the error box, "" for none
};

class RunApplicationTest : public testsupport::MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    g_events.clear();
  }
};

TEST_F(RunApplicationTest, RunsStartupEntryThenEndStepsInReverse) {
  const RunCase cases[] = {
      /* 0 */ {Fault::kNone, 0, {"startup", "entry", "endB", "endA boxes=0"}, ""},
      /* 1 */ {Fault::kExceptionInEntry, 1, {"startup", "entry", "endB", "endA boxes=1"},
               "EConvertError|'7.5' is not a valid integer value."},
      /* 2 */ {Fault::kExceptionInStartup, 1, {"startup", "endB", "endA boxes=1"},
               "Exception|Winsys: Administrator-2."},
      /* 3 */ {Fault::kBadAlloc, 1, {"startup", "entry", "endB", "endA boxes=1"},
               "EOutOfMemory|Out of memory."},
      /* 4 */ {Fault::kStdException, 1, {"startup", "entry", "endB", "endA boxes=1"},
               "Exception|vector."},
  };
  int row = 0;
  for (const RunCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << row++);
    emu::Reset();
    g_events.clear();
    const int exitCode = RunApplication(
        [&] {
          g_events.push_back("startup");
          AddExitProc(EndStepA);
          AddExitProc(EndStepB);
          if (c.fault == Fault::kExceptionInStartup) throw Exception("Winsys: Administrator-2");
        },
        [&] {
          g_events.push_back("entry");
          if (c.fault == Fault::kExceptionInEntry) throw EConvertError("'7.5' is not a valid integer value");
          if (c.fault == Fault::kBadAlloc) throw std::bad_alloc();
          if (c.fault == Fault::kStdException) throw std::length_error("vector");
        });
    EXPECT_EQ(exitCode, c.exitCode);
    EXPECT_EQ(g_events, c.events);
    if (c.box.empty()) {
      EXPECT_TRUE(emu::MessageBoxes().empty());
      continue;
    }
    ASSERT_EQ(emu::MessageBoxes().size(), 1u);
    const emu::MessageBoxCall& box = emu::MessageBoxes()[0];
    EXPECT_EQ(box.caption, "Application Error");
    const std::string cls = c.box.substr(0, c.box.find('|'));
    const std::string message = c.box.substr(c.box.find('|') + 1);
    EXPECT_EQ(box.text.rfind("Exception " + cls + " in module ", 0), 0u) << box.text;
    EXPECT_EQ(box.text.substr(box.text.find('\n') + 1), message);
  }
}

TEST_F(RunApplicationTest, EndStepsAreClearedForTheNextProcess) {
  AddExitProc(EndStepA);  // registered before the process starts: still an end step
  EXPECT_EQ(RunApplication([] {}, [] { g_events.push_back("entry"); }), 0);
  EXPECT_EQ(RunApplication([] {}, [] { g_events.push_back("entry"); }), 0);
  EXPECT_EQ(g_events, (std::vector<std::string>{"entry", "endA boxes=0", "entry"}));
}

TEST_F(RunApplicationTest, AFailingEndStepIsShownAndTheOthersStillRun) {
  static bool ranFirst = false;
  ranFirst = false;
  AddExitProc([] { ranFirst = true; });
  AddExitProc([] { throw EInOutError("File access denied", 5); });
  EXPECT_EQ(RunApplication([] {}, [] {}), 1);
  EXPECT_TRUE(ranFirst);
  ASSERT_EQ(emu::MessageBoxes().size(), 1u);
  EXPECT_NE(emu::MessageBoxes()[0].text.find("EInOutError"), std::string::npos);
}

}  // namespace
