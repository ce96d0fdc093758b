// A small SZDD compressor for the tests and the benchmark: greedy matching over hash
// chains, against the same space-filled window the decoder starts from.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace lztest {

struct WriterOptions {
  int maxChain = 8;            // candidates tried per position; 0 writes literals only
  uint8_t mode = 'A';
  uint8_t lastChar = 0;
  std::optional<uint32_t> storedLength;  // header length; the true one when unset
};

inline std::vector<uint8_t> CompressSzdd(const std::vector<uint8_t>& data,
                                         const WriterOptions& opt = {}) {
  constexpr size_t kWindow = 4096;
  constexpr size_t kMaxLen = 18;
  std::vector<uint8_t> out = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, opt.mode, opt.lastChar};
  const uint32_t stored = opt.storedLength.value_or(uint32_t(data.size()));
  for (int k = 0; k < 4; ++k) out.push_back(uint8_t(stored >> (8 * k)));
  out.reserve(out.size() + data.size() + data.size() / 8 + 16);

  // Linear view: the initial window of spaces, then the data.
  std::vector<uint8_t> buf(kWindow, ' ');
  buf.insert(buf.end(), data.begin(), data.end());
  const size_t n = buf.size();

  constexpr size_t kHashSize = size_t{1} << 15;
  std::vector<int64_t> head(kHashSize, -1);
  std::vector<int64_t> prev(kWindow, -1);
  auto hash = [&](size_t i) {
    return ((uint32_t(buf[i]) << 10) ^ (uint32_t(buf[i + 1]) << 5) ^ buf[i + 2]) & (kHashSize - 1);
  };
  auto insert = [&](size_t i) {
    if (i + 3 > n) return;
    const size_t h = hash(i);
    prev[i & (kWindow - 1)] = head[h];
    head[h] = int64_t(i);
  };
  for (size_t i = kWindow - kMaxLen; i < kWindow; ++i) insert(i);

  size_t flagAt = 0;
  int bits = 8;
  auto token = [&](bool literal) {
    if (bits == 8) {
      flagAt = out.size();
      out.push_back(0);
      bits = 0;
    }
    if (literal) out[flagAt] |= uint8_t(1u << bits);
    ++bits;
  };

  size_t i = kWindow;
  while (i < n) {
    size_t bestLen = 0;
    size_t bestAt = 0;
    if (opt.maxChain > 0 && i + 3 <= n) {
      const size_t limit = n - i < kMaxLen ? n - i : kMaxLen;
      int64_t cand = head[hash(i)];
      for (int tries = opt.maxChain; cand >= 0 && tries > 0; --tries) {
        const size_t c = size_t(cand);
        if (i - c > kWindow) break;
        size_t len = 0;
        while (len < limit && buf[c + len] == buf[i + len]) ++len;
        if (len > bestLen) {
          bestLen = len;
          bestAt = c;
          if (len == limit) break;
        }
        const int64_t next = prev[c & (kWindow - 1)];
        if (next >= cand) break;  // the slot was reused by a newer position
        cand = next;
      }
    }
    if (bestLen >= 3) {
      token(false);
      const uint32_t pos = uint32_t(bestAt - kWindow + 0xFF0) & 0xFFF;
      out.push_back(uint8_t(pos & 0xFF));
      out.push_back(uint8_t(((pos >> 4) & 0xF0) | (bestLen - 3)));
      for (size_t k = 0; k < bestLen; ++k) insert(i + k);
      i += bestLen;
    } else {
      token(true);
      out.push_back(buf[i]);
      insert(i);
      ++i;
    }
  }
  return out;
}

}  // namespace lztest
