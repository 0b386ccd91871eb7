#include "support/recording_ui.h"

namespace kestrel::test {

void RecordingUi::BeginBusy() {
    events.push_back("begin");
}

void RecordingUi::EndBusy() {
    events.push_back("end");
}

void RecordingUi::ShowMessage(const std::string& text, const std::string& messageDetails) {
    events.push_back("message: " + text);
    details.push_back(messageDetails);
    if (onMessage) {
        onMessage();
    }
}

}  // namespace kestrel::test
