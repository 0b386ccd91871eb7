#include "ui/message_box.h"

#include <utility>

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QWidget>

namespace kestrel {

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

QString TitleFromProgramPath(const QString& programPath) {
    return QFileInfo(programPath).completeBaseName();
}

QString ApplicationTitle() {
    return TitleFromProgramPath(QCoreApplication::applicationFilePath());
}

void ShowMessageBox(const QString& text, QMessageBox::Icon icon, QWidget* owner,
                    const QString& details) {
    if (owner == nullptr) {
        owner = QApplication::activeModalWidget();
    }
    if (owner == nullptr) {
        owner = QApplication::activeWindow();
    }
    ShownMessage message{ApplicationTitle(), text, icon, owner, details};
    if (Hook()) {
        Hook()(message);
        return;
    }
    QMessageBox box(icon, message.caption, text, QMessageBox::Ok, owner);
    // The box wraps only rich text by itself; a long path would run past its
    // edge, and the path's end is the part that tells which file is meant.
    // Wrapped, a word longer than the line breaks anywhere.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        label->setWordWrap(true);
    }
    box.setWindowModality(Qt::ApplicationModal);
    if (!details.isEmpty()) {
        box.setDetailedText(details);
    }
    box.exec();
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    return std::exchange(Hook(), std::move(hook));
}

}  // namespace kestrel
