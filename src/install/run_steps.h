#pragma once
// Steps a run takes beside the eleven commands, at named points of them: the signed run's.
#include <functional>
#include <string>

// A run that stops before anything is pushed, with the text of its box.
struct RunStop {
    std::wstring text;
};

class RunSteps {
  public:
    virtual ~RunSteps() = default;
    // Their share of the progress, in the units of the commands' own steps.
    virtual int progressWeight() const = 0;
    // Once the TV is connected. `advance` moves the progress by a weight. Throws RunStop (or
    // anything else) to stop the run; it still cleans up.
    virtual void afterConnecting(const std::function<void(int weight)>& advance) = 0;
    // Once the install command has answered: true to run it once more.
    virtual bool installAgain() = 0;
};
