// REGEDIT4 text (the .reg format) in and out of the emulated registry.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "emu/registry.h"

namespace emu {
namespace {

const HKEY kSaveOrder[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};

[[noreturn]] void Fail(int line, const std::string& what) {
  throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimRight(std::string s) {
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.pop_back();
  return s;
}

size_t SkipBlanks(const std::string& s, size_t pos) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
  return pos;
}

bool StartsWithNoCase(const std::string& s, size_t pos, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (pos + i >= s.size()) return false;
    char c = s[pos + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    if (c != prefix[i]) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

HKEY RootFromName(const std::string& name) {
  for (HKEY root : kSaveOrder) {
    if (RootName(root) == name) return root;
  }
  return nullptr;
}

// A quoted text starting at pos (on the opening quote); pos ends after the closing quote.
std::string ParseQuoted(const std::string& s, size_t& pos, int line) {
  std::string out;
  ++pos;
  for (;;) {
    if (pos >= s.size()) Fail(line, "missing closing quote");
    char c = s[pos++];
    if (c == '"') return out;
    if (c == '\\') {
      if (pos >= s.size()) Fail(line, "missing closing quote");
      char e = s[pos++];
      if (e != '\\' && e != '"') Fail(line, std::string("unknown escape \\") + e);
      out += e;
    } else {
      out += c;
    }
  }
}

std::string ParseHexList(const std::string& s, size_t pos, int line) {
  std::string bytes;
  while (true) {
    pos = SkipBlanks(s, pos);
    if (pos >= s.size()) break;
    int value = 0, digits = 0;
    while (pos < s.size() && HexDigit(s[pos]) >= 0) {
      value = value * 16 + HexDigit(s[pos++]);
      ++digits;
    }
    if (digits == 0 || digits > 2) Fail(line, "bad hex byte");
    bytes += static_cast<char>(value);
    pos = SkipBlanks(s, pos);
    if (pos >= s.size()) break;
    if (s[pos] != ',') Fail(line, "expected a comma between hex bytes");
    ++pos;
  }
  return bytes;
}

struct Section {
  bool open = false;
  HKEY root = nullptr;
  std::string path;
};

void ParseSection(const std::string& s, int line, Section& section) {
  if (s.back() != ']') Fail(line, "section without closing bracket");
  std::string inner = s.substr(1, s.size() - 2);
  bool remove = !inner.empty() && inner[0] == '-';
  if (remove) inner.erase(0, 1);
  size_t slash = inner.find('\\');
  std::string rootName = inner.substr(0, slash);
  std::string path = slash == std::string::npos ? "" : inner.substr(slash + 1);
  HKEY root = RootFromName(rootName);
  if (!root) Fail(line, "unknown root key \"" + rootName + "\"");
  if (remove) {
    if (path.empty()) Fail(line, "a root key cannot be deleted");
    DeleteRegTree(root, path);
    section = Section{};
    return;
  }
  CreateRegKey(root, path);
  section = Section{true, root, path};
}

void ParseValue(const std::string& s, int line, const Section& section) {
  if (!section.open) Fail(line, "value outside a key section");
  size_t pos = 0;
  std::string name;
  if (s[0] == '@') {
    pos = 1;
  } else if (s[0] == '"') {
    name = ParseQuoted(s, pos, line);
  } else {
    Fail(line, "expected a value name, a section or a comment");
  }
  pos = SkipBlanks(s, pos);
  if (pos >= s.size() || s[pos] != '=') Fail(line, "expected '=' after the value name");
  pos = SkipBlanks(s, pos + 1);
  if (pos >= s.size()) Fail(line, "missing value data");
  if (s[pos] == '"') {
    std::string text = ParseQuoted(s, pos, line);
    if (SkipBlanks(s, pos) != s.size()) Fail(line, "text after the closing quote");
    SetRegString(section.root, section.path, name, text);
  } else if (s[pos] == '-' && SkipBlanks(s, pos + 1) == s.size()) {
    DeleteRegValue(section.root, section.path, name);
  } else if (StartsWithNoCase(s, pos, "dword:")) {
    pos += 6;
    DWORD value = 0;
    int digits = 0;
    while (pos < s.size() && HexDigit(s[pos]) >= 0) {
      value = value * 16 + static_cast<DWORD>(HexDigit(s[pos++]));
      ++digits;
    }
    if (digits == 0 || digits > 8 || SkipBlanks(s, pos) != s.size()) {
      Fail(line, "dword needs 1 to 8 hex digits");
    }
    SetRegDword(section.root, section.path, name, value);
  } else if (StartsWithNoCase(s, pos, "hex:")) {
    SetRegValue(section.root, section.path, name, REG_BINARY, ParseHexList(s, pos + 4, line));
  } else if (StartsWithNoCase(s, pos, "hex(")) {
    pos += 4;
    DWORD type = 0;
    int digits = 0;
    while (pos < s.size() && HexDigit(s[pos]) >= 0) {
      type = type * 16 + static_cast<DWORD>(HexDigit(s[pos++]));
      ++digits;
    }
    if (digits == 0 || digits > 8 || s.compare(pos, 2, "):") != 0) Fail(line, "bad hex(type):");
    SetRegValue(section.root, section.path, name, type, ParseHexList(s, pos + 2, line));
  } else {
    Fail(line, "unknown value data");
  }
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// REGEDIT4 strings cannot hold line breaks or zeros; such data goes out as hex(1).
bool WritableAsText(const RegValue& v) {
  if (v.type != REG_SZ || v.data.empty() || v.data.back() != '\0') return false;
  for (size_t i = 0; i + 1 < v.data.size(); ++i) {
    char c = v.data[i];
    if (c == '\0' || c == '\r' || c == '\n') return false;
  }
  return true;
}

// Long hex lists wrap as regedit wraps them: a backslash, a line end, two blanks.
void AppendHex(std::string& out, std::string line, const std::string& data) {
  char byte[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
    std::string token = byte;
    if (i + 1 < data.size()) token += ',';
    if (line.size() + token.size() > 76) {
      out += line + "\\\r\n";
      line = "  ";
    }
    line += token;
  }
  out += line + "\r\n";
}

void AppendValue(std::string& out, const RegValue& v) {
  std::string line = v.name.empty() ? "@=" : Quote(v.name) + "=";
  if (WritableAsText(v)) {
    out += line + Quote(v.data.substr(0, v.data.size() - 1)) + "\r\n";
  } else if (v.type == REG_DWORD && v.data.size() == 4) {
    DWORD value = 0;
    for (int i = 3; i >= 0; --i) value = value * 256 + static_cast<unsigned char>(v.data[i]);
    char hex[16];
    std::snprintf(hex, sizeof hex, "dword:%08x", value);
    out += line + hex + "\r\n";
  } else if (v.type == REG_BINARY) {
    AppendHex(out, line + "hex:", v.data);
  } else {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", v.type);
    AppendHex(out, line + prefix, v.data);
  }
}

void AppendKey(std::string& out, HKEY root, const std::string& path) {
  std::vector<RegValue> values = RegValues(root, path);
  if (!path.empty() || !values.empty()) {
    out += "[" + RootName(root) + (path.empty() ? "" : "\\" + path) + "]\r\n";
    for (const RegValue& v : values) AppendValue(out, v);
    out += "\r\n";
  }
  for (const std::string& child : RegSubKeyNames(root, path)) {
    AppendKey(out, root, path.empty() ? child : path + "\\" + child);
  }
}

}  // namespace

void LoadRegistry(const std::string& regedit4) {
  // Physical lines with their numbers.
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < regedit4.size()) {
    size_t end = regedit4.find('\n', start);
    if (end == std::string::npos) end = regedit4.size();
    lines.push_back(regedit4.substr(start, end - start));
    start = end + 1;
  }
  bool header = false;
  Section section;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    std::string s = TrimRight(lines[i]);
    s.erase(0, SkipBlanks(s, 0));
    if (s.empty() || s[0] == ';') continue;
    // A trailing backslash continues the line; the next line's leading blanks are dropped.
    while (!s.empty() && s.back() == '\\' && s[0] != '[' && i + 1 < lines.size()) {
      s.pop_back();
      std::string next = TrimRight(lines[++i]);
      s += next.substr(SkipBlanks(next, 0));
    }
    if (!header) {
      if (s != "REGEDIT4") Fail(number, "expected the REGEDIT4 header");
      header = true;
      continue;
    }
    if (s[0] == '[') {
      ParseSection(s, number, section);
    } else {
      ParseValue(s, number, section);
    }
  }
  if (!header) Fail(1, "expected the REGEDIT4 header");
}

std::string SaveRegistry() {
  std::string out = "REGEDIT4\r\n\r\n";
  for (HKEY root : kSaveOrder) AppendKey(out, root, "");
  return out;
}

}  // namespace emu
