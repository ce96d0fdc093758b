#include "tools/scenario/transcript.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "emu/fs.h"
#include "emu/registry.h"
#include "emu/system.h"
#include "launcher/setup.h"

namespace scenario {

namespace {

constexpr uint64_t kTicksPerSecond = 10000000ull;
// Seconds from 1601-01-01 (FILETIME's epoch) to 1970-01-01.
constexpr int64_t kEpochGap = 11644473600ll;

uint64_t Ticks(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

std::string LocalDateOf(const FILETIME& utc, int offsetMinutes) {
  const int64_t secs = static_cast<int64_t>(Ticks(utc) / kTicksPerSecond) - kEpochGap +
                       static_cast<int64_t>(offsetMinutes) * 60;
  const int64_t days = secs >= 0 ? secs / 86400 : (secs - 86399) / 86400;
  const int64_t rest = secs - days * 86400;
  LocalDate d;
  CivilFromDays(days, d.year, d.month, d.day);
  d.hour = static_cast<int>(rest / 3600);
  d.minute = static_cast<int>(rest / 60 % 60);
  d.second = static_cast<int>(rest % 60);
  return FormatDate(d);
}

std::vector<std::string> KeyNames(const std::string& regedit4) {
  std::vector<std::string> keys;
  std::istringstream in(regedit4);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      keys.push_back(line.substr(1, line.size() - 2));
    }
  }
  return keys;
}

std::string Lower(const std::string& text) { return emu::LowerAnsi(text); }

bool IsEngineName(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return Lower(path.substr(slash == std::string::npos ? 0 : slash + 1)) == "kel.exe";
}

// Replaces the folder, case-insensitively, wherever it stands as a whole path part.
std::string ReplaceFolder(const std::string& text, const std::string& folder,
                          const std::string& by) {
  if (folder.empty()) return text;
  const std::string lowText = Lower(text);
  const std::string lowFolder = Lower(folder);
  std::string out;
  size_t from = 0;
  for (size_t at = lowText.find(lowFolder); at != std::string::npos;
       at = lowText.find(lowFolder, at + 1)) {
    if (at < from) continue;
    const size_t end = at + folder.size();
    const bool whole = end == text.size() || text[end] == '\\' || text[end] == '"' ||
                       text[end] == ' ' || text[end] == '<';
    if (!whole) continue;
    out += text.substr(from, at - from) + by;
    from = end;
  }
  return out + text.substr(from);
}

std::vector<std::string> ContentLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from < bytes.size()) {
    size_t lf = bytes.find('\n', from);
    const size_t end = lf == std::string::npos ? bytes.size() : lf + 1;
    lines.push_back(Visible(bytes.substr(from, end - from)));
    from = end;
  }
  return lines;
}

// Notices keep every byte but the line breaks, as the Wine box watcher writes them.
std::string NoticeText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') out += "<CR>";
    else if (c == '\n') out += "<LF>";
    else out += c;
  }
  return out;
}

}  // namespace

std::string Visible(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "<CR>";
    } else if (c == '\n') {
      out += "<LF>";
    } else if (c < 0x20 || c >= 0x7F || c == '<') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

Transcript RunOnEmulation(const Scenario& s) {
  Apply(s);
  const std::vector<emu::FileInfo> before = emu::ListAll();
  const std::vector<std::string> keysBefore = KeyNames(emu::SaveRegistry());
  const uint64_t runStart = Ticks(emu::Clock());

  const int exitCode = RunLauncherProcess();

  Transcript t;
  t.name = s.name;
  t.exit = std::to_string(exitCode);
  for (const emu::MessageBoxCall& box : emu::MessageBoxes()) {
    t.notices.push_back({box.caption, box.text, box.result != 0});
  }
  for (const emu::WinExecCall& call : emu::Launches()) {
    t.starts.push_back({call.commandLine, call.currentDir, call.show});
  }

  std::map<std::string, const emu::FileInfo*> old;
  for (const emu::FileInfo& f : before) old[Lower(f.path)] = &f;
  const std::vector<emu::FileInfo> after = emu::ListAll();
  std::set<std::string> still;
  for (const emu::FileInfo& f : after) {
    const std::string key = Lower(f.path);
    still.insert(key);
    if (f.folder) continue;
    const auto it = old.find(key);
    const bool same = it != old.end() && !it->second->folder &&
                      it->second->content == f.content &&
                      Ticks(it->second->lastWrite) == Ticks(f.lastWrite) &&
                      it->second->attributes == f.attributes;
    if (same) continue;
    Written w;
    w.path = f.path;
    w.date = Ticks(f.lastWrite) >= runStart ? "now"
                                            : LocalDateOf(f.lastWrite, s.localOffsetMinutes);
    w.content = f.content;
    w.engine = IsEngineName(f.path);
    t.written.push_back(std::move(w));
  }
  for (const emu::FileInfo& f : before) {
    if (!still.count(Lower(f.path))) t.deleted.push_back(f.path);
  }

  const std::vector<std::string> keysAfter = KeyNames(emu::SaveRegistry());
  std::set<std::string> kept;
  for (const std::string& k : keysAfter) kept.insert(Lower(k));
  for (const std::string& k : keysBefore) {
    if (!kept.count(Lower(k))) t.keysRemoved.push_back(k);
  }
  return t;
}

