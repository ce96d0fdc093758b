#include "tools/scenario/scenario.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "emu/core.h"
#include "emu/fs.h"
#include "emu/registry.h"
#include "emu/system.h"
#include "emu/szdd.h"

namespace scenario {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr uint64_t kPlentyOfSpace = 40ull << 30;

// The Win32 calls the launcher makes: the only names a fault can be put on.
const std::set<std::string> kFaultableApis = {
    "CreateFileA", "ReadFile", "WriteFile", "SetFilePointer", "GetFileSize", "CloseHandle",
    "GetFileTime", "SetFileTime", "FileTimeToLocalFileTime", "FileTimeToDosDateTime",
    "DosDateTimeToFileTime", "LocalFileTimeToFileTime", "SetFileAttributesA", "DeleteFileA",
    "MoveFileA", "FindFirstFileA", "FindNextFileA", "FindClose", "SetCurrentDirectoryA",
    "GetTempPathA", "GetShortPathNameA", "GetDriveTypeA", "GetDiskFreeSpaceA", "WinExec",
    "GetModuleFileNameA", "GetCommandLineA", "FormatMessageA", "SetErrorMode", "GetVersionExA",
    "CompareStringA", "MessageBoxA", "CharLowerBuffA", "RegOpenKeyExA", "RegQueryValueExA",
    "RegEnumKeyExA", "RegQueryInfoKeyA", "RegDeleteKeyA", "RegCloseKey", "OpenThreadToken",
    "OpenProcessToken", "GetTokenInformation", "AllocateAndInitializeSid", "EqualSid",
    "FreeSid", "LZOpenFileA", "LZCopy", "LZClose"};

[[noreturn]] void Fail(const std::string& field, const std::string& what) {
  throw ScenarioError(field + ": " + what);
}

std::string TypeName(const json& j) {
  if (j.is_string()) return "a text";
  if (j.is_boolean()) return "true or false";
  if (j.is_number()) return "a number";
  if (j.is_array()) return "a list";
  if (j.is_object()) return "an object";
  return "null";
}

// One JSON object with its place in the file, so every complaint names its field.
class Obj {
 public:
  Obj(const json& j, std::string path) : j_(j), path_(std::move(path)) {
    if (!j_.is_object()) Fail(Where(), "expected an object, found " + TypeName(j_));
  }
  // Call after reading: every field the file gave must be one we know.
  void Known(std::initializer_list<const char*> names) const {
    for (auto it = j_.begin(); it != j_.end(); ++it) {
      bool ok = false;
      for (const char* n : names) ok = ok || it.key() == n;
      if (!ok) Fail(Sub(it.key()), "unknown field");
    }
  }
  bool Has(const char* name) const { return j_.contains(name); }
  const json& At(const char* name) const { return j_.at(name); }
  std::string Sub(const std::string& name) const {
    return path_.empty() ? name : path_ + "." + name;
  }
  std::string Where() const { return path_.empty() ? "(top)" : path_; }

  std::optional<std::string> Text(const char* name) const {
    if (!Has(name)) return std::nullopt;
    const json& v = At(name);
    if (!v.is_string()) Fail(Sub(name), "expected a text, found " + TypeName(v));
    return v.get<std::string>();
  }
  std::optional<bool> Bool(const char* name) const {
    if (!Has(name)) return std::nullopt;
    const json& v = At(name);
    if (!v.is_boolean()) Fail(Sub(name), "expected true or false, found " + TypeName(v));
    return v.get<bool>();
  }
  std::optional<uint64_t> Unsigned(const char* name, uint64_t max) const {
    if (!Has(name)) return std::nullopt;
    const json& v = At(name);
    if (!v.is_number_integer() || (v.is_number_integer() && !v.is_number_unsigned() &&
                                   v.get<int64_t>() < 0)) {
      Fail(Sub(name), "expected a whole number of 0 or more, found " + TypeName(v));
    }
    const uint64_t n = v.get<uint64_t>();
    if (n > max) Fail(Sub(name), "expected at most " + std::to_string(max));
    return n;
  }
  std::optional<int64_t> Signed(const char* name, int64_t min, int64_t max) const {
    if (!Has(name)) return std::nullopt;
    const json& v = At(name);
    if (!v.is_number_integer()) Fail(Sub(name), "expected a whole number, found " + TypeName(v));
    const int64_t n = v.get<int64_t>();
    if (n < min || n > max) {
      Fail(Sub(name), "expected " + std::to_string(min) + " to " + std::to_string(max));
    }
    return n;
  }
  // A list field; each element handed with its indexed path.
  template <class F>
  void List(const char* name, F each) const {
    if (!Has(name)) return;
    const json& v = At(name);
    if (!v.is_array()) Fail(Sub(name), "expected a list, found " + TypeName(v));
    for (size_t i = 0; i < v.size(); ++i) each(v[i], Sub(name) + "[" + std::to_string(i) + "]");
  }

