// The emulated file system: drives, folder trees, open files and searches, and the Win32
// calls over them. State lives in one world object; the API functions are thin readers and
// writers of it and set the last error where Windows sets it.
#include "emu/fs.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <unordered_map>

#include "emu/core.h"

namespace emu {
namespace {

constexpr DWORD kErrorNegativeSeek = 131;  // ERROR_NEGATIVE_SEEK
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | 0x1000u /* offline */ |
                                      0x2000u /* not content indexed */;
// Specific rights that the launcher never passes but that mean the same as the generic ones.
constexpr DWORD kFileReadData = 0x0001, kFileWriteData = 0x0002, kFileAppendData = 0x0004;
constexpr DWORD kFileExecute = 0x0020, kFileReadAttributes = 0x0080,
                kFileWriteAttributes = 0x0100;

// ---- names --------------------------------------------------------------------------------

// Upper case of Windows-1252, as the file system folds names.
unsigned char UpperChar(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return c;
  }
}

std::string UpperName(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(UpperChar(static_cast<unsigned char>(c)));
  return out;
}

// NTFS orders names by their upper-cased UTF-16 code units, so bytes 0x80-0x9F of
// Windows-1252 sort by the Unicode characters they stand for.
char16_t ToUnicode(unsigned char c) {
  static const char16_t k80[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return c >= 0x80 && c <= 0x9F ? k80[c - 0x80] : static_cast<char16_t>(c);
}

std::u16string SortKey(std::string_view name) {
  std::u16string key;
  key.reserve(name.size());
  for (char c : name) key.push_back(ToUnicode(UpperChar(static_cast<unsigned char>(c))));
  return key;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsForbidden(unsigned char c) {
  return c < 32 || std::strchr("<>:\"|", c) != nullptr;
}

bool IsWildcard(char c) { return c == '*' || c == '?'; }

// Characters allowed in a long name but not in an 8.3 name.
bool IsLongOnly(char c) { return std::strchr(" +,;=[]", c) != nullptr; }

bool IsValid83(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  size_t dot = name.find('.');
  std::string_view base = name.substr(0, dot);
  std::string_view ext = dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string_view::npos && ext.empty()) return false;
  for (char c : name.substr(0, dot)) {
    if (IsLongOnly(c) || c == '.') return false;
  }
  for (char c : ext) {
    if (IsLongOnly(c) || c == '.') return false;
  }
  return true;
}

// ---- the world ----------------------------------------------------------------------------

struct OpenFile;

struct Entry {
  std::string name;       // long name, case as created
  std::string shortName;  // empty when the long name is a valid 8.3 name
  bool folder = false;
  DWORD attributes = 0;  // never holds FILE_ATTRIBUTE_DIRECTORY
  FILETIME created{}, accessed{}, written{};
  std::string content;
  Entry* parent = nullptr;
  std::map<std::u16string, std::shared_ptr<Entry>> children;  // by SortKey(name)
  std::unordered_map<std::string, Entry*> byShortName;         // by UpperName(shortName)
  std::vector<OpenFile*> opens;
};

struct Drive {
  DriveSpec spec;
  std::shared_ptr<Entry> root;
};

struct World {
  std::array<std::unique_ptr<Drive>, 26> drives;
  int currentDrive = 2;
  std::vector<std::string> currentParts;
  std::string tempPath;
  bool tempFails = false;
  DWORD tempError = 0;
  UINT errorMode = 0;
  int offsetMinutes = 0;
  FILETIME clock{};
  int criticalBoxes = 0;
};

World& world() {
  static World w;
  return w;
}

Drive* DriveAt(int index) {
  return index >= 0 && index < 26 ? world().drives[index].get() : nullptr;
}

Drive* DriveOf(char letter) { return DriveAt(UpperChar(static_cast<unsigned char>(letter)) - 'A'); }

// The system box "There is no disk in the drive" unless the process asked not to see it;
// the call then fails as if the user had cancelled.
DWORD NotReady() {
  if ((world().errorMode & SEM_FAILCRITICALERRORS) == 0) ++world().criticalBoxes;
  return ERROR_NOT_READY;
}

bool Reads(DWORD access) {
  return (access & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE | kFileReadData | kFileExecute)) != 0;
}
bool Writes(DWORD access) {
  return (access & (GENERIC_WRITE | GENERIC_ALL | kFileWriteData | kFileAppendData)) != 0;
}
bool Deletes(DWORD access) { return (access & (DELETE | GENERIC_ALL)) != 0; }
bool ReadsAttributes(DWORD access) {
  return (access & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE | kFileReadAttributes)) != 0;
}
bool WritesAttributes(DWORD access) {
  return (access & (GENERIC_WRITE | GENERIC_ALL | kFileWriteAttributes)) != 0;
}

struct OpenFile : HandleObject {
  OpenFile(std::shared_ptr<Entry> e, int d, DWORD acc, DWORD sh)
      : entry(std::move(e)), drive(d), access(acc), share(sh) {
    entry->opens.push_back(this);
  }
  ~OpenFile() override {
    auto& opens = entry->opens;
    opens.erase(std::remove(opens.begin(), opens.end(), this), opens.end());
  }
  std::shared_ptr<Entry> entry;
  int drive;
  DWORD access;
  DWORD share;
  uint64_t position = 0;
  bool writeTimeFixed = false;  // after SetFileTime, writes through this handle keep the time
};

// Whether a new open (access, share) clashes with a handle already open on the file.
bool Clashes(const OpenFile& held, DWORD access, DWORD share) {
  return (Reads(access) && !(held.share & FILE_SHARE_READ)) ||
         (Writes(access) && !(held.share & FILE_SHARE_WRITE)) ||
         (Deletes(access) && !(held.share & FILE_SHARE_DELETE)) ||
         (Reads(held.access) && !(share & FILE_SHARE_READ)) ||
         (Writes(held.access) && !(share & FILE_SHARE_WRITE)) ||
         (Deletes(held.access) && !(share & FILE_SHARE_DELETE));
}

