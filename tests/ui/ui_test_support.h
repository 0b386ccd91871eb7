#pragma once

#include <functional>

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "ui/message_box.h"

class QWidget;

namespace kestrel::test {

// What a message box would have shown, and whether the busy cursor was still
// up at that moment.
struct RecordedMessage {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
    QPointer<QWidget> owner;
    bool busyCursor;
    QString details;
};

// Takes the place of the message box while it lives: messages are recorded and
// the call returns at once.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList Texts() const;

    QList<RecordedMessage> messages;

private:
    MessageBoxHook previous;
};

// Shows widget as the active window; false if it did not become active.
[[nodiscard]] bool ShowActive(QWidget& widget);

// Runs start, which should open a modal window and wait in it. inspect gets
// that window; the window is closed afterwards unless inspect closed it.
// Returns whether a modal window appeared.
bool WhileModal(const std::function<void()>& start, const std::function<void(QWidget*)>& inspect);

}  // namespace kestrel::test
