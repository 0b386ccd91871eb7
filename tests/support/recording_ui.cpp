#include "support/recording_ui.h"

namespace kestrel::test {

void RecordingUi::BeginBusy() {
    events.push_back("begin");
}

void RecordingUi::EndBusy() {
    events.push_back("end");
}

void RecordingUi::ShowMessage(const std::string& text) {
    events.push_back("message: " + text);
    if (onMessage) {
        onMessage();
    }
}

}  // namespace kestrel::test
