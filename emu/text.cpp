// Text functions of the emulation: Windows-1252 lowering and the locale-aware comparison.
#include <cstring>
#include <vector>

#include "emu/core.h"
#include "emu/system.h"

namespace emu {
namespace {

constexpr DWORD kErrorInvalidFlags = 1004;
// Flags CompareStringA accepts; only the case is modelled, the others compare as without them.
constexpr DWORD kKnownCompareFlags = NORM_IGNORECASE | 0x2 /* NORM_IGNORENONSPACE */ |
                                     0x4 /* NORM_IGNORESYMBOLS */ | 0x1000 /* SORT_STRINGSORT */ |
                                     0x10000 /* NORM_IGNOREKANATYPE */ |
                                     0x20000 /* NORM_IGNOREWIDTH */;
constexpr DWORD kStringSort = 0x1000;

// Sort weights of one character: group (symbols, digits, letters), primary weight, accent, case.
struct Weight {
  int group;
  int primary;
  int accent;
  int upper;
};

enum Accent { kNone, kGrave, kAcute, kCircumflex, kTilde, kDiaeresis, kRing, kCedilla, kStroke, kCaron };

// Letters of Windows-1252 from 0xC0 on (upper case; lower case is 0x20 above): base letter,
// a variant after the base (ligatures and Nordic letters), accent.
struct Letter {
  char base;
  int variant;
  Accent accent;
};
const Letter kLatin1[32] = {
    {'a', 0, kGrave},     {'a', 0, kAcute},     {'a', 0, kCircumflex}, {'a', 0, kTilde},
    {'a', 0, kDiaeresis}, {'a', 0, kRing},      {'a', 1, kNone},       {'c', 0, kCedilla},
    {'e', 0, kGrave},     {'e', 0, kAcute},     {'e', 0, kCircumflex}, {'e', 0, kDiaeresis},
    {'i', 0, kGrave},     {'i', 0, kAcute},     {'i', 0, kCircumflex}, {'i', 0, kDiaeresis},
    {'d', 1, kNone},      {'n', 0, kTilde},     {'o', 0, kGrave},      {'o', 0, kAcute},
    {'o', 0, kCircumflex}, {'o', 0, kTilde},    {'o', 0, kDiaeresis},  {0, 0, kNone},
    {'o', 0, kStroke},    {'u', 0, kGrave},     {'u', 0, kAcute},      {'u', 0, kCircumflex},
    {'u', 0, kDiaeresis}, {'y', 0, kAcute},     {'z', 1, kNone},       {'s', 1, kNone}};

Weight LetterWeight(char base, int variant, Accent accent, bool upper) {
  return {3, (base - 'a') * 4 + variant, accent, upper ? 1 : 0};
}

Weight WeightOf(unsigned char c) {
  if (c >= '0' && c <= '9') return {2, c - '0', kNone, 0};
  if (c >= 'a' && c <= 'z') return LetterWeight(static_cast<char>(c), 0, kNone, false);
  if (c >= 'A' && c <= 'Z') return LetterWeight(static_cast<char>(c + 0x20), 0, kNone, true);
  switch (c) {
    case 0x8A: return LetterWeight('s', 0, kCaron, true);
    case 0x9A: return LetterWeight('s', 0, kCaron, false);
    case 0x8C: return LetterWeight('o', 1, kNone, true);
    case 0x9C: return LetterWeight('o', 1, kNone, false);
    case 0x8E: return LetterWeight('z', 0, kCaron, true);
    case 0x9E: return LetterWeight('z', 0, kCaron, false);
    case 0x9F: return LetterWeight('y', 0, kDiaeresis, true);
    case 0xFF: return LetterWeight('y', 0, kDiaeresis, false);
    default: break;
  }
  if (c >= 0xC0 && c != 0xD7 && c != 0xF7) {
    const Letter& l = kLatin1[(c - 0xC0) & 0x1F];
    return LetterWeight(l.base, l.variant, l.accent, c < 0xE0 && c != 0xDF);
  }
  return {1, c, kNone, 0};
}

struct SortKey {
  std::vector<int> primary, accents, cases, ignored;
};

SortKey MakeKey(const char* s, int length, DWORD flags) {
  SortKey key;
  for (int i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c == 0) continue;  // no weight at all
    // Word sort: hyphen and apostrophe only break ties, after everything else.
    if (!(flags & kStringSort) && (c == '-' || c == '\'')) {
      key.ignored.push_back(i * 256 + c);
      continue;
    }
    Weight w = WeightOf(c);
    key.primary.push_back(w.group * 1024 + w.primary);
    key.accents.push_back(w.accent);
    key.cases.push_back(w.upper);
  }
  return key;
}

int Compare(const std::vector<int>& a, const std::vector<int>& b) {
  if (a < b) return CSTR_LESS_THAN;
  if (b < a) return CSTR_GREATER_THAN;
  return CSTR_EQUAL;
}

}  // namespace

char LowerAnsi(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 0x20);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char>(u + 0x20);
  switch (u) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    default: return c;
  }
}

std::string LowerAnsi(std::string text) {
  for (char& c : text) c = LowerAnsi(c);
  return text;
}

}  // namespace emu

DWORD WINAPI CharLowerBuffA(LPSTR lpsz, DWORD cchLength) {
  if (emu::Enter("CharLowerBuffA")) return 0;
  if (!lpsz) return 0;
  for (DWORD i = 0; i < cchLength; ++i) lpsz[i] = emu::LowerAnsi(lpsz[i]);
  return cchLength;
}

int WINAPI CompareStringA(LCID /*Locale*/, DWORD dwCmpFlags, LPCSTR lpString1, int cchCount1,
                          LPCSTR lpString2, int cchCount2) {
  if (emu::Enter("CompareStringA")) return 0;
  if (!lpString1 || !lpString2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwCmpFlags & ~emu::kKnownCompareFlags) {
    SetLastError(emu::kErrorInvalidFlags);
    return 0;
  }
  // Any negative count means zero-terminated.
  if (cchCount1 < 0) cchCount1 = static_cast<int>(std::strlen(lpString1));
  if (cchCount2 < 0) cchCount2 = static_cast<int>(std::strlen(lpString2));
  emu::SortKey a = emu::MakeKey(lpString1, cchCount1, dwCmpFlags);
  emu::SortKey b = emu::MakeKey(lpString2, cchCount2, dwCmpFlags);
  int result = emu::Compare(a.primary, b.primary);
  if (result == CSTR_EQUAL) result = emu::Compare(a.accents, b.accents);
  if (result == CSTR_EQUAL && !(dwCmpFlags & NORM_IGNORECASE)) {
    result = emu::Compare(a.cases, b.cases);
  }
  if (result == CSTR_EQUAL) result = emu::Compare(a.ignored, b.ignored);
  return result;
}
