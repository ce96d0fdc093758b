// LZOpenFileA, LZCopy and LZClose over the emulated file calls, behaving as LZ32 does.
#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "emu/core.h"
#include "emu/szdd.h"

namespace emu {
namespace {

// LZ handles are 0x400 to 0x40F: at most sixteen compressed files open at once.
constexpr INT kLzFirstHandle = 0x400;
constexpr INT kLzSlots = 16;
constexpr WORD kShareMask = 0x70;

// The state of an open compressed file lives in the handle table, so that a reset of the
// world forgets it with everything else.
struct LzState : HandleObject {
  explicit LzState(int s, HANDLE f) : slot(s), file(f) {}
  int slot;
  HANDLE file;  // positioned after the header
};

std::array<HANDLE, kLzSlots> g_slots{};

HANDLE ToHandle(HFILE f) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(f)); }
HFILE ToHfile(HANDLE h) { return static_cast<HFILE>(reinterpret_cast<intptr_t>(h)); }

bool IsLzHandle(INT h) { return h >= kLzFirstHandle && h < kLzFirstHandle + kLzSlots; }

LzState* StateOf(INT h) {
  if (!IsLzHandle(h)) return nullptr;
  const int slot = h - kLzFirstHandle;
  auto* state = LookupHandleAs<LzState>(g_slots[size_t(slot)]);
  return state && state->slot == slot ? state : nullptr;
}

bool IsAbsolute(const std::string& name) {
  return (name.size() >= 3 && name[1] == ':' && name[2] == '\\') ||
         (name.size() >= 2 && name[0] == '\\' && name[1] == '\\');
}

// The part of OpenFile that LZOpenFileA needs: open or create, fill the OFSTRUCT.
HFILE OpenFileLike(const std::string& name, OFSTRUCT* ofs, WORD style) {
  ofs->cBytes = sizeof(OFSTRUCT);
  ofs->nErrCode = 0;
  std::string full = name;
  if (!IsAbsolute(name)) {
    char cwd[MAX_PATH] = {};
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, cwd);
    if (n > 0 && n < MAX_PATH) {
      full = cwd;
      if (full.back() != '\\') full += '\\';
      full += name;
    }
  }
  if (full.size() >= OFS_MAXPATHNAME) {
    SetLastError(ERROR_INVALID_DATA);
    ofs->nErrCode = WORD(ERROR_INVALID_DATA);
    return HFILE_ERROR;
  }
  std::memcpy(ofs->szPathName, full.c_str(), full.size() + 1);

  const bool create = (style & OF_CREATE) != 0;
  DWORD access = 0;
  if (create) {
    access = GENERIC_READ | GENERIC_WRITE;
  } else if ((style & 3) == OF_READ) {
    access = GENERIC_READ;
  } else if ((style & 3) == OF_WRITE) {
    access = GENERIC_WRITE;
  } else if ((style & 3) == OF_READWRITE) {
    access = GENERIC_READ | GENERIC_WRITE;
  }
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  switch (style & kShareMask) {
    case OF_SHARE_EXCLUSIVE: share = 0; break;
    case OF_SHARE_DENY_WRITE: share = FILE_SHARE_READ; break;
    case OF_SHARE_DENY_READ: share = FILE_SHARE_WRITE; break;
    default: break;
  }
  HANDLE h = CreateFileA(full.c_str(), access, share, nullptr,
                         create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // An existing file is searched for first, and the search knows only "not found".
    if (!create && GetLastError() == ERROR_PATH_NOT_FOUND) SetLastError(ERROR_FILE_NOT_FOUND);
    ofs->nErrCode = WORD(GetLastError());
    return HFILE_ERROR;
  }
  if (style & OF_EXIST) {
    CloseHandle(h);
    return TRUE;
  }
  return ToHfile(h);
}

// The compressed file's usual name: "KEL.EXE" -> "KEL.EX_", "A.B" -> "A.B_", "NAME" -> "NAME._".
std::string CompressedName(const std::string& name) {
  std::string out = name;
  const size_t slash = out.rfind('\\');
  const size_t dot = out.find('.', slash == std::string::npos ? 0 : slash);
  if (dot == std::string::npos) {
    out += "._";
  } else if (out.size() - dot - 1 < 3) {
    out += '_';
  } else {
    out.back() = '_';
  }
  return out;
}

