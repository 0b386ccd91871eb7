#include "ui_test_support.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace kestrel::test {

MessageRecorder::MessageRecorder() {
    previous = SetMessageBoxHook([this](const ShownMessage& message) {
        messages.append({message.caption, message.text, message.icon, message.owner,
                         QGuiApplication::overrideCursor() != nullptr, message.details});
    });
}

MessageRecorder::~MessageRecorder() {
    SetMessageBoxHook(previous);
}

QStringList MessageRecorder::Texts() const {
    QStringList texts;
    for (const RecordedMessage& message : messages) {
        texts.append(message.text);
    }
    return texts;
}

bool ShowActive(QWidget& widget) {
    widget.show();
    widget.activateWindow();
    return QTest::qWaitForWindowActive(&widget);
}

bool WhileModal(const std::function<void()>& start, const std::function<void(QWidget*)>& inspect) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        // Keys go to the focus widget, so wait until the window is active.
        if (modal == nullptr || !modal->isVisible() || !modal->isActiveWindow()) {
            return;
        }
        poll.stop();
        seen = true;
        QPointer<QWidget> guard(modal);
        inspect(modal);
        if (guard && guard->isVisible()) {
            guard->close();
        }
    });
    poll.start();
    start();
    // A button pressed by its mnemonic clicks a moment later.
    for (int waited = 0; !seen && waited < 1000; waited += 20) {
        QTest::qWait(20);
    }
    poll.stop();
    return seen;
}

}  // namespace kestrel::test
