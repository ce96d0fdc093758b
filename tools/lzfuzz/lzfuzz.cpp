// libFuzzer target over the SZDD decoder. Every input is taken as a whole compressed file;
// it is expanded twice, fed one byte per read and in one large read, and both expansions
// must agree. Memory errors are the sanitizers' to find.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "emu/szdd.h"

namespace {

std::vector<uint8_t> Expand(const uint8_t* data, size_t size, size_t chunk) {
  static emu::szdd::Decoder decoder;
  (void)emu::szdd::ParseHeader(data, size);
  size_t at = size < emu::szdd::kHeaderSize ? size : emu::szdd::kHeaderSize;
  std::vector<uint8_t> out;
  const auto r = decoder.ExpandBody(
      [&](uint8_t* buf, size_t cap) {
        size_t n = size - at;
        if (n > cap) n = cap;
        if (n > chunk) n = chunk;
        if (n) std::memcpy(buf, data + at, n);
        at += n;
        return ptrdiff_t(n);
      },
      [&](const uint8_t* p, size_t n) {
        out.insert(out.end(), p, p + n);
        return true;
      });
  // Eight tokens per flag byte, each at most 18 bytes: a bound on any expansion.
  if (r.status != emu::szdd::Status::Ok || r.written != out.size() || out.size() > size * 18) {
    std::abort();
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (Expand(data, size, 1) != Expand(data, size, size_t{1} << 20)) std::abort();
  return 0;
}
