#include "ui/qt_user_interface.h"

#include <QGuiApplication>

#include "ui/message_box.h"

namespace kestrel {

QtUserInterface::QtUserInterface(QWidget* owner) : owner(owner) {}

void QtUserInterface::BeginBusy() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUserInterface::EndBusy() {
    QGuiApplication::restoreOverrideCursor();
}

void QtUserInterface::ShowMessage(const std::string& text, const std::string& details) {
    ShowMessageBox(QString::fromLocal8Bit(text), QMessageBox::Warning, owner,
                   QString::fromLocal8Bit(details));
}

}  // namespace kestrel
