#include "ui/context_help.h"

#include <utility>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QWidget>

#include "ui/message_box.h"

namespace kestrel {

namespace {

constexpr const char* kHelpSectionProperty = "kestrelHelpSection";
constexpr const char* kManualFromProgram = "../share/doc/kestrel/help_index.html";

}  // namespace

QString ManualPath(const QString& programDirectory) {
    return QDir::cleanPath(
        QDir(programDirectory).filePath(QString::fromLatin1(kManualFromProgram)));
}

void SetHelpSection(QWidget* widget, const char* section) {
    widget->setProperty(kHelpSectionProperty, QString::fromLatin1(section));
}

ContextHelp::ContextHelp(QObject* parent)
    : ContextHelp(QCoreApplication::applicationDirPath(), &QDesktopServices::openUrl, parent) {}

ContextHelp::ContextHelp(QString programDirectory, UrlOpener opener, QObject* parent)
    : QObject(parent), programDirectory(std::move(programDirectory)), opener(std::move(opener)) {}

void ContextHelp::Install() {
    qApp->installEventFilter(this);
}

bool ContextHelp::ShowHelpFor(QWidget* focus) {
    QString section;
    QWidget* owner = nullptr;
    // The search ends at the focus widget's window: a message box over the
    // dialog is a window of its own, with no section, and F1 in it must not
    // open the dialog's help behind it.
    for (QWidget* widget = focus; widget != nullptr && section.isEmpty();
         widget = widget->isWindow() ? nullptr : widget->parentWidget()) {
        section = widget->property(kHelpSectionProperty).toString();
        owner = widget;
    }
    if (section.isEmpty()) {
        return false;
    }
    const QString manual = ManualPath(programDirectory);
    QUrl url = QUrl::fromLocalFile(manual);
    url.setFragment(section);
    if (!QFileInfo(manual).isFile() || !opener(url)) {
        ShowMessageBox(QString::fromLatin1(kHelpLaunchFailedMessage), QMessageBox::Warning, owner);
    }
    return true;
}

bool ContextHelp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    constexpr Qt::KeyboardModifiers kBlocking =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (key->key() != Qt::Key_F1 || (key->modifiers() & kBlocking) != 0) {
        return false;
    }
    // Key events travel from the focus widget to its parents; the first
    // delivery is the one to answer, and answering ends the journey.
    return ShowHelpFor(static_cast<QWidget*>(watched));
}

}  // namespace kestrel
