// Streaming decoder of the SZDD format (the compress.exe format that LZ32 expands).
//
// Layout: "SZDD" 88 F0 27 33, the mode byte 'A', the missing last character of the file
// name, the expanded length (32 bits, little-endian); then groups of one flag byte (LSB
// first; 1 = literal byte, 0 = two-byte match: 12-bit window position, 4-bit length + 3)
// over a 4096-byte window filled with spaces, written from position 4096 - 16.
//
// Malformed input is handled the way Windows' LZ32 does it (as Wine implements it):
// the stored length is not trusted; every token that is complete is expanded and the
// stream ends where the data ends; a token cut off by the end is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace emu::szdd {

inline constexpr size_t kHeaderSize = 14;

enum class HeaderKind {
  Szdd,         // magic and mode 'A'
  NotSzdd,      // shorter than a header or another magic: a plain file
  UnknownMode,  // the magic with a mode other than 'A'
};

struct Header {
  HeaderKind kind = HeaderKind::NotSzdd;
  uint8_t mode = 0;
  uint8_t lastChar = 0;
  uint32_t length = 0;  // as stored; the decoder does not rely on it
};

Header ParseHeader(const uint8_t* data, size_t size);

// An SZDD file holding plain as literals only (no matches): every byte of it is predictable,
// which is what tests and hand-written scenarios want from a compressed engine.
std::string LiteralStream(std::string_view plain);

// Fills buf with up to cap bytes; returns the count, 0 at the end, a negative value on error.
using ReadFn = std::function<ptrdiff_t(uint8_t* buf, size_t cap)>;
// Writes all size bytes; false on failure.
using WriteFn = std::function<bool(const uint8_t* data, size_t size)>;

enum class Status {
  Ok,
  ReadError,   // the input failed; what came before it was expanded and written
  WriteError,  // the output failed; bytes before the failing block were written
};

struct Result {
  Status status = Status::Ok;
  uint64_t written = 0;  // bytes handed to write successfully
};

// Fixed buffers, allocated once: memory does not grow with the file.
class Decoder {
 public:
  Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Expands a compressed body (the bytes after the header) from a fresh window.
  Result ExpandBody(const ReadFn& read, const WriteFn& write);

 private:
  size_t Flush(size_t pos, const WriteFn& write, Result& result);

  std::unique_ptr<uint8_t[]> in_;
  std::unique_ptr<uint8_t[]> out_;
  uint32_t ringBias_ = 0;  // window position of out_[pos] is (pos + ringBias_) & 0xFFF
};

}  // namespace emu::szdd
