#include "operations/user_interface.h"

namespace kestrel {

UserInterface::~UserInterface() = default;

BusyIndicator::BusyIndicator(UserInterface& ui) : ui(ui), active(true) { ui.BeginBusy(); }

BusyIndicator::~BusyIndicator() { End(); }

void BusyIndicator::End() {
    if (active) {
        active = false;
        ui.EndBusy();
    }
}

}  // namespace kestrel
