#pragma once

#include <functional>
#include <string>
#include <vector>

#include "operations/user_interface.h"

namespace kestrel::test {

// Records what an operation shows, in order: "begin", "end" and
// "message: TEXT"; the details of each message go to details. An optional
// probe runs when a message is shown, to look at the files at that moment.
class RecordingUi : public UserInterface {
public:
    void BeginBusy() override;
    void EndBusy() override;
    void ShowMessage(const std::string& text, const std::string& details) override;

    std::vector<std::string> events;
    std::vector<std::string> details;
    std::function<void()> onMessage;
};

}  // namespace kestrel::test
