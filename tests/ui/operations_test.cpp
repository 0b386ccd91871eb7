#include <sys/resource.h>

#include <new>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "clientfiles/file_exception.h"
#include "operations/map_region_copy.h"
#include "operations/statics_export.h"
#include "support/temp_dir.h"
#include "ui/main_dialog.h"
#include "ui/remembered_fields.h"
#include "ui/message_box.h"
#include "ui/qt_user_interface.h"
#include "ui/run_command.h"
#include "ui_test_main.h"
#include "ui_test_support.h"

namespace kestrel::test {

namespace {

constexpr std::size_t kBlockBytes = 196;

// Block 0 of a map: header bytes 0xAA, then cell i with tile 0x0100 + i and
// altitude i.
Bytes MapBlock() {
    Bytes block(kBlockBytes, 0xAA);
    for (std::size_t cell = 0; cell < 64; ++cell) {
        block[4 + 3 * cell] = std::uint8_t(cell);
        block[5 + 3 * cell] = 0x01;
        block[6 + 3 * cell] = std::uint8_t(cell);
    }
    return block;
}

// Statics of block 0: one record at cell (2, 3), one at (7, 7).
const Bytes kStaticsIndex = {0x00, 0x00, 0x00, 0x00, 0x0E, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const Bytes kStaticsData = {
    0x56, 0x04, 0x02, 0x03, 0xFB, 0x07, 0x00,  // tile 0x0456, x 2, y 3, z -5, hue 7
    0x01, 0x00, 0x07, 0x07, 0x00, 0x00, 0x00,  // tile 1 at (7, 7)
};
// The record at (2, 3) moved by (100, 200, 10) into the rectangle 0..5 x 0..5.
const std::string kExpectedItems =
    "SECTION WORLDITEM 0\r\n{\r\nSERIAL 1073741824\r\nID 1110\r\nX 102\r\nY 203\r\nZ 5\r\n"
    "TYPE 255\r\nCOLOR 7\r\n}\r\n";

// A shown main dialog whose paths point into a temporary directory.
class FilesDialog {
public:
    FilesDialog() { dialog.show(); }

    QString File(const char* name) const { return QString::fromStdString(files.File(name)); }
    void Set(SettingsField field, const QString& text) { dialog.Edit(field)->setText(text); }
    void Press(int id) {
        dialog.findChild<QPushButton*>(QStringLiteral("button%1").arg(id))->click();
    }
    void SetStaticsRectangle() {
        WriteBytes(files.File("staidx0.mul"), kStaticsIndex);
        WriteBytes(files.File("statics0.mul"), kStaticsData);
        Set(SettingsField::StaticsIndexPath, File("staidx0.mul"));
        Set(SettingsField::StaticsDataPath, File("statics0.mul"));
        Set(SettingsField::ItemsPath, File("items.wsc"));
        Set(SettingsField::MaxX, "5");
        Set(SettingsField::MaxY, "5");
        Set(SettingsField::OffX, "100");
        Set(SettingsField::OffY, "200");
        Set(SettingsField::OffZ, "10");
    }

    TempDir files;
    MainDialog dialog;
};

// Lowers the file-size limit of this process while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }

private:
    rlimit saved{};
};

}  // namespace

class OperationsTest : public QObject {
    Q_OBJECT

private slots:
    // Each test opens the dialog with the defaults, whatever an earlier one
    // left remembered.
    void init() { ForgetFields(); }

