// Runs every scenario of this folder (and the bundled examples) on the emulation and compares
// the transcript with the expected one beside it; checks that malformed scenarios are refused
// with the field named.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/scenario/scenario.h"
#include "tools/scenario/transcript.h"

namespace fs = std::filesystem;
using scenario::ScenarioError;

namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<fs::path> ScenarioFiles(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() == ".json") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Transcript(const fs::path& file) {
  const scenario::Scenario s = scenario::LoadScenarioFile(file.string());
  scenario::Transcript t = scenario::RunOnEmulation(s);
  scenario::Normalise(t, s.temp, false);
  return scenario::FormatText(t);
}

void CheckFolder(const fs::path& dir, size_t atLeast) {
  const std::vector<fs::path> files = ScenarioFiles(dir);
  ASSERT_GE(files.size(), atLeast) << dir;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const fs::path expected = fs::path(file).replace_extension(".transcript");
    ASSERT_TRUE(fs::exists(expected)) << "no expected transcript " << expected;
    EXPECT_EQ(ReadAll(expected), Transcript(file));
  }
}

}  // namespace

TEST(Scenarios, EachGivesItsExpectedTranscript) { CheckFolder(KEL_SCENARIO_DIR, 30); }

TEST(Scenarios, BundledExamplesGiveTheirTranscripts) { CheckFolder(KEL_EXAMPLES_DIR, 4); }

// The same machine run twice gives the same transcript: nothing leaks from one run.
TEST(Scenarios, RunsAreIndependent) {
  const fs::path file = fs::path(KEL_SCENARIO_DIR) / "handoff-module-filter.json";
  const std::string first = Transcript(file);
  Transcript(fs::path(KEL_SCENARIO_DIR) / "probe-admin-3.json");
  EXPECT_EQ(first, Transcript(file));
}

TEST(Scenarios, DefaultsMakeAnXpMachineWithTheMediumOnCdromD) {
  const scenario::Scenario s = scenario::ParseScenario("{}", ".");
  EXPECT_EQ(5u, s.major);
  EXPECT_EQ(1u, s.minor);
  EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), s.platform);
  ASSERT_EQ(2u, s.drives.size());
  EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), s.drives.at('C').type);
  EXPECT_GE(s.drives.at('C').freeBytes, 4096ull * 1024);
  EXPECT_EQ(static_cast<UINT>(DRIVE_CDROM), s.drives.at('D').type);
  EXPECT_EQ("C:\\TEMP\\", s.temp);
  EXPECT_EQ("\"D:\\Setup.exe\"", s.CommandLine());
  EXPECT_TRUE(s.emulationOnly.empty());
}

TEST(Scenarios, ContentForms) {
  struct Row {
    const char* content;
    std::string bytes;
  } rows[] = {
      /* 0 */ {"plain", "plain"},
      /* 1 */ {"base64:AAFCDQo=", std::string("\0\x01" "B\r\n", 5)},
      /* 2 */ {"text:szdd:x", "szdd:x"},
      /* 3 */ {"szdd:ab", scenario::SzddOf("ab")},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    const std::string json = std::string(R"({"medium":{"files":[{"name":"f","content":")") +
                             rows[i].content + "\"}]}}";
    const scenario::Scenario s = scenario::ParseScenario(json, ".");
    ASSERT_EQ(1u, s.entries.size());
    EXPECT_EQ("D:\\f", s.entries[0].path);
    EXPECT_EQ(rows[i].bytes, s.entries[0].content);
  }
  // The literal-only SZDD stream: header, then a flag byte before every eight bytes.
  EXPECT_EQ(std::string("SZDD\x88\xF0\x27\x33" "A_\x02\0\0\0\xFF" "ab", 17), scenario::SzddOf("ab"));
}

