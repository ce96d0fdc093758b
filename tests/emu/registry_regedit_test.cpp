// REGEDIT4 text: what loads, what is refused, and that saving and loading again is lossless.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "emu/core.h"
#include "emu/registry.h"

namespace {

class RegeditTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }

  static std::string Value(HKEY root, const std::string& path, const std::string& name,
                           DWORD* type = nullptr) {
    for (const emu::RegValue& v : emu::RegValues(root, path)) {
      if (v.name == name) {
        if (type) *type = v.type;
        return v.data;
      }
    }
    ADD_FAILURE() << "no value " << name << " in " << path;
    return {};
  }
};

TEST_F(RegeditTest, LoadsEveryValueForm) {
  emu::LoadRegistry(
      "REGEDIT4\r\n"
      "\r\n"
      "; the product's uninstall entry\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelmora]\r\n"
      "\"DisplayName\"=\"Kelmora 2.0\"\r\n"
      "\"UninstallString\"=\"C:\\\\PROG\\\\KelDel.Exe a b \\\"D:\\\\DATA\\\\\\\"\"\r\n"
      "@=\"default\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Short\"=dword:7\r\n"
      "\"Bin\"=hex:00,ff,10\r\n"
      "\"Expand\"=hex(2):25,54,4d,50,25,00\r\n"
      "\"Multi\"=hex(7):61,00,62,00,00\r\n"
      "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\r\n"
      "\"Long\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "  \"Spaced\" = \"x\"\n"
      "[HKEY_CLASSES_ROOT\\.jcf]\n"
      "@=\"JAWS.Configuration\"\n");
  const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelmora";
  struct Row {
    const char* name;
    DWORD type;
    std::string data;
  };
  const Row rows[] = {
      /* 0 */ {"DisplayName", REG_SZ, std::string("Kelmora 2.0", 12)},
      /* 1 */ {"UninstallString", REG_SZ,
               std::string("C:\\PROG\\KelDel.Exe a b \"D:\\DATA\\\"", 34)},
      /* 2 */ {"", REG_SZ, std::string("default", 8)},
      /* 3 */ {"Count", REG_DWORD, std::string("\x2a\0\0\0", 4)},
      /* 4 */ {"Short", REG_DWORD, std::string("\x07\0\0\0", 4)},
      /* 5 */ {"Bin", REG_BINARY, std::string("\x00\xff\x10", 3)},
      /* 6 */ {"Expand", REG_EXPAND_SZ, std::string("%TMP%", 6)},
      /* 7 */ {"Multi", REG_MULTI_SZ, std::string("a\0b\0", 5)},
      /* 8 */ {"Qword", REG_QWORD, std::string("\x01\0\0\0\0\0\0\0", 8)},
      /* 9 */ {"Long", REG_BINARY, std::string("\x01\x02\x03\x04", 4)},
      /* 10 */ {"Spaced", REG_SZ, std::string("x", 2)},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    DWORD type = 0;
    EXPECT_EQ(Value(HKEY_CURRENT_USER, key, rows[i].name, &type), rows[i].data);
    EXPECT_EQ(type, rows[i].type);
  }
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".JCF", ""), std::string("JAWS.Configuration", 19));
}

TEST_F(RegeditTest, MergesAndDeletes) {
  emu::SetRegString(HKEY_LOCAL_MACHINE, "Software\\Old\\Sub", "a", "1");
  emu::SetRegString(HKEY_LOCAL_MACHINE, "Software\\Keep", "a", "1");
  emu::SetRegString(HKEY_LOCAL_MACHINE, "Software\\Keep", "b", "2");
  emu::LoadRegistry(
      "REGEDIT4\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Keep]\n"
      "\"b\"=-\n"
      "\"c\"=\"3\"\n");
  EXPECT_FALSE(emu::RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Old"));
  std::vector<emu::RegValue> values = emu::RegValues(HKEY_LOCAL_MACHINE, "Software\\Keep");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].name, "a");
  EXPECT_EQ(values[1].name, "c");
}

