#pragma once
// Runs an action when the scope is left, however it is left: clean-up that must happen on every
// path out of a run, failed and abandoned ones included.
#include <functional>
#include <utility>

class OnScopeExit {
  public:
    explicit OnScopeExit(std::function<void()> action) : action_(std::move(action)) {}
    ~OnScopeExit() {
        // Clean-up never adds a failure of its own to the one that may be leaving the scope.
        try {
            action_();
        } catch (...) {
        }
    }
    OnScopeExit(const OnScopeExit&) = delete;
    OnScopeExit& operator=(const OnScopeExit&) = delete;

  private:
    std::function<void()> action_;
};