bool AnyClash(const Entry& e, DWORD access, DWORD share) {
  for (const OpenFile* h : e.opens) {
    if (Clashes(*h, access, share)) return true;
  }
  return false;
}

// ---- tree ---------------------------------------------------------------------------------

Entry* Child(const Entry& folder, std::string_view name) {
  auto it = folder.children.find(SortKey(name));
  if (it != folder.children.end()) return it->second.get();
  auto s = folder.byShortName.find(UpperName(name));
  return s == folder.byShortName.end() ? nullptr : s->second;
}

std::shared_ptr<Entry> ChildShared(const Entry& folder, const Entry* child) {
  auto it = folder.children.find(SortKey(child->name));
  return it == folder.children.end() ? nullptr : it->second;
}

bool NameTaken(const Entry& folder, const std::string& candidate) {
  return Child(folder, candidate) != nullptr;
}

uint16_t NameHash(std::string_view s) {
  uint32_t h = 2166136261u;
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return static_cast<uint16_t>(h ^ (h >> 16));
}

// Short names as Windows makes them: the first six usable characters, "~n" and up to three
// of the extension; past ~4 two characters and a hash of the long name keep the numbers low.
std::string GenerateShortName(const Entry& folder, const std::string& longName) {
  std::string up = UpperName(longName);
  size_t start = up.find_first_not_of('.');
  up = start == std::string::npos ? std::string() : up.substr(start);
  size_t lastDot = up.rfind('.');
  std::string rawBase = lastDot == std::string::npos ? up : up.substr(0, lastDot);
  std::string rawExt = lastDot == std::string::npos ? std::string() : up.substr(lastDot + 1);
  auto clean = [](const std::string& s) {
    std::string out;
    for (char c : s) {
      if (c == ' ' || c == '.') continue;
      out.push_back(IsLongOnly(c) ? '_' : c);
    }
    return out;
  };
  std::string base = clean(rawBase);
  std::string ext = clean(rawExt).substr(0, 3);
  if (base.empty()) base = "_";
  std::string dotExt = ext.empty() ? std::string() : "." + ext;
  for (int n = 1; n <= 4; ++n) {
    std::string candidate = base.substr(0, 6) + "~" + std::to_string(n) + dotExt;
    if (!NameTaken(folder, candidate)) return candidate;
  }
  static const char kHex[] = "0123456789ABCDEF";
  for (uint16_t hash = NameHash(up);; ++hash) {
    std::string prefix = base.substr(0, 2);
    for (int shift = 12; shift >= 0; shift -= 4) prefix.push_back(kHex[(hash >> shift) & 15]);
    for (int n = 1; n <= 9; ++n) {
      std::string candidate = prefix + "~" + std::to_string(n) + dotExt;
      if (!NameTaken(folder, candidate)) return candidate;
    }
  }
}

void Attach(Entry& folder, const std::shared_ptr<Entry>& e, const std::string& givenShort) {
  e->parent = &folder;
  if (IsValid83(e->name)) {
    e->shortName.clear();
  } else if (!givenShort.empty() && UpperName(givenShort) != UpperName(e->name)) {
    e->shortName = givenShort;
  } else {
    e->shortName = GenerateShortName(folder, e->name);
  }
  folder.children[SortKey(e->name)] = e;
  if (!e->shortName.empty()) folder.byShortName[UpperName(e->shortName)] = e.get();
}

std::shared_ptr<Entry> Detach(Entry& e) {
  Entry& folder = *e.parent;
  auto it = folder.children.find(SortKey(e.name));
  std::shared_ptr<Entry> keep = it->second;
  folder.children.erase(it);
  if (!e.shortName.empty()) folder.byShortName.erase(UpperName(e.shortName));
  e.parent = nullptr;
  return keep;
}

std::shared_ptr<Entry> NewEntry(const std::string& name, bool folder, DWORD attributes,
                                FILETIME time) {
  auto e = std::make_shared<Entry>();
  e->name = name;
  e->folder = folder;
  e->attributes = attributes & ~FILE_ATTRIBUTE_DIRECTORY & ~FILE_ATTRIBUTE_NORMAL;
  e->created = e->accessed = e->written = time;
  return e;
}

DWORD ReportedAttributes(const Entry& e) {
  if (e.folder) return e.attributes | FILE_ATTRIBUTE_DIRECTORY;
  return e.attributes ? e.attributes : FILE_ATTRIBUTE_NORMAL;
}

// ---- paths --------------------------------------------------------------------------------

struct ParsedPath {
  int drive = 0;
  std::vector<std::string> parts;  // normalised components, spelled as given
  bool trailingSeparator = false;
};

// Both the API and the control functions parse paths; only the API enforces Windows' limits.
enum class Limits { Api, None };

