#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "operations/map_region_copy.h"
#include "operations/settings_exchange.h"
#include "operations/statics_export.h"
#include "support/temp_dir.h"
#include "ui/about_dialog.h"
#include "ui/context_help.h"
#include "ui/application.h"
#include "ui/main_dialog.h"
#include "ui/map_views_panel.h"
#include "ui/remembered_fields.h"
#include "ui_test_main.h"
#include "ui_test_support.h"

namespace kestrel::test {

namespace {

const QString kSyntax = QStringLiteral("Please enter an integer.");

QString RangeMessage(int minimum, int maximum) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

// A shown main dialog whose source paths name files that do not exist, so
// that an operation that runs announces itself by its open-failure message.
class MissingFilesDialog {
public:
    MissingFilesDialog() {
        Set(SettingsField::SourceMapPath, QString::fromStdString(files.File("missing-map0.mul")));
        Set(SettingsField::StaticsIndexPath,
            QString::fromStdString(files.File("missing-staidx0.mul")));
    }

    void Set(SettingsField field, const QString& text) { dialog.Edit(field)->setText(text); }
    QPushButton* Button(int id) {
        return dialog.findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
    }

    TempDir files;
    MainDialog dialog;
};

// Records the URLs that the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

}  // namespace

class BehaviourTest : public QObject {
    Q_OBJECT

private slots:
    // Each test opens the dialog with the defaults, whatever an earlier one
    // left remembered.
    void init() { ForgetFields(); }

    void numberFieldsAreCheckedByTheSharedRules_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rejection");  // empty: accepted
        QTest::addColumn<QString>("stored");     // the field's value afterwards
        const int maxX = int(SettingsField::MaxX);
        const int maxY = int(SettingsField::MaxY);
        const int offZ = int(SettingsField::OffZ);
        QTest::newRow("blanks around") << maxX << " 42 "
                                       << ""
                                       << "42";
        QTest::newRow("plus sign") << maxX << "+7"
                                   << ""
                                   << "7";
        QTest::newRow("leading zeros") << maxX << "007"
                                       << ""
                                       << "7";
        QTest::newRow("largest column") << maxX << "6143"
                                        << ""
                                        << "6143";
        QTest::newRow("empty") << maxX << "" << kSyntax << "10";
        QTest::newRow("all blank") << maxX << "   " << kSyntax << "10";
        QTest::newRow("minus zero") << maxX << "-0" << kSyntax << "10";
        QTest::newRow("trailing letters") << maxX << "12abc" << kSyntax << "10";
        QTest::newRow("blank inside") << maxX << "1 2" << kSyntax << "10";
        QTest::newRow("hexadecimal") << maxX << "0x10" << kSyntax << "10";
        QTest::newRow("fullwidth digits") << maxX << "\uFF14\uFF12" << kSyntax << "10";
        QTest::newRow("column past the map") << maxX << "6144" << RangeMessage(0, 6143) << "6144";
        QTest::newRow("negative column") << maxX << "-1" << RangeMessage(0, 6143) << "-1";
        QTest::newRow("beyond 32 bits")
            << maxX << "99999999999" << RangeMessage(0, 6143) << "2147483647";
        QTest::newRow("row past the map") << maxY << "4096" << RangeMessage(0, 4095) << "4096";
        QTest::newRow("lowest shift") << offZ << "-256"
                                      << ""
                                      << "-256";
        QTest::newRow("shift too high") << offZ << "257" << RangeMessage(-256, 256) << "257";
        QTest::newRow("shift too low") << offZ << "-257" << RangeMessage(-256, 256) << "-257";
    }
    void numberFieldsAreCheckedByTheSharedRules() {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, rejection);
        QFETCH(QString, stored);
        MissingFilesDialog fixture;
        MainDialog& dialog = fixture.dialog;
        QVERIFY(ShowActive(dialog));
        QLineEdit* edit = dialog.Edit(SettingsField(field));
        edit->setText(text);
        MessageRecorder recorder;

        QTest::mouseClick(fixture.Button(MainDialog::kCopyMapButton), Qt::LeftButton);