 private:
  const json& j_;
  std::string path_;
};

LocalDate ParseDate(const std::string& text, const std::string& field) {
  LocalDate d;
  char tail = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &d.year, &d.month, &d.day,
                            &d.hour, &d.minute, &d.second, &tail);
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (n != 6 || d.year < 1980 || d.year > 2107 || d.month < 1 || d.month > 12 || d.day < 1 ||
      d.day > kDays[d.month - 1] || d.hour > 23 || d.minute > 59 || d.second > 59 ||
      d.hour < 0 || d.minute < 0 || d.second < 0) {
    Fail(field, "expected a local date-time \"YYYY-MM-DD hh:mm:ss\" from 1980 to 2107, found \"" +
                    text + "\"");
  }
  return d;
}

std::string Base64Decode(const std::string& text, const std::string& field) {
  std::string out;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else if (c == '=' || c == '\n' || c == '\r' || c == ' ') continue;
    else Fail(field, "invalid base64 character '" + std::string(1, c) + "'");
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((acc >> bits) & 0xFF);
    }
  }
  return out;
}

// "text", "base64:...", "szdd:TEXT" or "text:..." (for a text that begins with a prefix).
std::string ParseContent(const std::string& spec, const std::string& field) {
  auto starts = [&](const char* p) { return spec.rfind(p, 0) == 0; };
  if (starts("base64:")) return Base64Decode(spec.substr(7), field);
  if (starts("szdd:")) return SzddOf(spec.substr(5));
  if (starts("text:")) return spec.substr(5);
  return spec;
}

DWORD ParseAttributes(const Obj& o, const std::string& field) {
  DWORD attributes = 0;
  o.List("attributes", [&](const json& v, const std::string& f) {
    static const std::map<std::string, DWORD> kNames = {
        {"readonly", FILE_ATTRIBUTE_READONLY}, {"hidden", FILE_ATTRIBUTE_HIDDEN},
        {"system", FILE_ATTRIBUTE_SYSTEM}, {"archive", FILE_ATTRIBUTE_ARCHIVE}};
    const auto it = v.is_string() ? kNames.find(v.get<std::string>()) : kNames.end();
    if (it == kNames.end()) Fail(f, "expected one of readonly, hidden, system, archive");
    attributes |= it->second;
  });
  (void)field;
  return attributes;
}

void CheckWindowsPath(const std::string& path, const std::string& field) {
  const bool ok = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                  path[1] == ':' && path[2] == '\\';
  if (!ok) Fail(field, "expected a full Windows path like \"C:\\Folder\\File\", found \"" + path + "\"");
}

std::string AddBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

char DriveLetter(const std::string& text, const std::string& field) {
  if (text.size() == 1 || (text.size() == 2 && text[1] == ':')) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (c >= 'A' && c <= 'Z') return c;
  }
  Fail(field, "expected a drive letter A to Z, found \"" + text + "\"");
}

std::vector<TokenGroup> ParseGroups(const Obj& top, const char* name) {
  std::vector<TokenGroup> groups;
  top.List(name, [&](const json& v, const std::string& f) {
    Obj g(v, f);
    TokenGroup group;
    const auto sid = g.Text("sid");
    if (!sid || sid->rfind("S-1-", 0) != 0) Fail(g.Sub("sid"), "expected a SID like \"S-1-5-32-544\"");
    group.sid = *sid;
    group.attributes = static_cast<DWORD>(g.Unsigned("attributes", 0xFFFFFFFFu).value_or(
        SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED));
    g.Known({"sid", "attributes"});
    groups.push_back(group);
  });
  return groups;
}