DWORD Parse(const char* text, ParsedPath& out, Limits limits = Limits::Api) {
  if (text == nullptr || *text == '\0') return ERROR_PATH_NOT_FOUND;
  std::string s(text);
  // The ANSI name goes through a buffer of MAX_PATH + 1 wide characters first.
  if (limits == Limits::Api && s.size() > MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (s.size() >= 2 && IsSeparator(s[0]) && IsSeparator(s[1])) return ERROR_BAD_NETPATH;
  World& w = world();
  std::string_view rest = s;
  out.parts.clear();
  unsigned char first = static_cast<unsigned char>(s[0]);
  if (s.size() >= 2 && s[1] == ':' && UpperChar(first) >= 'A' && UpperChar(first) <= 'Z') {
    out.drive = UpperChar(first) - 'A';
    rest.remove_prefix(2);
    // "X:name" is relative to the current folder when X is its drive, else to X's root.
    if ((rest.empty() || !IsSeparator(rest[0])) && out.drive == w.currentDrive) {
      out.parts = w.currentParts;
    }
  } else {
    out.drive = w.currentDrive;
    if (!IsSeparator(s[0])) out.parts = w.currentParts;
  }
  out.trailingSeparator = !rest.empty() && IsSeparator(rest.back());
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t end = pos;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::string part(rest.substr(pos, end - pos));
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!out.parts.empty()) out.parts.pop_back();
      continue;
    }
    for (char c : part) {
      if (IsForbidden(static_cast<unsigned char>(c)) || IsWildcard(c)) return ERROR_INVALID_NAME;
    }
    // Windows drops trailing dots and blanks of a name.
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty()) continue;
    if (part.size() > 255) return ERROR_INVALID_NAME;
    out.parts.push_back(std::move(part));
  }
  if (out.parts.empty()) out.trailingSeparator = false;
  if (limits == Limits::Api) {
    size_t full = 3;
    for (const std::string& p : out.parts) full += p.size() + 1;
    if (full > MAX_PATH) return ERROR_PATH_NOT_FOUND;  // with the terminating zero
  }
  return 0;
}

struct Found {
  Drive* drive = nullptr;
  Entry* parent = nullptr;  // the folder that holds (or would hold) the last component
  Entry* entry = nullptr;   // nullptr when the last component does not exist
};

enum class Medium { Check, Ignore };

DWORD Locate(const ParsedPath& p, Found& f, Medium medium = Medium::Check) {
  f = Found{};
  f.drive = DriveAt(p.drive);
  if (f.drive == nullptr) return ERROR_PATH_NOT_FOUND;
  if (medium == Medium::Check && !f.drive->spec.mediumPresent) return NotReady();
  Entry* folder = f.drive->root.get();
  if (p.parts.empty()) {
    f.entry = folder;
    return 0;
  }
  for (size_t i = 0; i + 1 < p.parts.size(); ++i) {
    Entry* next = Child(*folder, p.parts[i]);
    if (next == nullptr || !next->folder) return ERROR_PATH_NOT_FOUND;
    folder = next;
  }
  f.parent = folder;
  f.entry = Child(*folder, p.parts.back());
  return 0;
}

DWORD Resolve(const char* text, ParsedPath& p, Found& f) {
  DWORD error = Parse(text, p);
  return error ? error : Locate(p, f);
}

// An existing target as the path-taking calls expect it: a file named with a trailing
// backslash is an invalid name.
DWORD ResolveExisting(const char* text, ParsedPath& p, Found& f) {
  if (DWORD error = Resolve(text, p, f)) return error;
  if (f.entry == nullptr) return ERROR_FILE_NOT_FOUND;
  if (p.trailingSeparator && !f.entry->folder) return ERROR_INVALID_NAME;
  return 0;
}

std::string PathText(int drive, const std::vector<std::string>& parts) {
  std::string text(1, static_cast<char>('A' + drive));
  text += ":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) text += '\\';
    text += parts[i];
  }
  return text;
}

// ---- control helpers ----------------------------------------------------------------------

ParsedPath ControlPath(const std::string& path) {
  ParsedPath p;
  if (Parse(path.c_str(), p, Limits::None) != 0) {
    throw std::invalid_argument("emu: bad path " + path);
  }
  if (DriveAt(p.drive) == nullptr) throw std::invalid_argument("emu: no drive for " + path);
  return p;
}

Entry* ControlFind(const std::string& path) {
  ParsedPath p;
  if (Parse(path.c_str(), p, Limits::None) != 0) return nullptr;
  Found f;
  if (Locate(p, f, Medium::Ignore) != 0) return nullptr;
  return f.entry;
}

// Walks to the parent folder of the path, creating missing folders on the way.
Entry& ControlParent(const ParsedPath& p) {
  Entry* folder = DriveAt(p.drive)->root.get();
  for (size_t i = 0; i + 1 < p.parts.size(); ++i) {
    Entry* next = Child(*folder, p.parts[i]);
    if (next != nullptr && !next->folder) {
      throw std::invalid_argument("emu: a file stands where a folder is needed: " + p.parts[i]);
    }
    if (next == nullptr) {
      auto made = NewEntry(p.parts[i], true, 0, world().clock);
      Attach(*folder, made, "");
      next = made.get();
    }
    folder = next;
  }
  return *folder;
}

// ---- searches -----------------------------------------------------------------------------

// Masks are matched as Windows matches them after FindFirstFile has rewritten them: "?"
// becomes DOS_QM, "*" before a dot DOS_STAR, a dot before a wildcard DOS_DOT, and "*.*" is
// "*". So "*.*" also takes names without a dot and "Lang*.*" takes "Langs".
constexpr char kDosStar = '<', kDosQm = '>', kDosDot = '"';

std::string CompileMask(const std::string& mask) {
  std::string up = UpperName(mask);
  if (up == "*.*") return "*";
  std::string out = up;
  for (size_t i = 0; i < up.size(); ++i) {
    char next = i + 1 < up.size() ? up[i + 1] : '\0';
    if (up[i] == '?') {
      out[i] = kDosQm;
    } else if (up[i] == '.' && (next == '?' || next == '*')) {
      out[i] = kDosDot;
    } else if (up[i] == '*' && next == '.') {
      out[i] = kDosStar;
    }
  }
  return out;
}

