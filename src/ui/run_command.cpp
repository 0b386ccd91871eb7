#include "ui/run_command.h"

#include <exception>
#include <new>

#include "clientfiles/file_exception.h"
#include "ui/message_box.h"

namespace kestrel {

void RunCommand(QWidget* owner, const std::function<void()>& handler) {
    // An exception must not pass into Qt's event dispatch, so every kind is
    // caught here; only file errors and memory exhaustion are expected.
    try {
        handler();
    } catch (const FileException& failure) {
        ShowMessageBox(QString::fromLocal8Bit(failure.what()), QMessageBox::Critical, owner);
    } catch (const std::bad_alloc&) {
        // Showing the box needs memory as well; if even that fails, the
        // command ends silently rather than taking the program down.
        try {
            ShowMessageBox(QString::fromLatin1(kOutOfMemoryMessage), QMessageBox::Warning, owner);
        } catch (const std::bad_alloc&) {
        }
    } catch (const std::exception& failure) {
        ShowMessageBox(QString::fromLocal8Bit(failure.what()), QMessageBox::Critical, owner);
    }
}

}  // namespace kestrel