std::string ReadHostFile(const fs::path& path, const std::string& field) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(field, "cannot read \"" + path.string() + "\"");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every file and folder below a host folder, as entries below the medium folder.
void AddHostMedium(Scenario& s, const fs::path& host, const std::string& field) {
  std::error_code ec;
  if (!fs::is_directory(host, ec)) Fail(field, "no folder \"" + host.string() + "\"");
  std::vector<fs::path> paths;
  for (const auto& e : fs::recursive_directory_iterator(host)) paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  for (const fs::path& p : paths) {
    std::string rel = fs::relative(p, host).generic_string();
    std::replace(rel.begin(), rel.end(), '/', '\\');
    Entry e;
    e.path = s.mediumFolder + rel;
    e.onMedium = true;
    e.folder = fs::is_directory(p);
    if (!e.folder) e.content = ReadHostFile(p, field);
    s.entries.push_back(std::move(e));
  }
}

Entry ParseEntry(const json& v, const std::string& f, bool folder, const std::string& base) {
  Obj o(v, f);
  Entry e;
  e.folder = folder;
  const char* pathField = base.empty() ? "path" : "name";
  const auto path = o.Text(pathField);
  if (!path || path->empty()) Fail(o.Sub(pathField), "required");
  e.path = base + *path;
  CheckWindowsPath(e.path, o.Sub(pathField));
  if (!folder) {
    if (o.Has("content") && o.Has("host")) Fail(o.Sub("host"), "give content or host, not both");
    if (const auto c = o.Text("content")) e.content = ParseContent(*c, o.Sub("content"));
    if (const auto h = o.Text("host")) e.content = ReadHostFile(*h, o.Sub("host"));
  }
  if (const auto d = o.Text("date")) e.date = ParseDate(*d, o.Sub("date"));
  e.attributes = ParseAttributes(o, f);
  if (folder) o.Known({pathField, "date", "attributes"});
  else o.Known({pathField, "content", "host", "date", "attributes"});
  return e;
}

void ParseDrives(Scenario& s, const Obj& top) {
  top.List("drives", [&](const json& v, const std::string& f) {
    Obj o(v, f);
    const auto letter = o.Text("letter");
    if (!letter) Fail(o.Sub("letter"), "required");
    Drive d;
    d.letter = DriveLetter(*letter, o.Sub("letter"));
    if (const auto it = s.drives.find(d.letter); it != s.drives.end()) d = it->second;
    if (const auto type = o.Text("type")) {
      static const std::map<std::string, UINT> kTypes = {
          {"fixed", DRIVE_FIXED}, {"removable", DRIVE_REMOVABLE}, {"remote", DRIVE_REMOTE},
          {"cdrom", DRIVE_CDROM}, {"ramdisk", DRIVE_RAMDISK}};
      const auto it = kTypes.find(*type);
      if (it == kTypes.end()) {
        Fail(o.Sub("type"), "expected one of fixed, removable, remote, cdrom, ramdisk");
      }
      if (it->second != d.type) s.emulationOnly.push_back(o.Sub("type"));
      d.type = it->second;
      d.readOnly = d.type == DRIVE_CDROM;
    }
    if (o.Has("freeBytes") && o.Has("freeKB")) Fail(o.Sub("freeKB"), "give freeBytes or freeKB, not both");
    if (const auto b = o.Unsigned("freeBytes", UINT64_MAX)) d.freeBytes = *b;
    if (const auto kb = o.Unsigned("freeKB", UINT64_MAX / 1024)) d.freeBytes = *kb * 1024;
    if (o.Has("freeBytes") || o.Has("freeKB")) s.emulationOnly.push_back(o.Sub("free space"));
    if (const auto m = o.Bool("medium")) {
      d.mediumPresent = *m;
      if (!*m) s.emulationOnly.push_back(o.Sub("medium"));
    }
    if (const auto r = o.Bool("readOnly")) {
      if (*r != d.readOnly) s.emulationOnly.push_back(o.Sub("readOnly"));
      d.readOnly = *r;
    }
    o.Known({"letter", "type", "freeBytes", "freeKB", "medium", "readOnly"});
    s.drives[d.letter] = d;
  });
}

