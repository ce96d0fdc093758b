/* Expands one file with LZ32 as the launcher does and prints what the calls returned:
 *   lzexpand SOURCE DEST
 * prints "source=lz|plain|error copy=N" (N is LZCopy's result, or "-" when not called). */
#include <windows.h>
#include <lzexpand.h>
#include <stdio.h>

static const char* Kind(INT h) {
  if (h == HFILE_ERROR) return "error";
  return h >= 0x400 && h < 0x410 ? "lz" : "plain";
}

int main(int argc, char** argv) {
  OFSTRUCT sofs, dofs;
  INT src, dst;
  LONG copied;
  if (argc != 3) {
    fprintf(stderr, "usage: lzexpand SOURCE DEST\n");
    return 2;
  }
  src = LZOpenFileA(argv[1], &sofs, OF_READ | OF_SHARE_DENY_WRITE);
  if (src == HFILE_ERROR) {
    printf("source=error err=%u copy=-\n", sofs.nErrCode);
    return 0;
  }
  dst = LZOpenFileA(argv[2], &dofs, OF_CREATE | OF_SHARE_EXCLUSIVE | OF_WRITE);
  if (dst == HFILE_ERROR) {
    printf("source=%s dest=error err=%u copy=-\n", Kind(src), dofs.nErrCode);
    LZClose(src);
    return 0;
  }
  copied = LZCopy(src, dst);
  printf("source=%s copy=%ld\n", Kind(src), copied);
  LZClose(dst);
  LZClose(src);
  return 0;
}
