// The runtime library's exception classes. Each has a class name and a message, because the
// standard error box shows both.
#pragma once

#include <string>
#include <utility>

class Exception {
 public:
  explicit Exception(std::string message);
  virtual ~Exception() = default;
  virtual const char* ClassName() const { return "Exception"; }
  const std::string& Message() const { return message_; }
  // Code address where the exception was raised, for the standard error box.
  const void* Address() const { return address_; }

 private:
  std::string message_;
  const void* address_;
};

// The constructors of subclasses are always inlined, so that the address Exception records is
// in the code that raised, not in a constructor shared by every raiser.
#define RTL_EXCEPTION_CLASS(Name, Base)                           \
  class Name : public Base {                                      \
   public:                                                        \
    [[gnu::always_inline]] explicit Name(std::string message)     \
        : Base(std::move(message)) {}                             \
    const char* ClassName() const override { return #Name; }     \
  }

RTL_EXCEPTION_CLASS(ERegistryException, Exception);
RTL_EXCEPTION_CLASS(EConvertError, Exception);
RTL_EXCEPTION_CLASS(EOutOfMemory, Exception);
RTL_EXCEPTION_CLASS(EStreamError, Exception);
RTL_EXCEPTION_CLASS(EFCreateError, EStreamError);  // "Cannot create file %s"
RTL_EXCEPTION_CLASS(EWriteError, EStreamError);    // "Stream write error"

// Input/output error carrying the system error code that caused it.
class EInOutError : public Exception {
 public:
  [[gnu::always_inline]] EInOutError(std::string message, int errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  const char* ClassName() const override { return "EInOutError"; }
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

// Formats a message with printf rules (the runtime's texts use %s, %d and %p only).
std::string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
