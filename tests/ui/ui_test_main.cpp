// The dialog tests: "PROGRAM SUITE [QTEST OPTION...]" runs one suite (layout,
// behaviour, operations), "PROGRAM" all of them. One extra mode serves the
// caption test: run as "PROGRAM --print-message-caption", the program makes the
// main dialog show a message and prints that message's caption.

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
    const struct {
        const char* name;
        int (*run)(int, char**);
    } suites[] = {
        {"layout", kestrel::test::RunLayoutTests},
        {"behaviour", kestrel::test::RunBehaviourTests},
        {"operations", kestrel::test::RunOperationsTests},
        {"transplant", kestrel::test::RunTransplantPanelTests},
    };
    if (argc >= 2 && argv[1][0] != '-') {
        for (const auto& suite : suites) {
            if (std::strcmp(argv[1], suite.name) == 0) {
                // The suite's name is not an option of Qt Test.
                argv[1] = argv[0];
                return suite.run(argc - 1, argv + 1);
            }
        }
        std::fprintf(stderr, "ui_tests: no suite named %s\n", argv[1]);
        return 2;
    }
    int status = 0;
    for (const auto& suite : suites) {
        status |= suite.run(argc, argv);
    }
    return status;
}
