// The dialog tests, and one extra mode for the caption test: run as
// "PROGRAM --print-message-caption", the program makes the main dialog show
// a message and prints that message's caption.

#include <csignal>
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui_test_main.h"

namespace {

int PrintMessageCaption() {
    kestrel::MainDialog dialog;
    dialog.show();
    QString caption;
    kestrel::SetMessageBoxHook(
        [&caption](const kestrel::ShownMessage& message) { caption = message.caption; });
    dialog.Edit(kestrel::SettingsField::MaxX)->setText(QStringLiteral("x"));
    dialog.Button(kestrel::MainDialog::kCopyMapButton)->click();
    std::printf("%s\n", qPrintable(caption));
    return caption.isEmpty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The file-error test provokes a write past the file-size limit.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], kestrel::test::kPrintMessageCaption) == 0) {
        return PrintMessageCaption();
    }
    int status = 0;
    status |= kestrel::test::RunLayoutTests(argc, argv);
    status |= kestrel::test::RunBehaviourTests(argc, argv);
    status |= kestrel::test::RunOperationsTests(argc, argv);
    return status;
}
