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

// The text the standard error dialog shows for any exception.
std::wstring exceptionMessage(const std::exception& e);

}  // namespace platform
