#pragma once

#include <functional>

#include <QMessageBox>
#include <QPointer>
#include <QString>

class QWidget;

namespace kestrel {

// The application's title: the program file's name without its directory and
// without its last extension, e.g. "Kestrel" for /usr/bin/Kestrel.
QString ApplicationTitle();
QString TitleFromProgramPath(const QString& programPath);

// A message as the program shows it.
struct ShownMessage {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
    QPointer<QWidget> owner;
    QString details;
};

// Shows text in a modal box with one OK button over owner (or, without one,
// over the active dialog), captioned with the application's title, with the
// exclamation icon unless another is given. Details, when there are any, are
// offered behind the box's "Show Details..." button. Returns when the box is
// closed.
void ShowMessageBox(const QString& text, QMessageBox::Icon icon = QMessageBox::Warning,
                    QWidget* owner = nullptr, const QString& details = QString());

// Replaces the box by a call of hook, which gets what would have been shown;
// an empty hook restores the box. Returns the hook that was set before.
using MessageBoxHook = std::function<void(const ShownMessage&)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

}  // namespace kestrel