    void busyCursorIsTheWaitCursorOverTheWholeApplication() {
        QtUserInterface ui(nullptr);
        ui.BeginBusy();
        const QCursor* during = QGuiApplication::overrideCursor();
        const Qt::CursorShape shape = during != nullptr ? during->shape() : Qt::ArrowCursor;
        ui.EndBusy();
        QCOMPARE(shape, Qt::WaitCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void copyMapCopiesTheRectangleIntoTheDestination() {
        FilesDialog fixture;
        WriteBytes(fixture.files.File("source.mul"), MapBlock());
        WriteBytes(fixture.files.File("dest.mul"), Bytes(kBlockBytes, 0));
        fixture.Set(SettingsField::SourceMapPath, fixture.File("source.mul"));
        fixture.Set(SettingsField::DestMapPath, fixture.File("dest.mul"));
        fixture.Set(SettingsField::MinX, "1");
        fixture.Set(SettingsField::MaxX, "2");
        fixture.Set(SettingsField::MaxY, "0");
        fixture.Set(SettingsField::OffX, "5");
        fixture.Set(SettingsField::OffY, "3");
        fixture.Set(SettingsField::OffZ, "1");
        MessageRecorder recorder;

        fixture.Press(MainDialog::kCopyMapButton);

        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        // Cells (1, 0) and (2, 0) land on (5, 3) and (6, 3), one higher.
        Bytes expected(kBlockBytes, 0);
        const Bytes cells = {0x01, 0x01, 0x02, 0x02, 0x01, 0x03};
        std::copy(cells.begin(), cells.end(), expected.begin() + 4 + (5 + 3 * 8) * 3);
        QVERIFY(ReadBytes(fixture.files.File("dest.mul")) == expected);
        QVERIFY(ReadBytes(fixture.files.File("source.mul")) == MapBlock());
    }

    // The window menu's Undo Last Copy asks first, naming the file, and then
    // puts the old bytes back; it says when there is nothing to undo and when
    // the file changed since.
    void undoLastCopyAsksNamingTheFileAndPutsTheOldBytesBack() {
        FilesDialog fixture;
        const QByteArray savedState = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString(fixture.files.File("state")));
        const std::string dest = fixture.files.File("dest.mul");
        WriteBytes(fixture.files.File("source.mul"), MapBlock());
        WriteBytes(dest, Bytes(kBlockBytes, 0));
        fixture.Set(SettingsField::SourceMapPath, fixture.File("source.mul"));
        fixture.Set(SettingsField::DestMapPath, fixture.File("dest.mul"));
        fixture.Set(SettingsField::MaxX, "3");
        fixture.Set(SettingsField::MaxY, "3");
        fixture.Set(SettingsField::OffZ, "1");
        QAction* undo = nullptr;
        for (QAction* action : fixture.dialog.WindowMenu()->actions()) {
            if (action->text() == QStringLiteral("&Undo Last Copy")) {
                undo = action;
            }
        }
        QVERIFY(undo != nullptr);
        MessageRecorder recorder;
        // Answers the confirmation with button, after checking it names dest.
        const auto undoAnswering = [&](QMessageBox::StandardButton button) {
            QString question;
            const bool asked = WhileModal([&] { undo->trigger(); },
                                          [&](QWidget* modal) {
                                              auto* box = qobject_cast<QMessageBox*>(modal);
                                              question = box->text();
                                              box->button(button)->click();
                                          });
            return asked && question.contains(QString::fromStdString(dest));
        };

        undo->trigger();
        QCOMPARE(recorder.Texts(), QStringList({"There is no copy to undo."}));

        fixture.Press(MainDialog::kCopyMapButton);
        const Bytes copied = ReadBytes(dest);
        QVERIFY(copied != Bytes(kBlockBytes, 0));
        recorder.messages.clear();
        QVERIFY(undoAnswering(QMessageBox::No));
        QVERIFY(recorder.messages.isEmpty());
        QVERIFY(ReadBytes(dest) == copied);
        QVERIFY(undoAnswering(QMessageBox::Yes));
        QCOMPARE(recorder.Texts(),
                 QStringList({QStringLiteral("The copy into %1 was undone.")
                                  .arg(QString::fromStdString(dest))}));
        QVERIFY(ReadBytes(dest) == Bytes(kBlockBytes, 0));

        // Changed by another program after the copy: refused, left alone.
        fixture.Press(MainDialog::kCopyMapButton);
        Bytes changed = ReadBytes(dest);
        changed[10] ^= 0xFF;
        {
            QFile file(QString::fromStdString(dest));
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(10);
            file.write(reinterpret_cast<const char*>(&changed[10]), 1);
        }
        recorder.messages.clear();
        QVERIFY(undoAnswering(QMessageBox::Yes));
        QCOMPARE(recorder.messages.size(), 1);
        QVERIFY(recorder.messages[0].text.contains(QStringLiteral("cannot be undone")));
        QVERIFY(ReadBytes(dest) == changed);
        qputenv("XDG_STATE_HOME", savedState);
    }

    void copyStaticsWritesTheItemsInsideTheRectangle() {
        FilesDialog fixture;
        fixture.SetStaticsRectangle();
        MessageRecorder recorder;

        fixture.Press(MainDialog::kCopyStaticsButton);

        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(ReadText(fixture.files.File("items.wsc")), kExpectedItems);
    }

    void openFailuresAreShownAfterTheBusyCursorEnded_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("sourceMap");
        QTest::addColumn<QString>("destMap");
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("items");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("failedPath");  // named in the details
        QTest::addColumn<QString>("reason");
        const int map = MainDialog::kCopyMapButton;
        const int statics = MainDialog::kCopyStaticsButton;
        const QString missing = QStringLiteral("No such file or directory");
        const QString held = QStringLiteral("Resource temporarily unavailable");
        QTest::newRow("source map missing")
            << map << "missing.mul"
            << "map0.mul"
            << ""
            << ""
            << "" << kCannotOpenSourceMap << "missing.mul" << missing;
        QTest::newRow("statics index missing")
            << statics << ""
            << ""
            << "missing.mul"
            << "statics0.mul"
            << "items.wsc" << kCannotOpenStaticsIndex << "missing.mul" << missing;
        QTest::newRow("statics data is the index")
            << statics << ""
            << ""
            << "staidx0.mul"
            << "staidx0.mul"
            << "items.wsc" << kCannotOpenStaticsData << "staidx0.mul" << held;
        QTest::newRow("items directory missing")
            << statics << ""
            << ""
            << "staidx0.mul"
            << "statics0.mul"
            << "missing/items.wsc" << kCannotOpenItems << "missing/items.wsc" << missing;
    }
    void openFailuresAreShownAfterTheBusyCursorEnded() {
        QFETCH(int, command);
        QFETCH(QString, sourceMap);
        QFETCH(QString, destMap);
        QFETCH(QString, index);
        QFETCH(QString, data);
        QFETCH(QString, items);
        QFETCH(QString, message);
        QFETCH(QString, failedPath);
        QFETCH(QString, reason);
        FilesDialog fixture;
        WriteBytes(fixture.files.File("map0.mul"), MapBlock());
        WriteBytes(fixture.files.File("staidx0.mul"), kStaticsIndex);
        WriteBytes(fixture.files.File("statics0.mul"), kStaticsData);
        const auto in = [&](const QString& name) {
            return QString::fromStdString(fixture.files.File(name.toStdString()));
        };
        fixture.Set(SettingsField::SourceMapPath, in(sourceMap));
        fixture.Set(SettingsField::DestMapPath, in(destMap));
        fixture.Set(SettingsField::StaticsIndexPath, in(index));
        fixture.Set(SettingsField::StaticsDataPath, in(data));
        fixture.Set(SettingsField::ItemsPath, in(items));
        fixture.Set(SettingsField::MaxX, "5");
        fixture.Set(SettingsField::MaxY, "5");
        MessageRecorder recorder;

        fixture.Press(command);

        QCOMPARE(recorder.Texts(), QStringList(message));
        // The details name the path as typed and the system's reason.
        QCOMPARE(recorder.messages[0].details, in(failedPath) + QStringLiteral(": ") + reason);
        QVERIFY(!recorder.messages[0].busyCursor);
        QCOMPARE(recorder.messages[0].icon, QMessageBox::Warning);
        QCOMPARE(recorder.messages[0].owner.data(), &fixture.dialog);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void fileErrorIsReportedWithTheStopIconAndTheDialogStaysUsable() {
        FilesDialog fixture;
        fixture.SetStaticsRectangle();
        MessageRecorder recorder;
        {
            // The first section does not fit under the limit.
            FileSizeLimit limit(10);
            fixture.Press(MainDialog::kCopyStaticsButton);
        }
        QCOMPARE(
            recorder.Texts(),
            QStringList(
                QStringLiteral("Disk full while accessing %1.").arg(fixture.File("items.wsc"))));
        QCOMPARE(recorder.messages[0].icon, QMessageBox::Critical);
        QVERIFY(!recorder.messages[0].busyCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(fixture.dialog.isVisible());
        QVERIFY(fixture.dialog.isEnabled());

        fixture.Press(MainDialog::kCopyStaticsButton);
        QCOMPARE(recorder.messages.size(), 1);
        QCOMPARE(ReadText(fixture.files.File("items.wsc")), kExpectedItems);
    }

    void failuresLeavingACommandAreReported_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::newRow("file error")
            << "file"
            << "Disk full while accessing /x/items.wsc." << int(QMessageBox::Critical);
        QTest::newRow("memory exhausted") << "memory"
                                          << "Out of memory." << int(QMessageBox::Warning);
        QTest::newRow("none") << ""
                              << "" << 0;
    }
    void failuresLeavingACommandAreReported() {
        QFETCH(QString, failure);
        QFETCH(QString, message);
        QFETCH(int, icon);
        MessageRecorder recorder;
        bool ranToTheEnd = false;
        RunCommand(nullptr, [&] {
            if (failure == "file") {
                throw FileException(FileErrorCause::DiskFull, "/x/items.wsc");
            }
            if (failure == "memory") {
                throw std::bad_alloc();
            }
            ranToTheEnd = true;
        });
        if (message.isEmpty()) {
            QVERIFY(ranToTheEnd);
            QVERIFY(recorder.messages.isEmpty());
            return;
        }
        QCOMPARE(recorder.Texts(), QStringList(message));
        QCOMPARE(int(recorder.messages[0].icon), icon);
    }

    void messageBoxIsModalOverTheDialogWithOneOkButton() {
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        QtUserInterface ui(&dialog);
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString details;
        QList<QAbstractButton*> buttons;
        QWidget* owner = nullptr;
        bool modal = false;
        const bool shown = WhileModal([&] { ui.ShowMessage(kCannotOpenSourceMap, {}); },
                                      [&](QWidget* widget) {
                                          auto* box = qobject_cast<QMessageBox*>(widget);
                                          if (box == nullptr) {
                                              return;
                                          }
                                          caption = box->windowTitle();
                                          text = box->text();
                                          details = box->detailedText();
                                          icon = box->icon();
                                          buttons = box->buttons();
                                          owner = box->parentWidget();
                                          modal = box->isModal();
                                          box->button(QMessageBox::Ok)->click();
                                      });
        QVERIFY(shown);
        // The caption is this program's file name.
        QCOMPARE(caption, QStringLiteral("ui_tests"));
        QCOMPARE(text, QString::fromLatin1(kCannotOpenSourceMap));
        QCOMPARE(details, QString());
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(owner, &dialog);
        QVERIFY(modal);
        QVERIFY(dialog.isVisible());
    }

    void messageDetailsAreOfferedBehindTheDetailsButton() {
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        QtUserInterface ui(&dialog);
        QString text;
        QString details;
        const bool shown = WhileModal(
            [&] { ui.ShowMessage(kCannotOpenSourceMap, "/games/map0.mul: Permission denied"); },
            [&](QWidget* widget) {
                if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                    text = box->text();
                    details = box->detailedText();
                    box->button(QMessageBox::Ok)->click();
                }
            });
        QVERIFY(shown);
        QCOMPARE(text, QString::fromLatin1(kCannotOpenSourceMap));
        QCOMPARE(details, QStringLiteral("/games/map0.mul: Permission denied"));
    }

    void messageBoxCaptionFollowsTheProgramFileName() {
        TempDir directory;
        const QString tool = QString::fromStdString(directory.File("Tool"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), tool));
        QVERIFY(
            QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(tool, {QString::fromLatin1(kPrintMessageCaption)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput().trimmed(), QByteArray("Tool"));
    }

    void titleIsTheProgramFileNameWithoutItsExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("installed") << "/usr/bin/Kestrel"
                                   << "Kestrel";
        QTest::newRow("with extension") << "/opt/tools/Tool.exe"
                                        << "Tool";
        QTest::newRow("dots in the name") << "/home/u/my.tool.bin"
                                          << "my.tool";
        QTest::newRow("dotted directory") << "/home/u.v/Kestrel"
                                          << "Kestrel";
    }
    void titleIsTheProgramFileNameWithoutItsExtension() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(TitleFromProgramPath(path), title);
    }
};

int RunOperationsTests(int argc, char** argv) {
    OperationsTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kestrel::test

#include "operations_test.moc"