        QCOMPARE(QString::fromStdString(FieldText(dialog.Settings(), SettingsField(field))),
                 stored);
        if (rejection.isEmpty()) {
            // The operation ran and reported the missing source.
            QCOMPARE(recorder.Texts(), QStringList(kCannotOpenSourceMap));
            return;
        }
        QCOMPARE(recorder.Texts(), QStringList(rejection));
        QCOMPARE(recorder.messages[0].icon, QMessageBox::Warning);
        QCOMPARE(recorder.messages[0].owner.data(), &dialog);
        QVERIFY(!recorder.messages[0].busyCursor);
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(edit->selectedText(), text);
        QCOMPARE(edit->text(), text);
    }

    void exchangeStopsAtTheFirstRejectedFieldInExchangeOrder() {
        MissingFilesDialog fixture;
        MainDialog& dialog = fixture.dialog;
        QVERIFY(ShowActive(dialog));
        const QString sourceMap = QString::fromStdString(fixture.files.File("other-map0.mul"));
        fixture.Set(SettingsField::SourceMapPath, sourceMap);
        fixture.Set(SettingsField::MinX, "abc");
        fixture.Set(SettingsField::MaxX, "6144");
        fixture.Set(SettingsField::ItemsPath, " spaced.wsc ");
        MessageRecorder recorder;

        // Max. X is taken before Min. X; Items.wsc comes last.
        fixture.Button(MainDialog::kCopyMapButton)->click();
        QCOMPARE(recorder.Texts(), QStringList(RangeMessage(0, 6143)));
        QCOMPARE(QApplication::focusWidget(), dialog.Edit(SettingsField::MaxX));
        QCOMPARE(dialog.Settings().sourceMapPath, sourceMap.toStdString());
        QCOMPARE(dialog.Settings().maxX, 6144);
        QCOMPARE(dialog.Settings().itemsPath, std::string("items.wsc"));

        fixture.Set(SettingsField::MaxX, "5");
        fixture.Button(MainDialog::kCopyStaticsButton)->click();
        QCOMPARE(recorder.Texts(), QStringList({RangeMessage(0, 6143), kSyntax}));
        QCOMPARE(QApplication::focusWidget(), dialog.Edit(SettingsField::MinX));
        QCOMPARE(dialog.Settings().maxX, 5);
        QCOMPARE(dialog.Settings().minX, 0);

        fixture.Set(SettingsField::MinX, "3");
        fixture.Button(MainDialog::kCopyMapButton)->click();
        QCOMPARE(recorder.Texts().last(), QString::fromLatin1(kCannotOpenSourceMap));
        QCOMPARE(dialog.Settings().minX, 3);
        QCOMPARE(dialog.Settings().itemsPath, std::string(" spaced.wsc "));
    }

    void tabVisitsTheTabStopsInTemplateOrder() {
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        const QStringList stops = {"edit1000", "edit1001", "edit1002", "edit1003", "edit1005",
                                   "edit1008", "edit1011", "edit1012", "edit1013", "edit1014",
                                   "edit1015", "edit1016", "button5",  "button6",  "button3",
                                   "button4",  "button2"};
        // The template's stops come first, the controls added beside them
        // (the "..." buttons first) after them, then round to the first stop.
        const QStringList added = {"choose1000", "choose1001", "choose1002", "choose1003",
                                   "choose1005", "mapViewTabs"};
        QStringList forward;
        for (qsizetype i = 0; i < stops.size() - 1 + added.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forward.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(forward, stops.mid(1) + added);
        // Further on come the transplant's controls, in their order, before
        // the round ends at the first stop.
        const QStringList transplant = {"transplantIndex", "transplantData", "transplantReplace",
                                        "transplantButton"};
        QStringList rest;
        for (int i = 0; i < 40 && QApplication::focusWidget()->objectName() != stops.first(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (transplant.contains(QApplication::focusWidget()->objectName())) {
                rest.append(QApplication::focusWidget()->objectName());
            }
        }
        QCOMPARE(rest, transplant);
        QCOMPARE(QApplication::focusWidget()->objectName(), stops.first());
        QStringList backward;
        dialog.Button(MainDialog::kQuitButton)->setFocus();
        for (qsizetype i = 0; i < stops.size() - 1; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            backward.prepend(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(backward, stops.first(stops.size() - 1));
    }

    void keysRunTheOperations_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("message");
        const QString map = QString::fromLatin1(kCannotOpenSourceMap);
        const QString statics = QString::fromLatin1(kCannotOpenStaticsIndex);
        QTest::newRow("Alt+M") << "edit1000" << int(Qt::Key_M) << int(Qt::AltModifier) << map;
        QTest::newRow("Alt+S") << "edit1000" << int(Qt::Key_S) << int(Qt::AltModifier) << statics;
        QTest::newRow("Enter on Copy Map")
            << "button5" << int(Qt::Key_Return) << int(Qt::NoModifier) << map;
        QTest::newRow("Enter on Copy Statics")
            << "button6" << int(Qt::Key_Return) << int(Qt::NoModifier) << statics;
    }
    void keysRunTheOperations() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, message);
        MissingFilesDialog fixture;
        QVERIFY(ShowActive(fixture.dialog));
        auto* target = fixture.dialog.findChild<QWidget*>(focus);
        target->setFocus(Qt::TabFocusReason);
        MessageRecorder recorder;

        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

        // A mnemonic shows the button pressed for a moment before it clicks.
        QTRY_COMPARE(recorder.Texts(), QStringList(message));
        QVERIFY(fixture.dialog.isVisible());
    }

    void dialogEndsWithoutExchange_data() {
        QTest::addColumn<QString>("way");
        for (const char* way : {"Quit button", "Alt+Q", "Enter in an edit field", "Esc",
                                "close box", "Alt+F4", "window menu Close"}) {
            QTest::newRow(way) << QString::fromLatin1(way);
        }
    }
    void dialogEndsWithoutExchange() {
        QFETCH(QString, way);
        MissingFilesDialog fixture;
        MainDialog& dialog = fixture.dialog;
        QVERIFY(ShowActive(dialog));
        fixture.Set(SettingsField::MaxX, "abc");
        fixture.Set(SettingsField::MinX, "7");
        QLineEdit* edit = dialog.Edit(SettingsField::MinX);
        edit->setFocus();
        QSignalSpy rejected(&dialog, &QDialog::rejected);
        MessageRecorder recorder;

        if (way == "Quit button") {
            QTest::mouseClick(fixture.Button(MainDialog::kQuitButton), Qt::LeftButton);
        } else if (way == "Alt+Q") {
            QTest::keyClick(edit, Qt::Key_Q, Qt::AltModifier);
        } else if (way == "Enter in an edit field") {
            QTest::keyClick(edit, Qt::Key_Return);
        } else if (way == "Esc") {
            QTest::keyClick(edit, Qt::Key_Escape);
        } else if (way == "close box") {
            dialog.close();
        } else if (way == "Alt+F4") {
            QTest::keyClick(edit, Qt::Key_F4, Qt::AltModifier);
        } else if (way == "window menu Close") {
            QTest::keyClick(edit, Qt::Key_Space, Qt::AltModifier);
            QVERIFY(dialog.WindowMenu()->isVisible());
            QTest::keyClick(dialog.WindowMenu(), Qt::Key_C);
        }

        QTRY_COMPARE(rejected.count(), 1);
        QVERIFY(!dialog.isVisible());
        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(dialog.Settings().minX, 0);
    }

    void aboutBoxOpensFromTheButtonAndTheWindowMenu_data() {
        QTest::addColumn<QString>("way");
        for (const char* way : {"button", "Alt+A", "Alt+Space menu", "right-click menu"}) {
            QTest::newRow(way) << QString::fromLatin1(way);
        }
    }
    void aboutBoxOpensFromTheButtonAndTheWindowMenu() {
        QFETCH(QString, way);
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        QWidget* focus = QApplication::focusWidget();
        QString caption;
        QWidget* owner = nullptr;
        const bool opened = WhileModal(
            [&] {
                if (way == "button") {
                    dialog.findChild<QPushButton*>(QStringLiteral("button3"))->click();
                } else if (way == "Alt+A") {
                    QTest::keyClick(focus, Qt::Key_A, Qt::AltModifier);
                } else {
                    if (way == "Alt+Space menu") {
                        QTest::keyClick(focus, Qt::Key_Space, Qt::AltModifier);
                    } else {
                        // On a group box's free space, away from the controls.
                        QWidget* free = dialog.findChildren<QGroupBox*>().constFirst();
                        QContextMenuEvent click(QContextMenuEvent::Mouse,
                                                QPoint(2, free->height() - 2),
                                                free->mapToGlobal(QPoint(2, free->height() - 2)));
                        QApplication::sendEvent(free, &click);
                    }
                    if (dialog.WindowMenu()->isVisible()) {
                        QTest::keyClick(dialog.WindowMenu(), Qt::Key_A);
                    }
                }
            },
            [&](QWidget* modal) {
                if (qobject_cast<AboutDialog*>(modal) != nullptr) {
                    caption = modal->windowTitle();
                    owner = modal->parentWidget();
                    QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("button1")),
                                      Qt::LeftButton);
                }
            });
        QVERIFY(opened);
        QCOMPARE(caption, QStringLiteral("About Kestrel"));
        QCOMPARE(owner, &dialog);
        QVERIFY(dialog.isVisible());
    }

    void helpButtonHandsThePageInTheCurrentDirectoryToTheDesktop() {
        TempDir directory;
        WriteText(directory.File("help_index.html"), "<html></html>");
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(directory.Path().string())));
        UrlRecorder desktop;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "Open");
        MainDialog dialog;
        const bool shown = ShowActive(dialog);
        MessageRecorder recorder;

        dialog.findChild<QPushButton*>(QStringLiteral("button4"))->click();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);

        QTRY_COMPARE(desktop.urls.size(), 2);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDir::setCurrent(previous);
        QVERIFY(shown);
        const QUrl page =
            QUrl::fromLocalFile(QString::fromStdString(directory.File("help_index.html")));
        QCOMPARE(desktop.urls, QList<QUrl>({page, page}));
        QVERIFY(recorder.messages.isEmpty());
    }

    void f1OpensTheManualAtTheSectionOfTheFocusedDialog_data() {
        QTest::addColumn<bool>("inAboutBox");
        QTest::addColumn<QString>("section");
        QTest::newRow("main dialog") << false << "main-dialog";
        QTest::newRow("About box") << true << "about-box";
    }
    void f1OpensTheManualAtTheSectionOfTheFocusedDialog() {
        QFETCH(bool, inAboutBox);
        QFETCH(QString, section);
        TempDir install;
        std::filesystem::create_directories(install.Path() / "bin");
        std::filesystem::create_directories(install.Path() / "share/doc/kestrel");
        WriteText(install.File("share/doc/kestrel/help_index.html"), "<html></html>");
        QList<QUrl> opened;
        ContextHelp help(QString::fromStdString(install.File("bin")), [&](const QUrl& url) {
            opened.append(url);
            return true;
        });
        help.Install();
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        MessageRecorder recorder;

        QString focus;
        if (inAboutBox) {
            WhileModal([&] { dialog.findChild<QPushButton*>(QStringLiteral("button3"))->click(); },
                       [&](QWidget*) {
                           focus = QApplication::focusWidget()->objectName();
                           QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
                       });
            QCOMPARE(focus, QStringLiteral("button1"));
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        }

        QUrl manual = QUrl::fromLocalFile(
            QString::fromStdString(install.File("share/doc/kestrel/help_index.html")));
        manual.setFragment(section);
        QCOMPARE(opened, QList<QUrl>({manual}));
        QVERIFY(recorder.messages.isEmpty());
    }

    void f1ReportsAManualThatCannotBeOpened_data() {
        QTest::addColumn<bool>("manualPresent");
        QTest::addColumn<bool>("desktopOpens");
        QTest::addColumn<int>("attempts");
        QTest::newRow("manual missing") << false << true << 0;
        QTest::newRow("desktop refuses") << true << false << 1;
    }
    void f1ReportsAManualThatCannotBeOpened() {
        QFETCH(bool, manualPresent);
        QFETCH(bool, desktopOpens);
        QFETCH(int, attempts);
        TempDir install;
        std::filesystem::create_directories(install.Path() / "bin");
        if (manualPresent) {
            std::filesystem::create_directories(install.Path() / "share/doc/kestrel");
            WriteText(install.File("share/doc/kestrel/help_index.html"), "<html></html>");
        }
        int tried = 0;
        ContextHelp help(QString::fromStdString(install.File("bin")), [&](const QUrl&) {
            ++tried;
            return desktopOpens;
        });
        help.Install();
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        MessageRecorder recorder;

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);

        QCOMPARE(tried, attempts);
        QCOMPARE(recorder.Texts(), QStringList("Failed to launch help."));
        QCOMPARE(recorder.messages[0].icon, QMessageBox::Warning);
        QCOMPARE(recorder.messages[0].owner.data(), &dialog);
    }

    void f1WithShiftCtrlOrAltDoesNothing_data() {
        QTest::addColumn<int>("modifier");
        QTest::newRow("Shift") << int(Qt::ShiftModifier);
        QTest::newRow("Ctrl") << int(Qt::ControlModifier);
        QTest::newRow("Alt") << int(Qt::AltModifier);
    }
    void f1WithShiftCtrlOrAltDoesNothing() {
        QFETCH(int, modifier);
        int tried = 0;
        // No manual here: a help request would show a message.
        ContextHelp help(QStringLiteral("/nonexistent/bin"), [&](const QUrl&) {
            ++tried;
            return true;
        });
        help.Install();
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        MessageRecorder recorder;

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1, Qt::KeyboardModifiers(modifier));

        QCOMPARE(tried, 0);
        QVERIFY(recorder.messages.isEmpty());
        QVERIFY(dialog.isVisible());
    }

    void manualLiesInTheDataTreeBesideTheProgram() {
        QCOMPARE(ManualPath(QStringLiteral("/opt/kestrel/bin")),
                 QStringLiteral("/opt/kestrel/share/doc/kestrel/help_index.html"));
    }

    void theApplicationRunsTheMainDialogModallyAndEndsWithStatusZero() {
        QString caption;
        bool iconSet = false;
        int status = -1;
        const bool opened = WhileModal([&] { status = RunApplication(); },
                                       [&](QWidget* modal) {
                                           caption = modal->windowTitle();
                                           iconSet = !QApplication::windowIcon().isNull();
                                           QTest::keyClick(modal, Qt::Key_Escape);
                                       });
        QVERIFY(opened);
        QCOMPARE(caption, QStringLiteral("Kestrel"));
        QVERIFY(iconSet);
        QCOMPARE(status, 0);
    }
};

int RunBehaviourTests(int argc, char** argv) {
    BehaviourTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kestrel::test

#include "behaviour_test.moc"
