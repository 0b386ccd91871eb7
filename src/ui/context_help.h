#pragma once

#include <functional>

#include <QObject>
#include <QString>
#include <QUrl>

class QWidget;

namespace kestrel {

inline constexpr const char* kHelpLaunchFailedMessage = "Failed to launch help.";

// The manual's sections that the dialogs lead to.
inline constexpr const char* kMainDialogHelpSection = "main-dialog";
inline constexpr const char* kAboutBoxHelpSection = "about-box";

// The installed manual of a program in programDirectory: the manual sits in
// the data tree beside the program's bin directory, in the build tree as well.
QString ManualPath(const QString& programDirectory);

// Marks widget (a dialog) as the owner of a section of the manual.
void SetHelpSection(QWidget* widget, const char* section);

// F1 without Shift, Ctrl or Alt, anywhere in the application: asks the widget
// that has the focus, and then its parents, for a section of the manual, and
// opens the manual there. Where the manual is missing or the desktop cannot
// open it, "Failed to launch help." is shown.
class ContextHelp : public QObject {
    Q_OBJECT

public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    // The manual of the running program, opened by the desktop.
    explicit ContextHelp(QObject* parent = nullptr);
    ContextHelp(QString programDirectory, UrlOpener opener, QObject* parent = nullptr);

    // Starts answering F1 for the whole application.
    void Install();

    // Opens the manual at the section that focus or one of its parents
    // names. Returns false when none of them names a section.
    bool ShowHelpFor(QWidget* focus);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString programDirectory;
    UrlOpener opener;
};

}  // namespace kestrel
