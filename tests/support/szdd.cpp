#include "tests/support/szdd.h"

#include <cstdint>

namespace testsupport {

std::string SzddLiteral(std::string_view plain) {
  std::string out = "SZDD\x88\xF0\x27\x33";
  out += 'A';
  out += '_';  // missing last character of the name: not used by the expansion
  const uint32_t size = static_cast<uint32_t>(plain.size());
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((size >> shift) & 0xFF);
  for (size_t i = 0; i < plain.size(); i += 8) {
    out += '\xFF';  // eight literals follow
    out += plain.substr(i, 8);
  }
  return out;
}

}  // namespace testsupport