TEST_F(RegeditTest, MalformedTextNamesTheLine) {
  struct Row {
    const char* text;
    const char* message;  // start of the exception text
  };
  const Row rows[] = {
      /* 0 */ {"", "line 1:"},
      /* 1 */ {"REGEDIT5\n", "line 1:"},
      /* 2 */ {"REGEDIT4\n\"a\"=\"b\"\n", "line 2:"},  // value before any key
      /* 3 */ {"REGEDIT4\n[HKEY_NOWHERE\\x]\n", "line 2:"},
      /* 4 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x\n", "line 2:"},
      /* 5 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=\"unterminated\n", "line 3:"},
      /* 6 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=dword:123456789\n", "line 3:"},
      /* 7 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=dword:\n", "line 3:"},
      /* 8 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=hex:1g\n", "line 3:"},
      /* 9 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=hex:001\n", "line 3:"},
      /* 10 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=hex(:00\n", "line 3:"},
      /* 11 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"\"b\"\n", "line 3:"},
      /* 12 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=\"x\\n\"\n", "line 3:"},
      /* 13 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=text\n", "line 3:"},
      /* 14 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=hex:00,\\\n  zz\n\"b\"=\"c\"\n",
                "line 3:"},  // a continued value is reported at its first line
      /* 15 */ {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\n; c\n\"a\"=\"b\" trailing\n", "line 5:"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    emu::Reset();
    try {
      emu::LoadRegistry(rows[i].text);
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(rows[i].message, 0), 0u) << e.what();
    }
  }
}

TEST_F(RegeditTest, SaveThenLoadGivesTheSameRegistry) {
  std::string odd;
  for (int i = 0; i < 256; ++i) odd += static_cast<char>(i);
  emu::SetRegString(HKEY_CURRENT_USER, "Software\\Kelmora", "Path", "C:\\Prog \"x\"\\");
  emu::SetRegString(HKEY_CURRENT_USER, "Software\\Kelmora", "", "");
  emu::SetRegValue(HKEY_CURRENT_USER, "Software\\Kelmora", "NoZero", REG_SZ, "abc");
  emu::SetRegValue(HKEY_CURRENT_USER, "Software\\Kelmora", "Lines", REG_SZ,
                   std::string("a\r\nb", 5));
  emu::SetRegValue(HKEY_CURRENT_USER, "Software\\Kelmora", "Empty", REG_SZ, "");
  emu::SetRegValue(HKEY_LOCAL_MACHINE, "Software\\Bytes", "All", REG_BINARY, odd);
  emu::SetRegValue(HKEY_LOCAL_MACHINE, "Software\\Bytes", "Big", 0x20, std::string(70000, 'q'));
  emu::SetRegValue(HKEY_LOCAL_MACHINE, "Software\\Bytes", "ShortDword", REG_DWORD, "\x01");
  emu::SetRegDword(HKEY_LOCAL_MACHINE, "Software\\Bytes", "Dw", 0xFEDCBA98);
  emu::SetRegValue(HKEY_LOCAL_MACHINE, "Software\\Bytes", "None", REG_NONE, "");
  emu::CreateRegKey(HKEY_CLASSES_ROOT, "Empty\\Key\\Chain");
  emu::SetRegString(HKEY_USERS, "", "AtRoot", "r");

  const std::string first = emu::SaveRegistry();
  EXPECT_EQ(first.rfind("REGEDIT4\r\n\r\n", 0), 0u);
  emu::Reset();
  emu::LoadRegistry(first);
  EXPECT_EQ(emu::SaveRegistry(), first);
  EXPECT_TRUE(emu::RegKeyExists(HKEY_CLASSES_ROOT, "Empty\\Key\\Chain"));
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "Software\\Bytes", "All"), odd);
  EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\Kelmora", "NoZero"), "abc");
  EXPECT_EQ(Value(HKEY_CURRENT_USER, "Software\\Kelmora", "Path"),
            std::string("C:\\Prog \"x\"\\", 13));
}

TEST_F(RegeditTest, SavesTheUsualFormsAsRegeditWritesThem) {
  emu::SetRegString(HKEY_CLASSES_ROOT, ".jcf", "", "JAWS.Configuration");
  emu::SetRegDword(HKEY_CLASSES_ROOT, ".jcf", "N", 42);
  emu::SetRegValue(HKEY_CLASSES_ROOT, ".jcf", "B", REG_BINARY, "\x01\xAB");
  emu::SetRegValue(HKEY_CLASSES_ROOT, ".jcf", "E", REG_EXPAND_SZ, std::string("x", 2));
  EXPECT_EQ(emu::SaveRegistry(),
            "REGEDIT4\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\.jcf]\r\n"
            "@=\"JAWS.Configuration\"\r\n"
            "\"B\"=hex:01,ab\r\n"
            "\"E\"=hex(2):78,00\r\n"
            "\"N\"=dword:0000002a\r\n"
            "\r\n");
}

}  // namespace
