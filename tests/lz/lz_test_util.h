// Helpers shared by the LZ tests: files on the host, the decoder over byte vectors,
// libmspack as the reference.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "emu/szdd.h"

namespace lztest {

using Bytes = std::vector<uint8_t>;

Bytes ReadHostFile(const std::filesystem::path& path);
void WriteHostFile(const std::filesystem::path& path, const Bytes& data);

// A fresh folder under the host's temp folder, removed by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct Expanded {
  emu::szdd::Status status = emu::szdd::Status::Ok;
  uint64_t written = 0;
  Bytes out;
};

// Runs the decoder over a whole file (header included) with the given read and write
// block sizes; readFailAt/writeFailAt make the nth call (1-based) fail.
Expanded ExpandSzdd(const Bytes& file, size_t readChunk = 1 << 20, size_t writeChunkLimit = 0,
                    int readFailAt = 0, int writeFailAt = 0);

// libmspack's SZDD decompressor on the same file; false when it reports an error.
bool MspackExpand(const Bytes& file, Bytes* out, int* error = nullptr);

Bytes TextSample(size_t size, uint32_t seed);
Bytes RandomSample(size_t size, uint32_t seed);

}  // namespace lztest
