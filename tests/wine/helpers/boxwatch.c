/* Watches for message boxes, records each one and presses OK, until a stop file appears.
   Usage: boxwatch LOGFILE STOPFILE
   Every box appends two lines to LOGFILE, "caption: ..." and "text: ...", line breaks inside
   the text written as <CR> and <LF>. The file is closed before OK is pressed, so once the
   program that showed the box has ended, its record is complete. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define MAX_SEEN 64

static HWND seen[MAX_SEEN];
static const char* logPath;

static int AlreadySeen(HWND box) {
  for (int i = 0; i < MAX_SEEN; i++)
    if (seen[i] == box) return 1;
  return 0;
}

/* A handle value can come back for a later box once the first one is gone. */
static void Remember(HWND box) {
  for (int i = 0; i < MAX_SEEN; i++)
    if (seen[i] == NULL || !IsWindow(seen[i])) {
      seen[i] = box;
      return;
    }
}

static void Forget(void) {
  for (int i = 0; i < MAX_SEEN; i++)
    if (seen[i] != NULL && !IsWindow(seen[i])) seen[i] = NULL;
}

/* The box's message is its one static control with text; the icon's static has none. */
static BOOL CALLBACK TakeMessageText(HWND child, LPARAM param) {
  char cls[32];
  char* text = (char*)param;
  if (GetClassNameA(child, cls, sizeof cls) && lstrcmpiA(cls, "Static") == 0 &&
      GetWindowTextA(child, text, 4096) > 0)
    return FALSE;
  text[0] = 0;
  return TRUE;
}

static void WriteEscaped(FILE* out, const char* s) {
  for (; *s; s++) {
    if (*s == '\r') fputs("<CR>", out);
    else if (*s == '\n') fputs("<LF>", out);
    else fputc(*s, out);
  }
}

static void Press(HWND box) {
  int id = GetDlgItem(box, IDOK) ? IDOK : GetDlgItem(box, IDCANCEL) ? IDCANCEL : 0;
  if (id == 0) {
    PostMessageA(box, WM_CLOSE, 0, 0);
    return;
  }
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(box, id));
}

static BOOL CALLBACK Visit(HWND window, LPARAM unused) {
  char cls[32], caption[1024], text[4096];
  DWORD pid = 0;
  FILE* out;
  (void)unused;
  if (!GetClassNameA(window, cls, sizeof cls) || strcmp(cls, "#32770") != 0) return TRUE;
  if (!IsWindowVisible(window) || AlreadySeen(window)) return TRUE;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId()) return TRUE;
  GetWindowTextA(window, caption, sizeof caption);
  text[0] = 0;
  EnumChildWindows(window, TakeMessageText, (LPARAM)text);
  out = fopen(logPath, "ab");
  if (out != NULL) {
    fputs("caption: ", out);
    WriteEscaped(out, caption);
    fputs("\ntext: ", out);
    WriteEscaped(out, text);
    fputs("\n", out);
    fclose(out);
  }
  Remember(window);
  Press(window);
  return TRUE;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: boxwatch LOGFILE STOPFILE\n");
    return 2;
  }
  logPath = argv[1];
  while (GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES) {
    Forget();
    EnumWindows(Visit, 0);
    Sleep(40);
  }
  return 0;
}