bool MaskMatches(const std::string& mask, const std::string& name) {
  const size_t m = mask.size(), n = name.size();
  const size_t lastDot = name.rfind('.');
  // can[i][j]: mask from i matches name from j.
  std::vector<char> can((m + 1) * (n + 1), 0);
  auto at = [&](size_t i, size_t j) -> char& { return can[i * (n + 1) + j]; };
  at(m, n) = 1;
  for (size_t i = m; i-- > 0;) {
    for (size_t j = n + 1; j-- > 0;) {
      char c = mask[i];
      bool ok = false;
      if (c == '*') {
        ok = at(i + 1, j) || (j < n && at(i, j + 1));
      } else if (c == kDosStar) {
        // Any run of characters that stops short of the name's last dot.
        ok = at(i + 1, j) || (j < n && (lastDot == std::string::npos || j < lastDot) && at(i, j + 1));
      } else if (c == kDosQm) {
        if (j == n || name[j] == '.') {
          size_t k = i;
          while (k < m && mask[k] == kDosQm) ++k;
          ok = at(k, j);
        } else {
          ok = at(i + 1, j + 1);
        }
      } else if (c == kDosDot) {
        ok = (j < n && name[j] == '.' && at(i + 1, j + 1)) || (j == n && at(i + 1, j));
      } else {
        ok = j < n && name[j] == c && at(i + 1, j + 1);
      }
      at(i, j) = ok;
    }
  }
  return at(0, 0) != 0;
}

struct Search : HandleObject {
  std::shared_ptr<Entry> folder;
  std::string mask;  // compiled; empty for a search of one named entry
  std::shared_ptr<Entry> single;
  int dotsLeft = 0;  // 2: "." and ".." still to come, 1: "..", 0: none
  bool started = false;
  bool done = false;
  std::u16string lastKey;
};

void CopyName(char* dest, size_t size, const std::string& name) {
  size_t n = std::min(name.size(), size - 1);
  std::memcpy(dest, name.data(), n);
  dest[n] = '\0';
}

void Fill(WIN32_FIND_DATAA* data, const Entry& e, const std::string& name, bool withShort) {
  if (data == nullptr) return;
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = ReportedAttributes(e);
  data->ftCreationTime = e.created;
  data->ftLastAccessTime = e.accessed;
  data->ftLastWriteTime = e.written;
  uint64_t size = e.folder ? 0 : e.content.size();
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  CopyName(data->cFileName, sizeof data->cFileName, name);
  if (withShort) CopyName(data->cAlternateFileName, sizeof data->cAlternateFileName, e.shortName);
}

bool EntryMatches(const std::string& mask, const Entry& e) {
  return MaskMatches(mask, UpperName(e.name)) ||
         (!e.shortName.empty() && MaskMatches(mask, UpperName(e.shortName)));
}

// The next entry of the search into data; false at the end. Each call resumes after the key
// it returned last, so a long listing costs one lookup per entry even when entries are
// deleted along the way.
bool Advance(Search& s, WIN32_FIND_DATAA* data) {
  if (s.done) return false;
  if (s.single) {
    if (s.started) return false;
    s.started = true;
    Fill(data, *s.single, s.single->name, true);
    return true;
  }
  while (s.dotsLeft > 0) {
    bool dot = s.dotsLeft == 2;
    --s.dotsLeft;
    const char* name = dot ? "." : "..";
    if (!MaskMatches(s.mask, name)) continue;
    const Entry& e = dot || s.folder->parent == nullptr ? *s.folder : *s.folder->parent;
    Fill(data, e, name, false);
    return true;
  }
  auto& children = s.folder->children;
  auto it = s.started ? children.upper_bound(s.lastKey) : children.begin();
  s.started = true;
  for (; it != children.end(); ++it) {
    if (!EntryMatches(s.mask, *it->second)) continue;
    s.lastKey = it->first;
    Fill(data, *it->second, it->second->name, true);
    return true;
  }
  s.done = true;
  return false;
}

void SetDefaults() {
  World& w = world();
  w = World{};
  w.clock = LocalTime(2026, 3, 14, 9, 30, 0);
  AddDrive('C');
  AddFolder("C:\\TEMP");
  w.tempPath = "C:\\TEMP\\";
  w.currentDrive = 2;
  w.currentParts.clear();
}

}  // namespace

// ---- control interface --------------------------------------------------------------------

void ResetFileSystem() { SetDefaults(); }

void AddDrive(char letter, const DriveSpec& spec) {
  int index = UpperChar(static_cast<unsigned char>(letter)) - 'A';
  if (index < 0 || index >= 26) throw std::invalid_argument("emu: bad drive letter");
  auto drive = std::make_unique<Drive>();
  drive->spec = spec;
  drive->root = NewEntry("", true, 0, world().clock);
  world().drives[index] = std::move(drive);
}

void RemoveDrive(char letter) {
  int index = UpperChar(static_cast<unsigned char>(letter)) - 'A';
  if (index >= 0 && index < 26) world().drives[index].reset();
}

void SetDriveFreeBytes(char letter, uint64_t bytes) {
  Drive* d = DriveOf(letter);
  if (d == nullptr) throw std::invalid_argument("emu: no such drive");
  d->spec.freeBytes = bytes;
}

uint64_t DriveFreeBytes(char letter) {
  Drive* d = DriveOf(letter);
  return d ? d->spec.freeBytes : 0;
}

void SetMediumPresent(char letter, bool present) {
  Drive* d = DriveOf(letter);
  if (d == nullptr) throw std::invalid_argument("emu: no such drive");
  d->spec.mediumPresent = present;
}

void AddFile(const std::string& path, std::string_view content, const EntrySpec& spec) {
  ParsedPath p = ControlPath(path);
  if (p.parts.empty()) throw std::invalid_argument("emu: a root is no file");
  Entry& folder = ControlParent(p);
  if (Entry* old = Child(folder, p.parts.back())) Detach(*old);
  auto e = NewEntry(p.parts.back(), false, spec.attributes, spec.lastWrite.value_or(world().clock));
  e->content.assign(content);
  Attach(folder, e, spec.shortName);
}

