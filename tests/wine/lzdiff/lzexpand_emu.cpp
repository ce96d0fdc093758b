// The same as lzexpand_main.c, run against our emulation: the host source is put into the
// emulated machine, expanded there, and the result written back to the host.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "emu/core.h"
#include "emu/fs.h"
#include "platform/win32.h"

static const char* Kind(INT h) {
  if (h == HFILE_ERROR) return "error";
  return h >= 0x400 && h < 0x410 ? "lz" : "plain";
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lzexpand_emu SOURCE DEST\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  emu::Reset();
  emu::AddFile("C:\\CD\\SOURCE.EX_", content);
  OFSTRUCT sofs{};
  OFSTRUCT dofs{};
  char srcName[] = "C:\\CD\\SOURCE.EX_";
  char dstName[] = "C:\\TEMP\\Kel.exe";
  const INT src = LZOpenFileA(srcName, &sofs, OF_READ | OF_SHARE_DENY_WRITE);
  if (src == HFILE_ERROR) {
    std::printf("source=error err=%u copy=-\n", unsigned(sofs.nErrCode));
    return 0;
  }
  const INT dst = LZOpenFileA(dstName, &dofs, OF_CREATE | OF_SHARE_EXCLUSIVE | OF_WRITE);
  const LONG copied = LZCopy(src, dst);
  std::printf("source=%s copy=%ld\n", Kind(src), long(copied));
  LZClose(dst);
  LZClose(src);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << emu::FileContent(dstName).value_or("");
  return 0;
}
