#pragma once
// The one exception type the program raises itself. Its message is UTF-16 so that file names
// and system reasons reach the error dialog intact; what() carries the same text in UTF-8.
#include <stdexcept>
#include <string>

#include "platform/text.h"

namespace platform {

class Error : public std::runtime_error {
  public:
    explicit Error(std::wstring message)
        : std::runtime_error(toUtf8(message)), message_(std::move(message)) {}
    const std::wstring& message() const noexcept { return message_; }

  private:
    std::wstring message_;
};

// A file that could not be written, and whether because something else holds it open.
class WriteError : public Error {
  public:
    WriteError(const std::wstring& file, std::wstring reason, bool inUse)
        : Error(L"Cannot write \"" + file + L"\": " + reason),
          reason_(std::move(reason)),
          inUse_(inUse) {}
    // The system's own words, in the system's language.
    const std::wstring& reason() const noexcept { return reason_; }
    bool inUse() const noexcept { return inUse_; }

  private:
    std::wstring reason_;
    bool inUse_;
};

// The text the standard error dialog shows for any exception.
std::wstring exceptionMessage(const std::exception& e);

}  // namespace platform