// Reads the header: an LZ handle for a compressed file, the file itself for any other,
// or an LZERROR_* code.
INT LzInit(HFILE fd) {
  HANDLE h = ToHandle(fd);
  if (SetFilePointer(h, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    return LZERROR_BADINHANDLE;
  }
  uint8_t raw[szdd::kHeaderSize];
  DWORD got = 0;
  szdd::Header header;
  if (ReadFile(h, raw, sizeof raw, &got, nullptr) && got == sizeof raw) {
    header = szdd::ParseHeader(raw, got);
  }
  if (header.kind != szdd::HeaderKind::Szdd) {
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    return header.kind == szdd::HeaderKind::UnknownMode ? LZERROR_UNKNOWNALG : fd;
  }
  for (int slot = 0; slot < kLzSlots; ++slot) {
    if (StateOf(kLzFirstHandle + slot)) continue;
    g_slots[size_t(slot)] = NewHandle(std::make_unique<LzState>(slot, h));
    return kLzFirstHandle + slot;
  }
  return LZERROR_GLOBALLOC;
}

}  // namespace
}  // namespace emu

INT WINAPI LZOpenFileA(LPSTR lpFileName, LPOFSTRUCT lpReOpenBuf, WORD wStyle) {
  if (emu::Enter("LZOpenFileA")) {
    lpReOpenBuf->nErrCode = WORD(GetLastError());
    return HFILE_ERROR;
  }
  const BYTE cBytes = lpReOpenBuf->cBytes;
  HFILE fd = emu::OpenFileLike(lpFileName, lpReOpenBuf, wStyle);
  if (fd == HFILE_ERROR) {
    fd = emu::OpenFileLike(emu::CompressedName(lpFileName), lpReOpenBuf, wStyle);
  }
  if (fd == HFILE_ERROR) lpReOpenBuf->cBytes = cBytes;
  // Only a file opened for reading alone is looked into.
  if ((wStyle & ~emu::kShareMask) != OF_READ || fd == HFILE_ERROR) return fd;
  const INT lz = emu::LzInit(fd);
  return lz <= 0 ? fd : lz;
}

LONG WINAPI LZCopy(INT hfSource, INT hfDest) {
  if (emu::Enter("LZCopy")) return LZERROR_READ;
  INT src = hfSource;
  bool ownInit = false;
  if (!emu::IsLzHandle(src)) {
    src = emu::LzInit(src);
    if (src <= 0) return 0;
    ownInit = src != hfSource;
  }
  HANDLE dest = emu::ToHandle(hfDest);
  emu::LzState* state = emu::StateOf(src);
  HANDLE input = state ? state->file : emu::ToHandle(src);

  auto read = [input](uint8_t* buf, size_t cap) -> ptrdiff_t {
    DWORD got = 0;
    if (!ReadFile(input, buf, DWORD(cap), &got, nullptr)) return -1;
    return ptrdiff_t(got);
  };
  auto write = [dest](const uint8_t* data, size_t size) {
    DWORD put = 0;
    return WriteFile(dest, data, DWORD(size), &put, nullptr) && put == size;
  };

  LONG total = 0;
  if (state) {
    // A read failure inside compressed data ends the data, as in LZ32: what was expanded
    // up to it counts as the copy.
    auto decoder = std::make_unique<emu::szdd::Decoder>();
    const emu::szdd::Result r = decoder->ExpandBody(read, write);
    if (r.status == emu::szdd::Status::WriteError) return LZERROR_WRITE;
    total = LONG(r.written);
  } else {
    auto buf = std::make_unique<uint8_t[]>(size_t{1} << 16);
    for (;;) {
      const ptrdiff_t got = read(buf.get(), size_t{1} << 16);
      if (got < 0) return LZERROR_READ;
      if (got == 0) break;
      if (!write(buf.get(), size_t(got))) return LZERROR_WRITE;
      total += LONG(got);
    }
  }

  // The copy keeps the source's last-write time.
  FILETIME written{};
  if (GetFileTime(input, nullptr, nullptr, &written)) SetFileTime(dest, nullptr, nullptr, &written);
  if (ownInit) LZClose(src);
  return total;
}

void WINAPI LZClose(INT hFile) {
  if (emu::Enter("LZClose")) return;
  if (emu::LzState* state = emu::StateOf(hFile)) {
    HANDLE file = state->file;
    emu::ReleaseHandle(emu::g_slots[size_t(state->slot)]);
    emu::g_slots[size_t(hFile - emu::kLzFirstHandle)] = nullptr;
    CloseHandle(file);
    return;
  }
  CloseHandle(emu::ToHandle(hFile));
}
