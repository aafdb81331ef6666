// The one point where views follow the stepping: after every command that may
// move the cursor, the selection or the machine state, the panel tells each
// registered observer once, after the command has finished. Observers only
// read; they never call a command back from inside the notification.
#pragma once

#include <algorithm>
#include <vector>

class CProgramCursor;
class CMachineState;

enum StepCommand {
    STEP_LOAD,
    STEP_NEXT_WORD,
    STEP_RUN_TO,
    STEP_RESET,
    STEP_ACTUAL_WORD,
    // A click on a line of the program view: browsing, not executing.
    STEP_LINE_CLICK,
    // The newest of the others taken back.
    STEP_BACK,
};

class IStepObserver {
public:
    virtual ~IStepObserver() = default;
    // Before a load replaces the word list: anything still reading the old
    // list (a background job) must stop reading it before this returns.
    virtual void OnProgramChanging() {}
    virtual void OnStepped(StepCommand command, const CProgramCursor& cursor, const CMachineState& state) = 0;
};

class CStepObservers {
public:
    void Add(IStepObserver* observer)
    {
        if (observer != nullptr && std::find(observers.begin(), observers.end(), observer) == observers.end())
            observers.push_back(observer);
    }
    void Remove(IStepObserver* observer)
    {
        observers.erase(std::remove(observers.begin(), observers.end(), observer), observers.end());
    }
    void NotifyProgramChanging() const
    {
        for (IStepObserver* observer : std::vector<IStepObserver*>(observers))
            observer->OnProgramChanging();
    }
    void NotifyStepped(StepCommand command, const CProgramCursor& cursor, const CMachineState& state) const
    {
        // A copy, so an observer may remove itself while being told.
        for (IStepObserver* observer : std::vector<IStepObserver*>(observers))
            observer->OnStepped(command, cursor, state);
    }

private:
    std::vector<IStepObserver*> observers;
};
