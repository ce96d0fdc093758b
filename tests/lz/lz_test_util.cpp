#include "tests/lz/lz_test_util.h"

#include <mspack.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <random>
#include <unistd.h>

namespace lztest {

Bytes ReadHostFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHostFile(const std::filesystem::path& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("kel-lz-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Expanded ExpandSzdd(const Bytes& file, size_t readChunk, size_t writeChunkLimit, int readFailAt,
                    int writeFailAt) {
  Expanded e;
  const size_t start = file.size() < emu::szdd::kHeaderSize ? file.size() : emu::szdd::kHeaderSize;
  size_t at = start;
  int reads = 0;
  int writes = 0;
  auto read = [&](uint8_t* buf, size_t cap) -> ptrdiff_t {
    if (++reads == readFailAt) return -1;
    size_t n = file.size() - at;
    if (n > cap) n = cap;
    if (n > readChunk) n = readChunk;
    if (n) std::memcpy(buf, file.data() + at, n);
    at += n;
    return ptrdiff_t(n);
  };
  auto write = [&](const uint8_t* data, size_t size) {
    if (++writes == writeFailAt) return false;
    if (writeChunkLimit && size > writeChunkLimit) return false;
    e.out.insert(e.out.end(), data, data + size);
    return true;
  };
  emu::szdd::Decoder decoder;
  const emu::szdd::Result r = decoder.ExpandBody(read, write);
  e.status = r.status;
  e.written = r.written;
  return e;
}

bool MspackExpand(const Bytes& file, Bytes* out, int* error) {
  TempDir dir;
  const auto in = dir.path() / "in.sz";
  const auto outPath = dir.path() / "out.bin";
  WriteHostFile(in, file);
  msszdd_decompressor* d = mspack_create_szdd_decompressor(nullptr);
  msszddd_header* h = d->open(d, const_cast<char*>(in.c_str()));
  int err = MSPACK_ERR_OK;
  if (!h) {
    err = d->last_error(d);
  } else {
    err = d->extract(d, h, const_cast<char*>(outPath.c_str()));
    d->close(d, h);
  }
  mspack_destroy_szdd_decompressor(d);
  if (error) *error = err;
  *out = ReadHostFile(outPath);
  return err == MSPACK_ERR_OK;
}

Bytes TextSample(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"the", "setup", "engine", "expands", "a", "file",
                                       "into", "temporary", "folder", "while", "medium",
                                       "registry", "Kelmora", "module", "window", "of"};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size + 16);
  while (out.size() < size) {
    const char* w = kWords[rng() % 16];
    out.insert(out.end(), w, w + std::strlen(w));
    out.push_back(rng() % 11 == 0 ? '\n' : ' ');
  }
  out.resize(size);
  return out;
}

Bytes RandomSample(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = uint8_t(rng());
  return out;
}

}  // namespace lztest
