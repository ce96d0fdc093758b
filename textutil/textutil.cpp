#include "textutil/textutil.h"

#include "rtl/sysutils.h"

int PosNoCase(const std::string& subText, const std::string& text) {
  // Lower-casing keeps every character in place, so the position indexes the original text.
  return Pos(AnsiLowerCase(subText), AnsiLowerCase(text));
}

namespace {

bool IsTokenSeparator(char c) { return c == '\r' || c == '\n' || c == ' '; }

}  // namespace

std::string GetToken(const std::string& text, int32_t n) {
  if (n < 1) return "";
  const size_t none = std::string::npos;
  size_t tokenStart = none;  // start of the open unquoted token
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (IsTokenSeparator(c)) {
      if (tokenStart != none) {
        if (--n == 0) return text.substr(tokenStart, i - tokenStart);
        tokenStart = none;
      }
      ++i;
    } else if (c == '"' && tokenStart == none) {
      const size_t closing = text.find('"', i + 1);
      const size_t end = closing == none ? text.size() : closing;
      if (--n == 0) return text.substr(i + 1, end - (i + 1));
      if (closing == none) return "";
      i = closing + 1;
    } else {
      if (tokenStart == none) tokenStart = i;
      ++i;
    }
  }
  if (tokenStart != none && n == 1) return text.substr(tokenStart);
  return "";
}

std::string TranslateChars(const std::string& text, const std::string& toChars,
                           const std::string& fromChars) {
  std::string result = text;
  for (size_t i = 0; i < text.size(); ++i) {
    const int p = Pos(std::string(1, text[i]), fromChars);
    // A replacement alphabet that is too short leaves the character alone rather than
    // reading past its end.
    if (p > 0 && static_cast<size_t>(p) <= toChars.size()) result[i] = toChars[p - 1];
  }
  return result;
}
