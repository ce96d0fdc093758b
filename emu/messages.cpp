// FormatMessageA over the system message table: the English texts that Windows gives for the
// error codes the launcher can meet.
#include <cstring>
#include <map>
#include <string>

#include "emu/core.h"

namespace emu {
namespace {

constexpr DWORD kResourceLangNotFound = 1815;  // ERROR_RESOURCE_LANG_NOT_FOUND

// Each entry as the message table holds it: the text and its closing line break.
const std::map<DWORD, const char*>& SystemMessages() {
  static const std::map<DWORD, const char*> table = {
      {0, "The operation completed successfully.\r\n"},
      {1, "Incorrect function.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {3, "The system cannot find the path specified.\r\n"},
      {4, "The system cannot open the file.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {8, "Not enough storage is available to process this command.\r\n"},
      {11, "An attempt was made to load a program with an incorrect format.\r\n"},
      {13, "The data is invalid.\r\n"},
      {14, "Not enough storage is available to complete this operation.\r\n"},
      {15, "The system cannot find the drive specified.\r\n"},
      {16, "The directory cannot be removed.\r\n"},
      {17, "The system cannot move the file to a different disk drive.\r\n"},
      {18, "There are no more files.\r\n"},
      {19, "The media is write protected.\r\n"},
      {20, "The system cannot find the device specified.\r\n"},
      {21, "The device is not ready.\r\n"},
      {23, "Data error (cyclic redundancy check).\r\n"},
      {25, "The drive cannot locate a specific area or track on the disk.\r\n"},
      {29, "The system cannot write to the specified device.\r\n"},
      {30, "The system cannot read from the specified device.\r\n"},
      {31, "A device attached to the system is not functioning.\r\n"},
      {32, "The process cannot access the file because it is being used by another process.\r\n"},
      {33, "The process cannot access the file because another process has locked a portion of "
           "the file.\r\n"},
      {38, "Reached the end of the file.\r\n"},
      {39, "The disk is full.\r\n"},
      {50, "The request is not supported.\r\n"},
      {53, "The network path was not found.\r\n"},
      {54, "The network is busy.\r\n"},
      {55, "The specified network resource or device is no longer available.\r\n"},
      {59, "An unexpected network error occurred.\r\n"},
      {64, "The specified network name is no longer available.\r\n"},
      {65, "Network access is denied.\r\n"},
      {67, "The network name cannot be found.\r\n"},
      {80, "The file exists.\r\n"},
      {82, "The directory or file cannot be created.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {109, "The pipe has been ended.\r\n"},
      {110, "The system cannot open the device or file specified.\r\n"},
      {111, "The file name is too long.\r\n"},
      {112, "There is not enough space on the disk.\r\n"},
      {120, "This function is not supported on this system.\r\n"},
      {122, "The data area passed to a system call is too small.\r\n"},
      {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
      {126, "The specified module could not be found.\r\n"},
      {127, "The specified procedure could not be found.\r\n"},
      {145, "The directory is not empty.\r\n"},
      {170, "The requested resource is in use.\r\n"},
      {183, "Cannot create a file when that file already exists.\r\n"},
      {193, "%1 is not a valid Win32 application.\r\n"},
      {206, "The filename or extension is too long.\r\n"},
      {234, "More data is available.\r\n"},
      {259, "No more data is available.\r\n"},
      {267, "The directory name is invalid.\r\n"},
      {317, "The system cannot find message text for message number 0x%1 in the message file "
            "for %2.\r\n"},
      {998, "Invalid access to memory location.\r\n"},
      {1008, "An attempt was made to reference a token that does not exist.\r\n"},
      {1009, "The configuration registry database is corrupt.\r\n"},
      {1010, "The configuration registry key is invalid.\r\n"},
      {1011, "The configuration registry key could not be opened.\r\n"},
      {1012, "The configuration registry key could not be read.\r\n"},
      {1013, "The configuration registry key could not be written.\r\n"},
      {1014, "One of the files in the registry database had to be recovered by use of a log or "
             "alternate copy. The recovery was successful.\r\n"},
      {1015, "The registry is corrupted. The structure of one of the files containing registry "
             "data is corrupted, or the system's memory image of the file is corrupted, or the "
             "file could not be recovered because the alternate copy or log was absent or "
             "corrupted.\r\n"},
      {1018, "Illegal operation attempted on a registry key that has been marked for "
             "deletion.\r\n"},
      {1114, "A dynamic link library (DLL) initialization routine failed.\r\n"},
      {1300, "Not all privileges or groups referenced are assigned to the caller.\r\n"},
      {1307, "This security ID may not be assigned as the owner of this object.\r\n"},
      {1337, "The security ID structure is invalid.\r\n"},
      {1346, "Either a required impersonation level was not provided, or the provided "
             "impersonation level is invalid.\r\n"},
      {1347, "Cannot open an anonymous level security token.\r\n"},
      {1400, "Invalid window handle.\r\n"},
      {1450, "Insufficient system resources exist to complete the requested service.\r\n"},
      {1816, "Not enough quota is available to process this command.\r\n"},
  };
  return table;
}

bool EnglishOrNeutral(DWORD language) {
  const DWORD primary = language & 0x3FF;
  return language == 0 || primary == LANG_NEUTRAL || primary == 0x09 /* LANG_ENGLISH */;
}

// Expands the message text by FormatMessage's rules. False when an insert is met without
// arguments to take it from (the launcher never passes any).
bool Expand(const char* text, DWORD flags, std::string* out) {
  const bool unwrap = (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != 0;
  for (const char* p = text; *p;) {
    char c = *p++;
    if (c == '%') {
      char n = *p;
      if (n >= '1' && n <= '9') {
        if (!(flags & FORMAT_MESSAGE_IGNORE_INSERTS)) return false;
        *out += '%';  // copied as it stands
        continue;
      }
      ++p;
      switch (n) {
        case '0': return true;
        case 'n': *out += "\r\n"; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case '\0': return false;
        default: *out += n; break;  // %% %. %! and % followed by a blank
      }
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && *p == '\n') ++p;
      // Regular line breaks become a blank when a width is given; the text keeps its
      // closing one that way too.
      *out += unwrap ? " " : "\r\n";
    } else {
      *out += c;
    }
  }
  return true;
}

}  // namespace
}  // namespace emu

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID /*lpSource*/, DWORD dwMessageId,
                            DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                            void* /*Arguments*/) {
  if (emu::Enter("FormatMessageA")) return 0;
  // Only the system table is modelled, into the caller's buffer.
  const DWORD unsupported = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING |
                            FORMAT_MESSAGE_FROM_HMODULE;
  if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || (dwFlags & unsupported)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto& table = emu::SystemMessages();
  auto it = table.find(dwMessageId);
  if (it == table.end()) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  if (!emu::EnglishOrNeutral(dwLanguageId)) {
    SetLastError(emu::kResourceLangNotFound);
    return 0;
  }
  std::string text;
  if (!emu::Expand(it->second, dwFlags, &text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!lpBuffer || text.size() + 1 > nSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpBuffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}
