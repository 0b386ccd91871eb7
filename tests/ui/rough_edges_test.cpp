#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include "operations/sample_world.h"
#include "support/temp_dir.h"
#include "ui/context_help.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/remembered_fields.h"
#include "ui_test_main.h"
#include "ui_test_support.h"

namespace kestrel::test {

namespace {

constexpr int kReaderBytes = 100;

// The label of a message box that shows text.
QLabel* TextLabel(QWidget* box) {
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text().contains(QChar(u'/'))) {
            return label;
        }
    }
    return nullptr;
}

}  // namespace

class RoughEdgesTest : public QObject {
    Q_OBJECT

private slots:
    void init() { ForgetFields(); }

    // The items script is a pipe whose reader leaves after 100 bytes: the
    // write fails, the dialog says so and stays.
    void aPipeWhoseReaderLeavesIsReportedAndTheDialogStays() {
        TempDir world;
        SampleWorldOptions options;
        options.blockColumns = 16;
        WriteSampleWorld(world.Path(), options);
        const std::string fifo = world.File("items.wsc");
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kCopyStaticsInto), QString::fromStdString(fifo),
                     QString::fromStdString(world.File("staidx0.mul")),
                     QString::fromStdString(world.File("statics0.mul"))});
        QVERIFY(child.waitForStarted());
        // Opening blocks until the dialog opens the pipe for writing.
        const int reader = ::open(fifo.c_str(), O_RDONLY);
        QVERIFY(reader >= 0);
        char bytes[kReaderBytes];
        int taken = 0;
        while (taken < kReaderBytes) {
            const ssize_t got = ::read(reader, bytes + taken, std::size_t(kReaderBytes - taken));
            if (got <= 0) {
                break;
            }
            taken += int(got);
        }
        ::close(reader);
        QCOMPARE(taken, kReaderBytes);
        QVERIFY(child.waitForFinished(60000));

        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QString shown = QString::fromLocal8Bit(child.readAllStandardOutput());
        QVERIFY2(shown.startsWith(QStringLiteral("An unknown error occurred while accessing ") +
                                  QString::fromStdString(fifo)),
                 qPrintable(shown));
        QVERIFY2(shown.endsWith(QStringLiteral("dialog still open: yes\n")), qPrintable(shown));
    }

    // F1 in a message box over the dialog: the box has no help of its own,
    // and the dialog's must not open behind it (nor a second box).
    void f1InAMessageBoxOpensNothingMore() {
        int tried = 0;
        ContextHelp help(QStringLiteral("/nonexistent/bin"), [&](const QUrl&) {
            ++tried;
            return true;
        });
        help.Install();
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        int boxes = 0;
        const bool seen = WhileModal(
            [&] { ShowMessageBox(QStringLiteral("Failed to launch help."), QMessageBox::Warning, &dialog); },
            [&](QWidget* box) {
                MessageRecorder recorder;
                for (int press = 0; press < 3; ++press) {
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
                }
                boxes = int(recorder.messages.size());
                QCOMPARE(QApplication::activeModalWidget(), box);
            });
        QVERIFY(seen);
        QCOMPARE(boxes, 0);
        QCOMPARE(tried, 0);
        // F1 in the dialog itself still asks for its help.
        MessageRecorder recorder;
        QTest::keyClick(dialog.Edit(SettingsField::MaxX), Qt::Key_F1);
        QCOMPARE(recorder.Texts(), QStringList(QString::fromLatin1(kHelpLaunchFailedMessage)));
    }

    // A 790-character path in a message shows whole, wrapped inside the box
    // and the box inside the screen.
    void aLongPathInAMessageWrapsWithinTheScreen() {
        QString path = QStringLiteral("/home/builder/shard");
        while (path.size() < 780) {
            path += QStringLiteral("/deeper-folder");
        }
        path += QStringLiteral("/map0.mul");
        const QString text = QStringLiteral("Disk full while accessing %1.").arg(path);
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        QRect screen;
        QRect boxFrame;
        QString shown;
        QRect needed;
        QRect label;
        const bool seen =
            WhileModal([&] { ShowMessageBox(text, QMessageBox::Critical, &dialog); },
                       [&](QWidget* box) {
                           screen = box->screen()->availableGeometry();
                           boxFrame = box->frameGeometry();
                           QLabel* textLabel = TextLabel(box);
                           QVERIFY(textLabel != nullptr);
                           shown = textLabel->text();
                           label = textLabel->contentsRect();
                           // As the label lays its text out.
                           const int flags = textLabel->wordWrap() ? Qt::TextWordWrap : 0;
                           needed = textLabel->fontMetrics().boundingRect(
                               label, flags | Qt::AlignLeft, shown);
                       });
        QVERIFY(seen);
        QCOMPARE(shown, text);
        QVERIFY2(needed.width() <= label.width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(needed.width()).arg(label.width())));
        QVERIFY(needed.height() <= label.height());
        QVERIFY2(screen.contains(boxFrame),
                 qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                .arg(boxFrame.x())
                                .arg(boxFrame.y())
                                .arg(boxFrame.width())
                                .arg(boxFrame.height())
                                .arg(screen.width())
                                .arg(screen.height())));
    }

    // Line breaks pasted into a one-line field are dropped; blanks stay.
    void pastedLineBreaksAreDroppedAndBlanksKept_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::newRow("trailing line end") << "shard/out.wsc\n"
                                           << "shard/out.wsc";
        QTest::newRow("CR LF and blanks") << " my shard/out put.wsc \r\n"
                                          << " my shard/out put.wsc ";
        QTest::newRow("break inside") << "shard/\nout.wsc"
                                      << "shard/out.wsc";
        QTest::newRow("tabs stay") << "a\tb"
                                   << "a\tb";
    }
    void pastedLineBreaksAreDroppedAndBlanksKept() {
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        QLineEdit* edit = dialog.Edit(SettingsField::ItemsPath);
        edit->clear();
        edit->setFocus();
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), kept);
        QCOMPARE(edit->cursorPosition(), int(kept.size()));
    }
};

int RunRoughEdgesTests(int argc, char** argv) {
    RoughEdgesTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kestrel::test

#include "rough_edges_test.moc"
