#pragma once
// One running copy per user session. The bridge's server port is one per computer, so a second
// copy's kill-server would end the first copy's server mid-run, and a second copy in the same
// folder would delete the first one's widget file.
#include <windows.h>

namespace platform::win32 {

class SingleInstance {
  public:
    SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    // False when another copy runs in this session: its window has been brought to the front.
    bool first() const noexcept { return first_; }

  private:
    HANDLE mutex_ = nullptr;
    bool first_ = true;
};

}  // namespace platform::win32