void Normalise(Transcript& t, const std::string& tempFolder, bool portable) {
  std::string folder = tempFolder;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  // A bare root (c:\) is a real place, not the machine's temp folder.
  if (folder.size() <= 2) folder.clear();
  auto fix = [&](std::string& text) { text = ReplaceFolder(text, folder, "%TEMP%"); };
  static const std::regex kAddress(" at [0-9A-Fa-f]+\\.");
  for (Notice& n : t.notices) {
    fix(n.text);
    if (n.caption == "Application Error") {
      n.text = std::regex_replace(n.text, kAddress, " at <address>.",
                                  std::regex_constants::format_first_only);
    }
  }
  for (Start& st : t.starts) {
    fix(st.commandLine);
    fix(st.folder);
    if (portable) st.show.reset();
  }
  for (Written& w : t.written) fix(w.path);
  for (std::string& d : t.deleted) fix(d);
  // Each world lists files and keys in its own order; the transcript lists them by name.
  auto byName = [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); };
  std::stable_sort(t.written.begin(), t.written.end(),
                   [&](const Written& a, const Written& b) { return byName(a.path, b.path); });
  std::stable_sort(t.deleted.begin(), t.deleted.end(), byName);
  std::stable_sort(t.keysRemoved.begin(), t.keysRemoved.end(), byName);
}

std::string FormatText(const Transcript& t) {
  std::ostringstream out;
  out << "scenario " << t.name << "\n";
  for (const Notice& n : t.notices) {
    const char* kind = !n.shown                         ? "notice-not-shown"
                       : n.caption == "Application Error" ? "error-box"
                                                          : "notice";
    out << kind << " \"" << n.caption << "\" " << NoticeText(n.text) << "\n";
  }
  for (const Start& st : t.starts) {
    out << "start " << st.commandLine << "\n";
    out << "  folder " << st.folder << "\n";
    if (st.show) out << "  show " << *st.show << "\n";
  }
  for (const Written& w : t.written) {
    out << "write " << w.path << "\n";
    out << "  date " << w.date << "\n";
    if (w.engine) {
      out << "  engine (a program; its bytes are not shown)\n";
    } else if (!w.content) {
      out << "  content not read back\n";
    } else if (w.content->empty()) {
      out << "  empty\n";
    } else if (w.content->size() > kShownContentLimit) {
      out << "  size " << w.content->size() << "\n";
    } else {
      for (const std::string& line : ContentLines(*w.content)) out << "  | " << line << "\n";
    }
  }
  for (const std::string& d : t.deleted) out << "delete " << d << "\n";
  for (const std::string& k : t.keysRemoved) out << "registry-removed " << k << "\n";
  out << "exit " << t.exit << "\n";
  return out.str();
}

std::string FormatJson(const Transcript& t) {
  // Fields in reading order, not sorted by name.
  using json = nlohmann::ordered_json;
  json j;
  j["scenario"] = t.name;
  j["notices"] = json::array();
  for (const Notice& n : t.notices) {
    j["notices"].push_back({{"caption", NoticeText(n.caption)},
                            {"text", NoticeText(n.text)},
                            {"errorBox", n.caption == "Application Error"},
                            {"shown", n.shown}});
  }
  j["starts"] = json::array();
  for (const Start& st : t.starts) {
    json s = {{"commandLine", st.commandLine}, {"folder", st.folder}};
    if (st.show) s["show"] = *st.show;
    j["starts"].push_back(s);
  }
  j["written"] = json::array();
  for (const Written& w : t.written) {
    json f = {{"path", w.path}, {"date", w.date}, {"engine", w.engine}};
    if (w.content && !w.engine) {
      f["size"] = w.content->size();
      if (w.content->size() <= kShownContentLimit) f["lines"] = ContentLines(*w.content);
    }
    j["written"].push_back(f);
  }
  j["deleted"] = t.deleted;
  j["registryRemoved"] = t.keysRemoved;
  j["exit"] = t.exit;
  // Texts may hold bytes of the ANSI code page: keep them, never throw on them.
  return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace scenario
