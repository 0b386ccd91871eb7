#pragma once

#include <string>

namespace kestrel {

// How an operation reaches the user: a busy indicator and a message. Each
// front end implements it (a busy cursor and a message box, or standard
// error).
class UserInterface {
public:
    virtual ~UserInterface();

    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
    // A warning for the user, shown with an exclamation icon where there is
    // one. details is empty, or says more for whoever wants to know, e.g.
    // "PATH: REASON" for a file that could not be opened.
    virtual void ShowMessage(const std::string& text, const std::string& details) = 0;
};

// Begins the busy indicator on construction and ends it exactly once: at
// End(), or when the guard is destroyed, also while an exception unwinds.
class BusyIndicator {
public:
    explicit BusyIndicator(UserInterface& ui);
    ~BusyIndicator();
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    void End();

private:
    UserInterface& ui;
    bool active;
};

}  // namespace kestrel