void ParseMedium(Scenario& s, const Obj& top, const std::string& baseDir) {
  if (!top.Has("medium")) return;
  Obj o(top.At("medium"), "medium");
  if (const auto folder = o.Text("folder")) {
    CheckWindowsPath(*folder, o.Sub("folder"));
    s.mediumFolder = AddBackslash(*folder);
  }
  if (const auto host = o.Text("host")) {
    AddHostMedium(s, fs::path(baseDir) / *host, o.Sub("host"));
  }
  o.List("files", [&](const json& v, const std::string& f) {
    Entry e = ParseEntry(v, f, false, s.mediumFolder);
    e.onMedium = true;
    // An inline file replaces a host file of the same name.
    auto same = [&](const Entry& x) { return emu::LowerAnsi(x.path) == emu::LowerAnsi(e.path); };
    s.entries.erase(std::remove_if(s.entries.begin(), s.entries.end(), same), s.entries.end());
    if (e.attributes) s.emulationOnly.push_back(f + ".attributes");
    s.entries.push_back(std::move(e));
  });
  o.Known({"folder", "host", "files"});
}

void ParseOs(Scenario& s, const Obj& top) {
  if (!top.Has("os")) return;
  Obj o(top.At("os"), "os");
  s.emulationOnly.push_back("os");
  if (const auto e = o.Unsigned("fail", 0xFFFFFFFFu)) s.versionError = static_cast<DWORD>(*e);
  if (const auto v = o.Unsigned("major", 255)) s.major = static_cast<DWORD>(*v);
  if (const auto v = o.Unsigned("minor", 255)) s.minor = static_cast<DWORD>(*v);
  if (const auto v = o.Unsigned("build", 0xFFFFFFFFu)) s.build = static_cast<DWORD>(*v);
  if (const auto p = o.Text("platform")) {
    if (*p == "nt") s.platform = VER_PLATFORM_WIN32_NT;
    else if (*p == "9x") s.platform = VER_PLATFORM_WIN32_WINDOWS;
    else if (*p == "win32s") s.platform = VER_PLATFORM_WIN32s;
    else Fail(o.Sub("platform"), "expected one of nt, 9x, win32s");
  }
  o.Known({"fail", "major", "minor", "build", "platform"});
}

void ParseTemp(Scenario& s, const Obj& top) {
  if (!top.Has("temp")) return;
  s.emulationOnly.push_back("temp");
  const json& v = top.At("temp");
  if (v.is_string()) {
    s.temp = v.get<std::string>();
    return;
  }
  Obj o(v, "temp");
  if (const auto p = o.Text("path")) s.temp = *p;
  if (const auto c = o.Bool("create")) s.createTemp = *c;
  if (const auto e = o.Unsigned("fail", 0xFFFFFFFFu)) s.tempError = static_cast<DWORD>(*e);
  o.Known({"path", "create", "fail"});
}

void ParseLauncher(Scenario& s, const Obj& top) {
  if (!top.Has("launcher")) return;
  Obj o(top.At("launcher"), "launcher");
  if (const auto p = o.Text("path")) {
    CheckWindowsPath(*p, o.Sub("path"));
    s.launcherPath = *p;
  }
  if (const auto a = o.Text("argument")) s.argument = *a;
  if (const auto c = o.Text("commandLine")) {
    if (o.Has("argument")) Fail(o.Sub("commandLine"), "give argument or commandLine, not both");
    s.commandLine = *c;
    s.emulationOnly.push_back(o.Sub("commandLine"));
  }
  o.Known({"path", "argument", "commandLine"});
}