void AddFolder(const std::string& path, const EntrySpec& spec) {
  ParsedPath p = ControlPath(path);
  if (p.parts.empty()) return;
  Entry& folder = ControlParent(p);
  Entry* old = Child(folder, p.parts.back());
  if (old != nullptr && old->folder) {
    old->attributes = spec.attributes & ~FILE_ATTRIBUTE_DIRECTORY & ~FILE_ATTRIBUTE_NORMAL;
    if (spec.lastWrite) old->written = *spec.lastWrite;
    return;
  }
  if (old != nullptr) Detach(*old);
  auto e = NewEntry(p.parts.back(), true, spec.attributes, spec.lastWrite.value_or(world().clock));
  Attach(folder, e, spec.shortName);
}

bool Exists(const std::string& path) { return ControlFind(path) != nullptr; }

bool IsFolder(const std::string& path) {
  Entry* e = ControlFind(path);
  return e != nullptr && e->folder;
}

std::optional<std::string> FileContent(const std::string& path) {
  Entry* e = ControlFind(path);
  if (e == nullptr || e->folder) return std::nullopt;
  return e->content;
}

DWORD Attributes(const std::string& path) {
  Entry* e = ControlFind(path);
  return e ? ReportedAttributes(*e) : INVALID_FILE_ATTRIBUTES;
}

std::optional<FILETIME> LastWrite(const std::string& path) {
  Entry* e = ControlFind(path);
  if (e == nullptr) return std::nullopt;
  return e->written;
}

std::string ShortName(const std::string& path) {
  Entry* e = ControlFind(path);
  return e ? e->shortName : std::string();
}

HANDLE HoldOpen(const std::string& path, DWORD access, DWORD share) {
  ParsedPath p;
  Found f;
  if (Parse(path.c_str(), p, Limits::None) != 0 || Locate(p, f, Medium::Ignore) != 0) {
    return nullptr;
  }
  if (f.entry == nullptr || f.entry->folder || AnyClash(*f.entry, access, share)) return nullptr;
  return NewHandle(std::make_unique<OpenFile>(ChildShared(*f.parent, f.entry), p.drive, access, share));
}

void SetCurrentDir(const std::string& path) {
  ParsedPath p = ControlPath(path);
  Entry* e = ControlFind(path);
  if (e == nullptr || !e->folder) throw std::invalid_argument("emu: no such folder " + path);
  world().currentDrive = p.drive;
  world().currentParts = p.parts;
}

std::string CurrentDir() { return PathText(world().currentDrive, world().currentParts); }

void SetTempPath(const std::string& text) {
  world().tempPath = text;
  world().tempFails = false;
}

void FailTempPath(DWORD error) {
  world().tempFails = true;
  world().tempError = error;
}

void SetLocalTimeOffsetMinutes(int minutes) { world().offsetMinutes = minutes; }
int LocalTimeOffsetMinutes() { return world().offsetMinutes; }
void SetClock(FILETIME utcNow) { world().clock = utcNow; }
FILETIME Clock() { return world().clock; }
UINT ErrorMode() { return world().errorMode; }
int CriticalErrorBoxes() { return world().criticalBoxes; }

std::vector<FileInfo> ListAll() {
  std::vector<FileInfo> out;
  auto walk = [&out](auto& self, const Entry& folder, const std::string& prefix) -> void {
    for (const auto& [key, child] : folder.children) {
      std::string path = prefix + child->name;
      out.push_back(FileInfo{path, child->folder, ReportedAttributes(*child), child->written,
                             child->content});
      if (child->folder) self(self, *child, path + "\\");
    }
  };
  for (int i = 0; i < 26; ++i) {
    if (Drive* d = DriveAt(i)) walk(walk, *d->root, std::string(1, static_cast<char>('A' + i)) + ":\\");
  }
  std::sort(out.begin(), out.end(), [](const FileInfo& a, const FileInfo& b) {
    return SortKey(a.path) < SortKey(b.path);
  });
  return out;
}

}  // namespace emu

// ---- Win32 --------------------------------------------------------------------------------

using emu::Found;
using emu::ParsedPath;

