#include "tools/scenario/wine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "emu/system.h"

namespace scenario {

namespace fs = std::filesystem;

namespace {

std::string Lower(const std::string& text) { return emu::LowerAnsi(text); }

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

char Letter(const std::string& path) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
}

// The part of a Windows path below its drive's root, with host separators.
std::string Rest(const std::string& win) {
  std::string rest = win.size() > 3 ? win.substr(3) : "";
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return rest;
}

// Where the runner keeps a drive other than C:: one folder per letter ("d", "e", ...).
fs::path HostPath(const fs::path& drives, const std::string& win) {
  return drives / std::string(1, static_cast<char>(std::tolower(win[0]))) / Rest(win);
}

std::string Quote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

time_t LocalSeconds(const LocalDate& d) {
  std::tm tm{};
  tm.tm_year = d.year - 1900;
  tm.tm_mon = d.month - 1;
  tm.tm_mday = d.day;
  tm.tm_hour = d.hour;
  tm.tm_min = d.minute;
  tm.tm_sec = d.second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::string Stamp(const LocalDate& d) {
  std::string text = FormatDate(d);
  text[10] = 'T';  // one word for the runner's file list
  return text;
}

std::string DateOf(const fs::path& path, time_t runStart) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return "unknown";
  if (st.st_mtime >= runStart) return "now";
  std::tm tm{};
  localtime_r(&st.st_mtime, &tm);
  return FormatDate({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                     tm.tm_sec});
}

// The runner's kind for a file that is not on the medium folder: programs become the stub
// engine, everything else a small text file of the runner's own.
std::string KindOf(const Entry& e) {
  if (e.folder) return "dir";
  const std::string name = Lower(BaseName(e.path));
  if (name == "kel.exe") return "stub";
  if (name == "kel.ex_") return "stub-lz";
  return "file";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> RegKeys(const std::string& regedit4) {
  std::vector<std::string> keys;
  for (const std::string& line : Lines(regedit4)) {
    if (line.size() > 2 && line.front() == '[' && line.back() == ']' && line[1] != '-') {
      keys.push_back(line.substr(1, line.size() - 2));
    }
  }
  return keys;
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

std::vector<std::string> WineLimits(const Scenario& s) {
  std::vector<std::string> limits;
  for (const std::string& field : s.emulationOnly) {
    limits.push_back(field + ": the Wine runner cannot set this up");
  }
  if (Letter(s.mediumFolder) != 'D') {
    limits.push_back("medium.folder: the Wine runner maps the medium to drive D: only");
  }
  for (size_t i = 0; i < s.entries.size(); ++i) {
    const Entry& e = s.entries[i];
    const bool onMediumDrive = Letter(e.path) == 'D';
    if (!onMediumDrive && !e.folder && KindOf(e) == "file" && !e.content.empty()) {
      limits.push_back(e.path + ": the Wine runner writes its own text into files off the medium");
    }
  }
  return limits;
}

Transcript RunOnWine(const Scenario& s, const WineOptions& options, std::string& tempFolder) {
  const fs::path work = fs::temp_directory_path() / ("kelsim-wine-" + std::to_string(::getpid()));
  fs::remove_all(work);
  fs::create_directories(work / "medium");
  const fs::path runner = fs::path(options.sourceDir) / "tests/wine/wine-run.sh";
  const fs::path sessionScript = fs::path(options.sourceDir) / "tests/wine/wine-session.sh";

  // The medium drive is a host folder copied as a whole; everything else is listed.
  std::ostringstream list;
  std::vector<std::string> placed;  // Windows paths of files placed off C:
  for (const Entry& e : s.entries) {
    const LocalDate date = e.date.value_or(s.defaultDate);
    const bool engine = KindOf(e) == "stub" || KindOf(e) == "stub-lz";
    if (Letter(e.path) == 'D' && !engine) {
      const fs::path inMedium = work / "medium" / Rest(e.path);
      if (e.folder) {
        fs::create_directories(inMedium);
      } else {
        WriteFile(inMedium, e.content);
        const timespec times[2] = {{LocalSeconds(date), 0}, {LocalSeconds(date), 0}};
        ::utimensat(AT_FDCWD, inMedium.c_str(), times, 0);
      }
    } else {
      list << KindOf(e) << (e.folder ? "" : "@" + Stamp(date)) << " " << e.path << "\n";
    }
    if (!e.folder && Letter(e.path) != 'C') placed.push_back(e.path);
  }
  list << "launcher " << s.launcherPath << "\n";
  WriteFile(work / "files", list.str());

  std::string command = "bash " + Quote(runner.string()) + " --launcher " +
                        Quote(options.launcherExe) + " --out " + Quote((work / "out").string()) +
                        " --medium " + Quote((work / "medium").string()) + " --files " +
                        Quote((work / "files").string());
  if (!s.registry.empty()) {
    WriteFile(work / "case.reg", s.registry);
    command += " --reg " + Quote((work / "case.reg").string());
  }
  const std::vector<std::string> keys = RegKeys(s.registry);
  for (const std::string& k : keys) command += " --key " + Quote(k);
  if (s.argument) command += " --arg " + Quote(*s.argument);

  std::string session = options.session;
  const bool ownSession = session.empty();
  if (ownSession) {
    session = (work / "session").string();
    Run("bash " + Quote(sessionScript.string()) + " open " + Quote(session) + " >/dev/null");
  }
  command += " --session " + Quote(session) + " >" + Quote((work / "runner.log").string()) + " 2>&1";
  const time_t runStart = std::time(nullptr);
  int status = std::system(command.c_str());
  const fs::path prefixC = fs::path(session) / "prefix" / "drive_c";
  tempFolder = Lines(ReadFile(fs::path(session) / "temp")).empty()
                   ? ""
                   : Lines(ReadFile(fs::path(session) / "temp"))[0];

  Transcript t;
  t.name = s.name;
  const fs::path out = work / "out";
  if (status == 0) {
    std::string caption;
    for (const std::string& line : Lines(ReadFile(out / "boxes"))) {
      if (line.rfind("caption: ", 0) == 0) caption = line.substr(9);
      // The watcher wrote the line breaks as <CR> and <LF>; FormatText writes them so again.
      if (line.rfind("text: ", 0) == 0) t.notices.push_back({caption, line.substr(6)});
    }
    Start start;
    for (const std::string& line : Lines(ReadFile(out / "launches"))) {
      if (line.rfind("cmdline: ", 0) == 0) start.commandLine = line.substr(9);
      if (line.rfind("cwd: ", 0) == 0) {
        start.folder = line.substr(5);
        t.starts.push_back(start);
      }
    }
    const std::vector<std::string> exit = Lines(ReadFile(out / "exit"));
    t.exit = exit.empty() ? "none" : exit[0];
    for (const std::string& path : Lines(ReadFile(out / "files"))) {
      if (path.empty()) continue;
      Written w;
      w.path = path;
      w.engine = Lower(BaseName(path)) == "kel.exe";
      const fs::path host =
          Letter(path) == 'C' ? prefixC / Rest(path) : HostPath(out / "drives", path);
      if (fs::is_regular_file(host)) w.content = ReadFile(host);
      w.date = DateOf(host, runStart);
      t.written.push_back(std::move(w));
    }
    for (const std::string& path : placed) {
      if (!fs::exists(HostPath(out / "drives", path))) t.deleted.push_back(path);
    }
    for (const std::string& line : Lines(ReadFile(out / "keys"))) {
      if (line.rfind("absent ", 0) == 0) t.keysRemoved.push_back(line.substr(7));
    }
  }
  if (ownSession) {
    std::system(("bash " + Quote(sessionScript.string()) + " close " + Quote(session) +
                 " >/dev/null 2>&1").c_str());
  }
  const std::string log = ReadFile(work / "runner.log");
  fs::remove_all(work);
  if (status != 0) throw std::runtime_error("the Wine runner failed:\n" + log);
  return t;
}

}  // namespace scenario