void ParseScripts(Scenario& s, const Obj& top) {
  top.List("winExec", [&](const json& v, const std::string& f) {
    Obj o(v, f);
    const auto r = o.Unsigned("result", 0xFFFFFFFFu);
    if (!r) Fail(o.Sub("result"), "required");
    s.winExec.push_back({static_cast<UINT>(*r),
                         static_cast<DWORD>(o.Unsigned("lastError", 0xFFFFFFFFu).value_or(0))});
    o.Known({"result", "lastError"});
  });
  top.List("messageBoxes", [&](const json& v, const std::string& f) {
    Obj o(v, f);
    BoxAnswer a;
    if (o.Has("fail") == o.Has("answer")) Fail(f, "give exactly one of answer, fail");
    if (const auto n = o.Unsigned("answer", 11)) a.answer = static_cast<int>(*n);
    if (const auto e = o.Unsigned("fail", 0xFFFFFFFFu)) a.failure = static_cast<DWORD>(*e);
    o.Known({"answer", "fail"});
    s.messageBoxes.push_back(a);
  });
  top.List("faults", [&](const json& v, const std::string& f) {
    Obj o(v, f);
    Fault fault;
    const auto api = o.Text("api");
    if (!api) Fail(o.Sub("api"), "required");
    if (!kFaultableApis.count(*api)) Fail(o.Sub("api"), "not a call the launcher makes: \"" + *api + "\"");
    fault.api = *api;
    fault.nth = static_cast<int>(o.Signed("nth", 1, 1000000).value_or(1));
    const auto e = o.Unsigned("error", 0xFFFFFFFFu);
    if (!e) Fail(o.Sub("error"), "required");
    fault.error = static_cast<DWORD>(*e);
    o.Known({"api", "nth", "error"});
    s.faults.push_back(fault);
  });
}

void ParseRegistry(Scenario& s, const Obj& top, const std::string& baseDir) {
  if (const auto file = top.Text("registryFile")) {
    s.registry = ReadHostFile(fs::path(baseDir) / *file, "registryFile");
  }
  if (top.Has("registry")) {
    const json& v = top.At("registry");
    std::string text;
    if (v.is_string()) {
      text = v.get<std::string>();
    } else if (v.is_array()) {
      // One line per element reads better in JSON than one long text.
      for (size_t i = 0; i < v.size(); ++i) {
        if (!v[i].is_string()) Fail("registry[" + std::to_string(i) + "]", "expected a text");
        text += v[i].get<std::string>() + "\r\n";
      }
    } else {
      Fail("registry", "expected a text or a list of lines, found " + TypeName(v));
    }
    if (!s.registry.empty()) {
      // Both given: the file first, then the inline lines without their header.
      const size_t header = text.find("REGEDIT4");
      if (header == 0) text.erase(0, text.find('\n') + 1);
      s.registry += "\r\n" + text;
    } else {
      s.registry = text;
    }
  }
  auto keys = [&](const char* name, std::vector<std::string>& out) {
    top.List(name, [&](const json& v, const std::string& f) {
      if (!v.is_string()) Fail(f, "expected a key name like \"HKEY_CLASSES_ROOT\\.jcf\"");
      std::string path;
      ParseKeyName(v.get<std::string>(), f, path);
      out.push_back(v.get<std::string>());
    });
    if (top.Has(name)) s.emulationOnly.push_back(name);
  };
  keys("denyFullAccess", s.denyFullAccess);
  keys("denyDelete", s.denyDelete);
}

void AddDefaults(Scenario& s) {
  s.drives['C'] = Drive{'C', DRIVE_FIXED, kPlentyOfSpace, true, false};
  s.drives['D'] = Drive{'D', DRIVE_CDROM, 0, true, true};
  s.tokenGroups = {{"S-1-1-0", SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED},
                   {"S-1-5-32-544", SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT |
                                        SE_GROUP_ENABLED | SE_GROUP_OWNER},
                   {"S-1-5-32-545", SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT |
                                        SE_GROUP_ENABLED}};
}

FILETIME ToFileTime(const LocalDate& d) {
  return emu::LocalTime(d.year, d.month, d.day, d.hour, d.minute, d.second);
}

}  // namespace

std::string FormatDate(const LocalDate& d) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                d.hour, d.minute, d.second);
  return text;
}

std::string Scenario::CommandLine() const {
  if (commandLine) return *commandLine;
  std::string line = "\"" + launcherPath + "\"";
  if (argument) line += " " + *argument;
  return line;
}

std::string SzddOf(const std::string& plain) { return emu::szdd::LiteralStream(plain); }

