#pragma once

#include <string>

#include <QPointer>
#include <QWidget>

#include "operations/user_interface.h"

namespace kestrel {

// What the operations show, on the desktop: the wait cursor over the whole
// application while they work, and their messages in the program's message
// box over the dialog.
class QtUserInterface : public UserInterface {
public:
    explicit QtUserInterface(QWidget* owner);

    void BeginBusy() override;
    void EndBusy() override;
    // The text in the box; the details behind its "Show Details..." button.
    void ShowMessage(const std::string& text, const std::string& details) override;

private:
    QPointer<QWidget> owner;
};

}  // namespace kestrel
