// The dialog tests: "PROGRAM SUITE [QTEST OPTION...]" runs one suite (layout,
// behaviour, operations), "PROGRAM" all of them. One extra mode serves the
// caption test: run as "PROGRAM --print-message-caption", the program makes the
// main dialog show a message and prints that message's caption. Another serves
// the broken-pipe test: "PROGRAM --copy-statics-into ITEMS INDEX DATA".

#include <csignal>
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QPushButton>

#include "ui/application.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/remembered_fields.h"
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

// Starts as the program does, then copies the statics of the source files
// given into the items script given and prints every message shown.
int CopyStaticsInto(char** paths) {
    kestrel::IgnoreFileSignals();
    int argc = 1;
    char* argv[] = {paths[-1], nullptr};
    QApplication application(argc, argv);
    kestrel::ForgetFields();
    kestrel::MainDialog dialog;
    dialog.show();
    kestrel::SetMessageBoxHook([](const kestrel::ShownMessage& message) {
        std::printf("%s\n", qPrintable(message.text));
    });
    const kestrel::SettingsField fields[] = {kestrel::SettingsField::ItemsPath,
                                             kestrel::SettingsField::StaticsIndexPath,
                                             kestrel::SettingsField::StaticsDataPath};
    for (int i = 0; i < 3; ++i) {
        dialog.Edit(fields[i])->setText(QString::fromLocal8Bit(paths[i]));
    }
    dialog.Edit(kestrel::SettingsField::MaxX)->setText(QStringLiteral("127"));
    dialog.Edit(kestrel::SettingsField::MaxY)->setText(QStringLiteral("4095"));
    dialog.Button(kestrel::MainDialog::kCopyStaticsButton)->click();
    std::printf("dialog still open: %s\n", dialog.isVisible() ? "yes" : "no");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], kestrel::test::kCopyStaticsInto) == 0) {
        return CopyStaticsInto(argv + 2);
    }
    // The file-error test provokes a write past the file-size limit.
    std::signal(SIGXFSZ, SIG_IGN);
    // Remembered fields go to a settings directory of this run, never the
    // user's.
    QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", settingsHome.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
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
        {"views", kestrel::test::RunMapViewsTests},
        {"fields", kestrel::test::RunFieldHelpersTests},
        {"edges", kestrel::test::RunRoughEdgesTests},
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
