#include "rtl/exceptions.h"

#include <cstdarg>
#include <cstdio>
#include <utility>
#include <vector>

// Out of line, so the return address lies in the code that raised.
[[gnu::noinline]] Exception::Exception(std::string message)
    : message_(std::move(message)), address_(__builtin_return_address(0)) {}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, again);
    text.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(again);
  return text;
}
