#include "emu/szdd.h"

#include <cstring>

namespace emu::szdd {
namespace {

constexpr uint8_t kMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};

constexpr size_t kWindow = 4096;
constexpr uint32_t kStart = kWindow - 16;
constexpr size_t kInSize = size_t{1} << 16;
constexpr size_t kBlock = size_t{1} << 18;  // output handed to write at a time
// One group is a flag byte and eight tokens of at most two bytes each.
constexpr size_t kGroupIn = 17;
// A match copies 18 bytes even when shorter, so a group may touch 8 * 18 bytes and more.
constexpr size_t kSlack = 256;
constexpr size_t kFlushAt = kWindow + kBlock;

// Copies one match. The window is linear: out[pos - d] is d bytes back. A source that
// overlaps the destination repeats bytes just written, as the byte-wise ring copy does.
inline void CopyMatch(uint8_t* dst, size_t d, size_t len) {
  const uint8_t* src = dst - d;
  if (d >= 18) {
    std::memcpy(dst, src, 18);  // may write past len; later tokens overwrite it
  } else {
    for (size_t k = 0; k < len; ++k) dst[k] = src[k];
  }
}

}  // namespace

Header ParseHeader(const uint8_t* data, size_t size) {
  Header h;
  if (size < kHeaderSize || std::memcmp(data, kMagic, sizeof kMagic) != 0) return h;
  h.mode = data[8];
  h.lastChar = data[9];
  h.length = uint32_t(data[10]) | uint32_t(data[11]) << 8 | uint32_t(data[12]) << 16 |
             uint32_t(data[13]) << 24;
  h.kind = h.mode == 'A' ? HeaderKind::Szdd : HeaderKind::UnknownMode;
  return h;
}

Decoder::Decoder()
    : in_(new uint8_t[kInSize]), out_(new uint8_t[kWindow + kBlock + kSlack]) {}

size_t Decoder::Flush(size_t pos, const WriteFn& write, Result& result) {
  const size_t n = pos - kWindow;
  if (n == 0) return pos;
  if (!write(out_.get() + kWindow, n)) {
    result.status = Status::WriteError;
    return pos;
  }
  result.written += n;
  // Keep the last 4096 bytes as the window in front of the next block.
  std::memmove(out_.get(), out_.get() + n, kWindow);
  ringBias_ += uint32_t(n);
  return kWindow;
}

Result Decoder::ExpandBody(const ReadFn& read, const WriteFn& write) {
  Result result;
  uint8_t* const out = out_.get();
  uint8_t* const in = in_.get();
  std::memset(out, ' ', kWindow);
  ringBias_ = kStart - uint32_t(kWindow);
  size_t pos = kWindow;
  uint8_t* ip = in;
  uint8_t* end = in;
  bool atEnd = false;

  // Distance back from out[pos] to the window position of a match, 1..4096.
  auto distance = [&](size_t at, uint32_t wpos) -> size_t {
    return ((uint32_t(at) + ringBias_ - wpos - 1) & 0xFFFu) + 1;
  };
  // One match token (two bytes at ip, both known to be there): copies it and moves on.
  auto match = [&]() {
    const unsigned b1 = ip[0];
    const unsigned b2 = ip[1];
    ip += 2;
    const size_t len = (b2 & 0x0Fu) + 3;
    CopyMatch(out + pos, distance(pos, b1 | (b2 & 0xF0u) << 4), len);
    pos += len;
  };

  for (;;) {
    if (size_t(end - ip) < kGroupIn && !atEnd) {
      const size_t rest = size_t(end - ip);
      std::memmove(in, ip, rest);
      ip = in;
      end = in + rest;
      while (!atEnd && size_t(end - ip) < kGroupIn) {
        const size_t cap = kInSize - size_t(end - in);
        const ptrdiff_t got = read(end, cap);
        if (got < 0 || size_t(got) > cap) {
          result.status = Status::ReadError;
          atEnd = true;
        } else if (got == 0) {
          atEnd = true;
        } else {
          end += got;
        }
      }
    }
    if (size_t(end - ip) < kGroupIn) break;  // the tail, decoded with checks below

    // Hot loop: whole groups while both buffers have room for one, no checks per token.
    while (size_t(end - ip) >= kGroupIn && pos < kFlushAt) {
      unsigned flags = *ip++;
      if (flags == 0xFF) {
        std::memcpy(out + pos, ip, 8);
        pos += 8;
        ip += 8;
        continue;
      }
      for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
        if (flags & 1u) {
          out[pos++] = *ip++;
        } else {
          match();
        }
      }
    }
    if (pos >= kFlushAt) {
      pos = Flush(pos, write, result);
      if (result.status == Status::WriteError) return result;
    }
  }

  // Tail: every token that is complete; one cut off by the end of the data is dropped.
  while (ip < end) {
    unsigned flags = *ip++;
    for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
      if (flags & 1u) {
        if (ip == end) break;
        out[pos++] = *ip++;
      } else {
        if (end - ip < 2) {
          ip = end;
          break;
        }
        match();
      }
      if (pos >= kFlushAt) {
        pos = Flush(pos, write, result);
        if (result.status == Status::WriteError) return result;
      }
    }
  }
  const Status readStatus = result.status;
  Flush(pos, write, result);
  if (result.status != Status::WriteError) result.status = readStatus;
  return result;
}

std::string LiteralStream(std::string_view plain) {
  std::string out = "SZDD\x88\xF0\x27\x33";
  out += 'A';
  out += '_';  // the missing last character of the name: not used by the expansion
  const auto size = static_cast<uint32_t>(plain.size());
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((size >> shift) & 0xFF);
  for (size_t i = 0; i < plain.size(); i += 8) {
    out += '\xFF';  // eight literals (or the rest) follow
    out += plain.substr(i, 8);
  }
  return out;
}

}  // namespace emu::szdd