HKEY ParseKeyName(const std::string& name, const std::string& field, std::string& path) {
  static const std::vector<std::pair<std::string, HKEY>> kRoots = {
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKEY_USERS", HKEY_USERS}};
  const size_t slash = name.find('\\');
  const std::string root = name.substr(0, slash);
  for (const auto& [text, key] : kRoots) {
    if (root == text) {
      path = slash == std::string::npos ? "" : name.substr(slash + 1);
      return key;
    }
  }
  Fail(field, "expected a key below HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE "
              "or HKEY_USERS, found \"" + name + "\"");
}

Scenario ParseScenario(const std::string& jsonText, const std::string& baseDir) {
  json j;
  try {
    j = json::parse(jsonText);
  } catch (const json::parse_error& e) {
    throw ScenarioError(std::string("(file): not valid JSON: ") + e.what());
  }
  Scenario s;
  AddDefaults(s);
  Obj top(j, "");
  for (auto it = j.begin(); it != j.end(); ++it) s.given.push_back(it.key());
  s.name = top.Text("name").value_or("");
  s.description = top.Text("description").value_or("");
  s.wine = top.Bool("wine").value_or(false);
  ParseOs(s, top);
  if (top.Has("tokenGroups")) {
    s.tokenGroups = ParseGroups(top, "tokenGroups");
    s.emulationOnly.push_back("tokenGroups");
  }
  if (top.Has("threadTokenGroups")) {
    s.threadTokenGroups = ParseGroups(top, "threadTokenGroups");
    s.emulationOnly.push_back("threadTokenGroups");
  }
  ParseDrives(s, top);
  if (const auto d = top.Text("defaultDate")) s.defaultDate = ParseDate(*d, "defaultDate");
  ParseMedium(s, top, baseDir);
  top.List("files", [&](const json& v, const std::string& f) {
    Entry e = ParseEntry(v, f, false, "");
    if (e.attributes) s.emulationOnly.push_back(f + ".attributes");
    s.entries.push_back(std::move(e));
  });
  top.List("folders", [&](const json& v, const std::string& f) {
    Entry e = ParseEntry(v, f, true, "");
    if (e.attributes) s.emulationOnly.push_back(f + ".attributes");
    s.entries.push_back(std::move(e));
  });
  ParseRegistry(s, top, baseDir);
  ParseTemp(s, top);
  ParseLauncher(s, top);
  ParseScripts(s, top);
  if (!s.winExec.empty()) s.emulationOnly.push_back("winExec");
  if (!s.messageBoxes.empty()) s.emulationOnly.push_back("messageBoxes");
  if (!s.faults.empty()) s.emulationOnly.push_back("faults");
  if (const auto c = top.Text("clock")) s.clock = ParseDate(*c, "clock");
  if (const auto m = top.Signed("localOffsetMinutes", -24 * 60, 24 * 60)) {
    s.localOffsetMinutes = static_cast<int>(*m);
    s.emulationOnly.push_back("localOffsetMinutes");
  }
  top.Known({"name", "description", "wine", "os", "tokenGroups", "threadTokenGroups", "drives",
             "defaultDate", "medium", "files", "folders", "registry", "registryFile",
             "denyFullAccess", "denyDelete", "temp", "launcher", "winExec", "messageBoxes",
             "faults", "clock", "localOffsetMinutes"});
  for (const Entry& e : s.entries) {
    if (!s.drives.count(static_cast<char>(std::toupper(static_cast<unsigned char>(e.path[0]))))) {
      throw ScenarioError("files: " + e.path + ": no drive " + e.path.substr(0, 2) +
                          " in the scenario (add it under drives)");
    }
  }
  return s;
}

Scenario LoadScenarioFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError("(file): cannot read \"" + path + "\"");
  std::ostringstream text;
  text << in.rdbuf();
  Scenario s = ParseScenario(text.str(), fs::path(path).parent_path().string());
  if (s.name.empty()) s.name = fs::path(path).stem().string();
  return s;
}

Scenario DefaultScenario(const std::string& mediumHostDir, const std::string& regFile,
                         const std::optional<std::string>& argument) {
  json j = json::object();
  j["medium"] = {{"host", fs::absolute(mediumHostDir).string()}};
  if (!regFile.empty()) j["registryFile"] = fs::absolute(regFile).string();
  if (argument) j["launcher"] = {{"argument", *argument}};
  Scenario s = ParseScenario(j.dump(), ".");
  s.name = fs::path(mediumHostDir).filename().string();
  if (s.name.empty()) s.name = fs::path(mediumHostDir).parent_path().filename().string();
  s.wine = true;
  return s;
}