TEST(Scenarios, MalformedScenariosNameTheField) {
  struct Row {
    const char* json;
    const char* message;  // the start of the error
  } rows[] = {
      /* 0 */ {R"({"drives":[{"letter":"C"},{"letter":"E","type":"floppy"}]})",
               "drives[1].type: expected one of fixed, removable, remote, cdrom, ramdisk"},
      /* 1 */ {R"({"drives":[{"letter":"CD"}]})", "drives[0].letter: expected a drive letter"},
      /* 2 */ {R"({"drives":[{"letter":"E","freeBytes":-1}]})", "drives[0].freeBytes: expected a whole number"},
      /* 3 */ {R"({"drives":[{"letter":"E","tpye":"fixed"}]})", "drives[0].tpye: unknown field"},
      /* 4 */ {R"({"drives":{"letter":"E"}})", "drives: expected a list"},
      /* 5 */ {R"({"medium":{"files":[{"name":"a","date":"2004-13-01 00:00:00"}]}})",
               "medium.files[0].date: expected a local date-time"},
      /* 6 */ {R"({"medium":{"files":[{"name":"a","content":"base64:@@"}]}})",
               "medium.files[0].content: invalid base64 character"},
      /* 7 */ {R"({"files":[{"path":"Kel.Exe"}]})", "files[0].path: expected a full Windows path"},
      /* 8 */ {R"({"files":[{"path":"Q:\\x"}]})", "files: Q:\\x: no drive Q:"},
      /* 9 */ {R"({"files":[{"path":"C:\\x","attributes":["sticky"]}]})",
               "files[0].attributes[0]: expected one of readonly, hidden, system, archive"},
      /* 10 */ {R"({"os":{"platform":"os2"}})", "os.platform: expected one of nt, 9x, win32s"},
      /* 11 */ {R"({"tokenGroups":[{"sid":"admin"}]})", "tokenGroups[0].sid: expected a SID"},
      /* 12 */ {R"({"faults":[{"api":"CreateProcessA","error":5}]})",
                "faults[0].api: not a call the launcher makes"},
      /* 13 */ {R"({"faults":[{"api":"WinExec"}]})", "faults[0].error: required"},
      /* 14 */ {R"({"winExec":[{"lastError":2}]})", "winExec[0].result: required"},
      /* 15 */ {R"({"messageBoxes":[{}]})", "messageBoxes[0]: give exactly one of answer, fail"},
      /* 16 */ {R"({"denyDelete":["HKLM\\Software"]})", "denyDelete[0]: expected a key below"},
      /* 17 */ {R"({"registry":42})", "registry: expected a text or a list of lines"},
      /* 18 */ {R"({"launcher":{"argument":"autorun","commandLine":"x"}})",
                "launcher.commandLine: give argument or commandLine, not both"},
      /* 19 */ {R"({"temp":{"fail":"yes"}})", "temp.fail: expected a whole number"},
      /* 20 */ {R"({"wine":"yes"})", "wine: expected true or false"},
      /* 21 */ {R"({"medium":{"host":"no-such-folder-here"}})", "medium.host: no folder"},
      /* 22 */ {R"({"name":"x",})", "(file): not valid JSON"},
      /* 23 */ {R"([1,2])", "(top): expected an object"},
      /* 24 */ {R"({"extra":1})", "extra: unknown field"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i << ": " << rows[i].json);
    try {
      scenario::ParseScenario(rows[i].json, ".");
      ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& e) {
      EXPECT_EQ(0u, std::string(e.what()).rfind(rows[i].message, 0)) << e.what();
    }
  }
}

// A registry text the emulation cannot load is refused when the machine is built.
TEST(Scenarios, MalformedRegistryNamesTheLine) {
  const scenario::Scenario s =
      scenario::ParseScenario(R"({"registry":["REGEDIT4","","[HKEY_LOCAL_MACHINE\\X","\"a\"=\"b\""]})", ".");
  try {
    scenario::RunOnEmulation(s);
    ADD_FAILURE() << "accepted";
  } catch (const ScenarioError& e) {
    EXPECT_EQ(0u, std::string(e.what()).rfind("registry: line ", 0)) << e.what();
  }
}

// What Wine cannot host is listed field by field.
TEST(Scenarios, EmulationOnlyFieldsAreListed) {
  const scenario::Scenario s = scenario::ParseScenario(
      R"({"drives":[{"letter":"C","freeKB":10},{"letter":"E"}],"os":{"major":4},
          "winExec":[{"result":2}],"temp":"C:\\T\\"})", ".");
  const std::vector<std::string> expected = {"os", "drives[0].free space", "temp", "winExec"};
  EXPECT_EQ(expected, s.emulationOnly);
}

TEST(Transcripts, VisibleBytesAndNormalisation) {
  EXPECT_EQ("a<CR><LF><09><3C>b<E9>", scenario::Visible("a\r\n\t<b\xE9"));
  scenario::Transcript t;
  t.name = "n";
  t.notices = {{"Application Error", "Exception E in module Setup.exe at 00000000004012AB.\nm.", true},
               {"WinExec", "2-File was not found. C:\\DOCUME~1\\TEMP\\KEL.EXE", true},
               {"X", "C:\\DOCUME~1\\TEMP2\\ stays", true}};
  t.starts = {{"C:\\DOCUME~1\\temp\\KEL.EXE \"D:\\\"", "C:\\DOCUME~1\\TEMP", 1u}};
  t.written = {{"E:\\b", "now", std::string("x\r\ny"), false},
               {"C:\\DOCUME~1\\TEMP\\Kel.exe", "now", std::string("MZ"), true}};
  t.deleted = {"E:\\z", "E:\\A"};
  t.exit = "0";
  scenario::Normalise(t, "C:\\DOCUME~1\\TEMP\\", true);
  EXPECT_EQ(
      "scenario n\n"
      "error-box \"Application Error\" Exception E in module Setup.exe at <address>.<LF>m.\n"
      "notice \"WinExec\" 2-File was not found. %TEMP%\\KEL.EXE\n"
      "notice \"X\" C:\\DOCUME~1\\TEMP2\\ stays\n"
      "start %TEMP%\\KEL.EXE \"D:\\\"\n"
      "  folder %TEMP%\n"
      "write %TEMP%\\Kel.exe\n"
      "  date now\n"
      "  engine (a program; its bytes are not shown)\n"
      "write E:\\b\n"
      "  date now\n"
      "  | x<CR><LF>\n"
      "  | y\n"
      "delete E:\\A\n"
      "delete E:\\z\n"
      "exit 0\n",
      scenario::FormatText(t));
}