namespace {

emu::OpenFile* FileOf(HANDLE h) { return emu::LookupHandleAs<emu::OpenFile>(h); }

template <class T>
T Fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE) {
  if (emu::Enter("CreateFileA")) return INVALID_HANDLE_VALUE;
  const DWORD disp = dwCreationDisposition;
  if (disp < CREATE_NEW || disp > TRUNCATE_EXISTING ||
      (disp == TRUNCATE_EXISTING && !emu::Writes(dwDesiredAccess))) {
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  }
  ParsedPath p;
  Found f;
  if (DWORD error = emu::Resolve(lpFileName, p, f)) return Fail(error, INVALID_HANDLE_VALUE);
  emu::World& w = emu::world();
  const bool readOnlyDrive = f.drive->spec.readOnly;
  emu::Entry* e = f.entry;
  const bool creates = disp == CREATE_NEW || disp == CREATE_ALWAYS || disp == OPEN_ALWAYS;
  if (e != nullptr && e->folder) {
    return Fail(disp == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  }
  if (p.trailingSeparator) {
    return Fail(e == nullptr && !creates ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_NAME,
                INVALID_HANDLE_VALUE);
  }
  const DWORD requested = dwFlagsAndAttributes & emu::kSettableAttributes;
  std::shared_ptr<emu::Entry> target;
  DWORD lastError = 0;
  if (e != nullptr) {
    if (disp == CREATE_NEW) return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
    const bool truncates = disp == CREATE_ALWAYS || disp == TRUNCATE_EXISTING;
    if (readOnlyDrive && (truncates || emu::Writes(dwDesiredAccess))) {
      return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    }
    if ((e->attributes & FILE_ATTRIBUTE_READONLY) && (truncates || emu::Writes(dwDesiredAccess))) {
      return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    }
    // Overwriting a hidden or system file must ask for those attributes again.
    const DWORD keep = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (disp == CREATE_ALWAYS && (e->attributes & keep & ~requested)) {
      return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    }
    if (emu::AnyClash(*e, dwDesiredAccess, dwShareMode)) {
      return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
    }
    target = emu::ChildShared(*f.parent, e);
    if (truncates) {
      f.drive->spec.freeBytes += e->content.size();
      e->content.clear();
      e->written = e->accessed = w.clock;
    }
    if (disp == CREATE_ALWAYS) e->attributes = requested | FILE_ATTRIBUTE_ARCHIVE;
    if (disp == CREATE_ALWAYS || disp == OPEN_ALWAYS) lastError = ERROR_ALREADY_EXISTS;
  } else {
    if (!creates) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    if (f.parent == nullptr) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (readOnlyDrive) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    target = emu::NewEntry(p.parts.back(), false, requested | FILE_ATTRIBUTE_ARCHIVE, w.clock);
    emu::Attach(*f.parent, target, "");
  }
  HANDLE h = emu::NewHandle(
      std::make_unique<emu::OpenFile>(target, p.drive, dwDesiredAccess, dwShareMode));
  SetLastError(lastError);
  return h;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED) {
  if (emu::Enter("ReadFile")) return FALSE;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  emu::OpenFile* f = FileOf(hFile);
  if (f == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!emu::Reads(f->access)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  emu::Drive* d = emu::DriveAt(f->drive);
  if (d != nullptr && !d->spec.mediumPresent) return Fail(emu::NotReady(), FALSE);
  const std::string& content = f->entry->content;
  uint64_t available = f->position < content.size() ? content.size() - f->position : 0;
  DWORD n = static_cast<DWORD>(std::min<uint64_t>(nNumberOfBytesToRead, available));
  if (n) std::memcpy(lpBuffer, content.data() + f->position, n);
  f->position += n;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = n;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED) {
  if (emu::Enter("WriteFile")) return FALSE;
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  emu::OpenFile* f = FileOf(hFile);
  if (f == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!emu::Writes(f->access)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  emu::Drive* d = emu::DriveAt(f->drive);
  if (d != nullptr && !d->spec.mediumPresent) return Fail(emu::NotReady(), FALSE);
  if (nNumberOfBytesToWrite == 0) return TRUE;
  std::string& content = f->entry->content;
  const uint64_t end = f->position + nNumberOfBytesToWrite;
  const uint64_t growth = end > content.size() ? end - content.size() : 0;
  if (d != nullptr) {
    if (d->spec.freeBytes < growth) return Fail(ERROR_DISK_FULL, FALSE);
    d->spec.freeBytes -= growth;
  }
  if (growth) content.resize(end, '\0');
  std::memcpy(content.data() + f->position, lpBuffer, nNumberOfBytesToWrite);
  f->position = end;
  if (!f->writeTimeFixed) f->entry->written = emu::world().clock;
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
  if (emu::Enter("SetFilePointer")) return INVALID_SET_FILE_POINTER;
  emu::OpenFile* f = FileOf(hFile);
  if (f == nullptr) return Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
  int64_t distance = lpDistanceToMoveHigh
                         ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(
                                                     *lpDistanceToMoveHigh))
                                                 << 32) |
                                                static_cast<uint32_t>(lDistanceToMove))
                         : lDistanceToMove;
  int64_t base = 0;
  switch (dwMoveMethod) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = static_cast<int64_t>(f->position); break;
    case FILE_END: base = static_cast<int64_t>(f->entry->content.size()); break;
    default: return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  }
  const int64_t target = base + distance;
  if (target < 0) return Fail(emu::kErrorNegativeSeek, INVALID_SET_FILE_POINTER);
  if (!lpDistanceToMoveHigh && target > 0xFFFFFFFFll) {
    return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  }
  f->position = static_cast<uint64_t>(target);
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(target >> 32);
  const DWORD low = static_cast<DWORD>(target);
  if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);  // tells success from failure
  return low;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  if (emu::Enter("GetFileSize")) return INVALID_FILE_SIZE;
  emu::OpenFile* f = FileOf(hFile);
  if (f == nullptr) return Fail(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
  const uint64_t size = f->entry->content.size();
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  const DWORD low = static_cast<DWORD>(size);
  if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
  return low;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (emu::Enter("CloseHandle")) return FALSE;
  // The pseudo handles of the current process and thread close without effect.
  if (hObject == reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)) ||
      hObject == reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2))) {
    return TRUE;
  }
  emu::HandleObject* object = emu::LookupHandle(hObject);
  // A search is no kernel object: only FindClose ends it.
  if (object == nullptr || dynamic_cast<emu::Search*>(object) != nullptr) {
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  }
  emu::ReleaseHandle(hObject);
  return TRUE;
}

BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime) {
  if (emu::Enter("GetFileTime")) return FALSE;
  emu::OpenFile* f = FileOf(hFile);
  if (f == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!emu::ReadsAttributes(f->access)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (lpCreationTime) *lpCreationTime = f->entry->created;
  if (lpLastAccessTime) *lpLastAccessTime = f->entry->accessed;
  if (lpLastWriteTime) *lpLastWriteTime = f->entry->written;
  return TRUE;
}

BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime,
                        const FILETIME* lpLastAccessTime, const FILETIME* lpLastWriteTime) {
  if (emu::Enter("SetFileTime")) return FALSE;
  emu::OpenFile* f = FileOf(hFile);
  if (f == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!emu::WritesAttributes(f->access)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  // A NULL pointer or a zero time leaves that time alone.
  auto set = [](FILETIME& slot, const FILETIME* value) {
    if (value && (value->dwLowDateTime || value->dwHighDateTime)) slot = *value;
  };
  set(f->entry->created, lpCreationTime);
  set(f->entry->accessed, lpLastAccessTime);
  set(f->entry->written, lpLastWriteTime);
  if (lpLastWriteTime) f->writeTimeFixed = true;
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  if (emu::Enter("GetFileAttributesA")) return INVALID_FILE_ATTRIBUTES;
  ParsedPath p;
  Found f;
  if (DWORD error = emu::ResolveExisting(lpFileName, p, f)) {
    return Fail(error, INVALID_FILE_ATTRIBUTES);
  }
  return emu::ReportedAttributes(*f.entry);
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  if (emu::Enter("SetFileAttributesA")) return FALSE;
  ParsedPath p;
  Found f;
  if (DWORD error = emu::ResolveExisting(lpFileName, p, f)) return Fail(error, FALSE);
  if (f.drive->spec.readOnly) return Fail(ERROR_ACCESS_DENIED, FALSE);
  f.entry->attributes = dwFileAttributes & emu::kSettableAttributes;
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  if (emu::Enter("DeleteFileA")) return FALSE;
  ParsedPath p;
  Found f;
  if (DWORD error = emu::ResolveExisting(lpFileName, p, f)) return Fail(error, FALSE);
  emu::Entry* e = f.entry;
  if (e->folder || f.drive->spec.readOnly) return Fail(ERROR_ACCESS_DENIED, FALSE);
  // The delete opens the file for DELETE first, so sharing is judged before the attribute.
  if (emu::AnyClash(*e, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
    return Fail(ERROR_SHARING_VIOLATION, FALSE);
  }
  if (e->attributes & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED, FALSE);
  f.drive->spec.freeBytes += e->content.size();
  emu::Detach(*e);
  return TRUE;
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  if (emu::Enter("MoveFileA")) return FALSE;
  ParsedPath sp, dp;
  Found sf, df;
  if (DWORD error = emu::ResolveExisting(lpExistingFileName, sp, sf)) return Fail(error, FALSE);
  if (DWORD error = emu::Resolve(lpNewFileName, dp, df)) return Fail(error, FALSE);
  emu::Entry* e = sf.entry;
  if (sf.parent == nullptr || df.parent == nullptr) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (sf.drive->spec.readOnly || df.drive->spec.readOnly) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (emu::AnyClash(*e, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
    return Fail(ERROR_SHARING_VIOLATION, FALSE);
  }
  if (df.entry != nullptr && df.entry != e) return Fail(ERROR_ALREADY_EXISTS, FALSE);
  for (emu::Entry* up = df.parent; up != nullptr; up = up->parent) {
    if (up == e) return Fail(ERROR_ACCESS_DENIED, FALSE);  // into itself
  }
  if (sf.drive != df.drive) {
    if (e->folder) return Fail(ERROR_NOT_SAME_DEVICE, FALSE);
    if (df.drive->spec.freeBytes < e->content.size()) return Fail(ERROR_DISK_FULL, FALSE);
    df.drive->spec.freeBytes -= e->content.size();
    sf.drive->spec.freeBytes += e->content.size();
  }
  std::shared_ptr<emu::Entry> keep = emu::Detach(*e);
  keep->name = dp.parts.back();
  emu::Attach(*df.parent, keep, "");
  return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (emu::Enter("FindFirstFileA")) return INVALID_HANDLE_VALUE;
  if (lpFileName == nullptr || *lpFileName == '\0') {
    return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  }
  std::string text(lpFileName);
  if (text.size() > MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE, INVALID_HANDLE_VALUE);
  size_t cut = text.find_last_of("\\/");
  if (cut == std::string::npos && text.size() >= 2 && text[1] == ':') cut = 1;
  std::string folderText = cut == std::string::npos ? "." : text.substr(0, cut + 1);
  std::string mask = cut == std::string::npos ? text : text.substr(cut + 1);
  ParsedPath p;
  Found f;
  if (DWORD error = emu::Resolve(folderText.c_str(), p, f)) return Fail(error, INVALID_HANDLE_VALUE);
  if (f.entry == nullptr || !f.entry->folder) return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
  if (mask.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  for (char c : mask) {
    if (emu::IsForbidden(static_cast<unsigned char>(c))) {
      return Fail(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);
    }
  }
  auto search = std::make_unique<emu::Search>();
  if (mask.find_first_of("*?") == std::string::npos) {
    ParsedPath whole;
    Found named;
    if (DWORD error = emu::Resolve(lpFileName, whole, named)) {
      return Fail(error, INVALID_HANDLE_VALUE);
    }
    if (named.entry == nullptr || named.parent == nullptr) {
      return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    }
    search->single = emu::ChildShared(*named.parent, named.entry);
  } else {
    if (f.parent != nullptr) {
      search->folder = emu::ChildShared(*f.parent, f.entry);
    } else {
      search->folder = f.drive->root;
    }
    search->mask = emu::CompileMask(mask);
    search->dotsLeft = f.entry->parent != nullptr ? 2 : 0;
  }
  if (!emu::Advance(*search, lpFindFileData)) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  return emu::NewHandle(std::move(search));
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  if (emu::Enter("FindNextFileA")) return FALSE;
  emu::Search* s = emu::LookupHandleAs<emu::Search>(hFindFile);
  if (s == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!emu::Advance(*s, lpFindFileData)) return Fail(ERROR_NO_MORE_FILES, FALSE);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (emu::Enter("FindClose")) return FALSE;
  if (emu::LookupHandleAs<emu::Search>(hFindFile) == nullptr) {
    return Fail(ERROR_INVALID_HANDLE, FALSE);
  }
  emu::ReleaseHandle(hFindFile);
  return TRUE;
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  if (emu::Enter("SetCurrentDirectoryA")) return FALSE;
  ParsedPath p;
  Found f;
  if (DWORD error = emu::Resolve(lpPathName, p, f)) return Fail(error, FALSE);
  if (f.entry == nullptr) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (!f.entry->folder) return Fail(ERROR_DIRECTORY, FALSE);
  emu::world().currentDrive = p.drive;
  emu::world().currentParts = p.parts;
  return TRUE;
}

namespace {

// The size rules shared by the calls that hand out a text: the length without the zero when
// it fits, else the size needed with the zero and the buffer left alone.
DWORD HandOut(const std::string& text, LPSTR buffer, DWORD size) {
  const DWORD length = static_cast<DWORD>(text.size());
  if (buffer == nullptr || size <= length) return length + 1;
  std::memcpy(buffer, text.c_str(), length + 1);
  return length;
}

}  // namespace

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  if (emu::Enter("GetCurrentDirectoryA")) return 0;
  return HandOut(emu::CurrentDir(), lpBuffer, nBufferLength);
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  if (emu::Enter("GetTempPathA")) return 0;
  if (emu::world().tempFails) return Fail(emu::world().tempError, DWORD{0});
  return HandOut(emu::world().tempPath, lpBuffer, nBufferLength);
}

DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer) {
  if (emu::Enter("GetShortPathNameA")) return 0;
  if (lpszLongPath == nullptr) return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
  ParsedPath p;
  Found f;
  if (DWORD error = emu::ResolveExisting(lpszLongPath, p, f)) return Fail(error, DWORD{0});
  // Walk the text as given: prefix and separators stay, names that are already 8.3 stay as
  // typed, the others become their short names.
  const std::string text(lpszLongPath);
  std::string out;
  size_t pos = 0;
  ParsedPath cursor;
  if (text.size() >= 2 && text[1] == ':') {
    out = text.substr(0, 2);
    pos = 2;
    emu::Parse(out.c_str(), cursor, emu::Limits::None);
  } else {
    emu::Parse(".", cursor, emu::Limits::None);
  }
  if (pos < text.size() && emu::IsSeparator(text[pos])) cursor.parts.clear();
  while (pos < text.size()) {
    if (emu::IsSeparator(text[pos])) {
      out.push_back(text[pos++]);
      continue;
    }
    size_t end = pos;
    while (end < text.size() && !emu::IsSeparator(text[end])) ++end;
    std::string part = text.substr(pos, end - pos);
    pos = end;
    if (part == "." || part == "..") {
      if (part == ".." && !cursor.parts.empty()) cursor.parts.pop_back();
      out += part;
      continue;
    }
    cursor.parts.push_back(part);
    Found step;
    emu::Locate(cursor, step, emu::Medium::Ignore);
    if (step.entry == nullptr || emu::IsValid83(part)) {
      out += part;
    } else {
      out += step.entry->shortName.empty() ? step.entry->name : step.entry->shortName;
    }
  }
  return HandOut(out, lpszShortPath, cchBuffer);
}

UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
  if (emu::Enter("GetDriveTypeA")) return DRIVE_UNKNOWN;
  emu::World& w = emu::world();
  int drive = w.currentDrive;
  if (lpRootPathName != nullptr) {
    const char* s = lpRootPathName;
    const unsigned char letter = emu::UpperChar(static_cast<unsigned char>(s[0]));
    const bool isRoot =
        letter >= 'A' && letter <= 'Z' && s[1] == ':' &&
        (s[2] == '\0' || (emu::IsSeparator(s[2]) && s[3] == '\0'));
    if (isRoot) {
      drive = letter - 'A';
    } else if (!(emu::IsSeparator(s[0]) && s[1] == '\0')) {
      return DRIVE_NO_ROOT_DIR;
    }
  }
  emu::Drive* d = emu::DriveAt(drive);
  return d ? d->spec.type : DRIVE_NO_ROOT_DIR;
}

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster,
                              LPDWORD lpBytesPerSector, LPDWORD lpNumberOfFreeClusters,
                              LPDWORD lpTotalNumberOfClusters) {
  if (emu::Enter("GetDiskFreeSpaceA")) return FALSE;
  ParsedPath p;
  Found f;
  if (DWORD error = emu::Resolve(lpRootPathName ? lpRootPathName : "\\", p, f)) {
    return Fail(error, FALSE);
  }
  if (f.entry == nullptr) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
  if (!f.entry->folder) return Fail(ERROR_DIRECTORY, FALSE);
  const emu::DriveSpec& spec = f.drive->spec;
  const uint64_t cluster = uint64_t{spec.bytesPerSector} * spec.sectorsPerCluster;
  auto clusters = [cluster](uint64_t bytes) {
    return static_cast<DWORD>(std::min<uint64_t>(cluster ? bytes / cluster : 0, 0xFFFFFFFFu));
  };
  if (lpSectorsPerCluster) *lpSectorsPerCluster = spec.sectorsPerCluster;
  if (lpBytesPerSector) *lpBytesPerSector = spec.bytesPerSector;
  if (lpNumberOfFreeClusters) *lpNumberOfFreeClusters = clusters(spec.freeBytes);
  if (lpTotalNumberOfClusters) {
    *lpTotalNumberOfClusters = clusters(std::max(spec.totalBytes, spec.freeBytes));
  }
  return TRUE;
}

UINT WINAPI SetErrorMode(UINT uMode) {
  if (emu::Enter("SetErrorMode")) return 0;
  UINT previous = emu::world().errorMode;
  emu::world().errorMode = uMode;
  return previous;
}