void Apply(const Scenario& s) {
  emu::Reset();
  emu::SetLocalTimeOffsetMinutes(s.localOffsetMinutes);
  emu::SetClock(ToFileTime(s.clock));
  for (const auto& [letter, d] : s.drives) {
    emu::DriveSpec spec;
    spec.type = d.type;
    spec.freeBytes = d.freeBytes;
    spec.mediumPresent = d.mediumPresent;
    spec.readOnly = d.readOnly;
    emu::AddDrive(letter, spec);
  }
  for (const Entry& e : s.entries) {
    emu::EntrySpec spec;
    spec.attributes = e.attributes;
    spec.lastWrite = ToFileTime(e.date.value_or(s.defaultDate));
    if (e.folder) emu::AddFolder(e.path, spec);
    else emu::AddFile(e.path, e.content, spec);
  }
  // The launcher's own file, unless the scenario put one there: Windows runs it from there.
  const char launcherDrive = static_cast<char>(std::toupper(static_cast<unsigned char>(s.launcherPath[0])));
  if (s.drives.count(launcherDrive) && !emu::Exists(s.launcherPath)) {
    emu::EntrySpec spec;
    spec.lastWrite = ToFileTime(s.defaultDate);
    emu::AddFile(s.launcherPath, "Stand-in for the launcher Setup.exe", spec);
  }
  if (!s.registry.empty()) {
    try {
      emu::LoadRegistry(s.registry);
    } catch (const std::runtime_error& e) {
      throw ScenarioError(std::string("registry: ") + e.what());
    }
  }
  for (size_t i = 0; i < s.denyFullAccess.size(); ++i) {
    std::string path;
    const HKEY root = ParseKeyName(s.denyFullAccess[i], "denyFullAccess", path);
    emu::DenyFullAccess(root, path);
  }
  for (size_t i = 0; i < s.denyDelete.size(); ++i) {
    std::string path;
    const HKEY root = ParseKeyName(s.denyDelete[i], "denyDelete", path);
    emu::DenyDelete(root, path);
  }
  if (s.tempError) {
    emu::FailTempPath(*s.tempError);
  } else {
    emu::SetTempPath(s.temp);
    const bool onDrive = s.temp.size() >= 3 && s.temp[1] == ':' &&
                         s.drives.count(static_cast<char>(std::toupper(static_cast<unsigned char>(s.temp[0]))));
    if (s.createTemp && onDrive && s.temp.size() > 3 && !emu::Exists(s.temp)) {
      emu::AddFolder(s.temp.back() == '\\' ? s.temp.substr(0, s.temp.size() - 1) : s.temp);
    }
  }
  emu::SetModulePath(s.launcherPath);
  emu::SetCommandLine(s.CommandLine());
  if (s.versionError) {
    emu::FailVersionQuery(*s.versionError);
  } else {
    emu::VersionSpec v;
    v.major = s.major;
    v.minor = s.minor;
    v.build = s.build;
    v.platform = s.platform;
    if (s.platform != VER_PLATFORM_WIN32_NT) v.csd = "";
    emu::SetVersion(v);
  }
  std::vector<emu::GroupSpec> groups;
  for (const TokenGroup& g : s.tokenGroups) groups.push_back({g.sid, g.attributes});
  emu::SetProcessTokenGroups(groups);
  if (s.threadTokenGroups) {
    std::vector<emu::GroupSpec> thread;
    for (const TokenGroup& g : *s.threadTokenGroups) thread.push_back({g.sid, g.attributes});
    emu::SetThreadTokenGroups(thread);
  }
  for (const WinExecAnswer& w : s.winExec) emu::ScriptWinExecResult(w.result, w.lastError);
  for (const BoxAnswer& b : s.messageBoxes) {
    if (b.failure) emu::ScriptMessageBoxFailure(*b.failure);
    else emu::ScriptMessageBoxAnswer(b.answer);
  }
  // Last: the faults count calls from here on, so the set-up above does not use them up.
  for (const Fault& f : s.faults) emu::FailCall(f.api, f.nth, f.error);
}

}  // namespace scenario
