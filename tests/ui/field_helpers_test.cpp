#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "operations/settings_exchange.h"
#include "support/temp_dir.h"
#include "ui/context_help.h"
#include "ui/main_dialog.h"
#include "ui/path_fields.h"
#include "ui/remembered_fields.h"
#include "ui_test_main.h"
#include "ui_test_support.h"

namespace kestrel::test {

namespace {

// Records the URLs that the desktop is asked to open.
class OpenedUrls : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

QString Native(const TempDir& directory, const char* name) {
    return QDir::toNativeSeparators(QString::fromStdString(directory.File(name)));
}

QAction* MenuAction(const MainDialog& dialog, const QString& text) {
    for (QAction* action : dialog.WindowMenu()->actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

class FieldHelpersTest : public QObject {
    Q_OBJECT

private slots:
    void init() { ForgetFields(); }

    void fieldsAreRememberedAndResetPutsBackTheDefaults() {
        const QString typed[] = {QStringLiteral(" shard/out.wsc "), QStringLiteral("42"),
                                 QStringLiteral("not a number")};
        {
            MainDialog first;
            QVERIFY(ShowActive(first));
            first.Edit(SettingsField::ItemsPath)->setText(typed[0]);
            first.Edit(SettingsField::MaxX)->setText(typed[1]);
            first.Edit(SettingsField::OffZ)->setText(typed[2]);
            first.Button(MainDialog::kQuitButton)->click();
            QVERIFY(!first.isVisible());
        }
        MainDialog second;
        QVERIFY(ShowActive(second));
        QCOMPARE(second.Edit(SettingsField::ItemsPath)->text(), typed[0]);
        QCOMPARE(second.Edit(SettingsField::MaxX)->text(), typed[1]);
        QCOMPARE(second.Edit(SettingsField::OffZ)->text(), typed[2]);
        QCOMPARE(second.Edit(SettingsField::MinX)->text(), QStringLiteral("0"));

        QAction* reset = MenuAction(second, QStringLiteral("&Reset Fields"));
        QVERIFY(reset != nullptr);
        reset->trigger();
        const CopySettings defaults;
        for (const FieldDescription& field : kSettingsFields) {
            QCOMPARE(second.Edit(field.field)->text(),
                     QString::fromStdString(FieldText(defaults, field.field)));
        }
        // The defaults are what the next run remembers.
        second.close();
        MainDialog third;
        QVERIFY(ShowActive(third));
        QCOMPARE(third.Edit(SettingsField::ItemsPath)->text(), QStringLiteral("items.wsc"));
    }

    void helpWithoutAPageHereOpensTheInstalledGuide() {
        TempDir directory;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(directory.Path().string())));
        OpenedUrls desktop;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "Open");
        MainDialog dialog;
        const bool shown = ShowActive(dialog);
        MessageRecorder recorder;
        dialog.Button(MainDialog::kHelpButton)->click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDir::setCurrent(previous);
        QVERIFY(shown);

        // The test program sits in bin/ of the build tree, beside the guide's
        // share/ tree, as the installed program does.
        const QString guide = ManualPath(QCoreApplication::applicationDirPath());
        QVERIFY2(QFileInfo(guide).isFile(), qPrintable(guide));
        QCOMPARE(desktop.urls.size(), 1);
        QCOMPARE(desktop.urls[0].toLocalFile(), guide);
        QCOMPARE(desktop.urls[0].fragment(), QStringLiteral("main-dialog"));
        QVERIFY(recorder.messages.isEmpty());
    }

    void clientFolderFilesAreFoundInAnyCase_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("preferred");
        QTest::addColumn<QStringList>("found");  // map, index, data
        QTest::newRow("classic names") << QStringList{"map0.mul", "staidx0.mul", "statics0.mul"}
                                       << 0
                                       << QStringList{"map0.mul", "staidx0.mul", "statics0.mul"};
        QTest::newRow("any case") << QStringList{"MAP0.MUL", "StaIdx0.Mul", "STATICS0.mul"} << 0
                                  << QStringList{"MAP0.MUL", "StaIdx0.Mul", "STATICS0.mul"};
        QTest::newRow("uop map")
            << QStringList{"map0LegacyMUL.uop", "staidx0.mul", "statics0.mul"} << 0
            << QStringList{"map0LegacyMUL.uop", "staidx0.mul", "statics0.mul"};
        QTest::newRow("mul before uop")
            << QStringList{"map0LegacyMUL.uop", "map0.mul", "staidx0.mul"} << 0
            << QStringList{"map0.mul", "staidx0.mul", ""};
        QTest::newRow("preferred facet")
            << QStringList{"map0.mul", "map2.mul", "staidx2.mul", "statics2.mul"} << 2
            << QStringList{"map2.mul", "staidx2.mul", "statics2.mul"};
        QTest::newRow("lowest facet without the preferred")
            << QStringList{"map3.mul", "map1.mul", "staidx1.mul"} << 0
            << QStringList{"map1.mul", "staidx1.mul", ""};
        QTest::newRow("no map") << QStringList{"staidx0.mul", "statics0.mul", "mapx.mul"} << 0
                                << QStringList{"", "", ""};
    }
    void clientFolderFilesAreFoundInAnyCase() {
        QFETCH(QStringList, files);
        QFETCH(int, preferred);
        QFETCH(QStringList, found);
        TempDir folder;
        for (const QString& file : files) {
            WriteText(folder.File(file.toStdString()), "x");
        }
        const QString path = QString::fromStdString(folder.Path().string());
        const ClientFolderFiles result = FindClientFiles(path, preferred);
        const auto expected = [&](const QString& name) {
            return name.isEmpty() ? QString() : QDir::toNativeSeparators(QDir(path).filePath(name));
        };
        QCOMPARE(result.map, expected(found[0]));
        QCOMPARE(result.staticsIndex, expected(found[1]));
        QCOMPARE(result.staticsData, expected(found[2]));
    }

    void aClientFolderFillsTheSourceOrTheDestination() {
        TempDir folder;
        for (const char* name : {"Map2.mul", "staidx2.mul", "statics2.mul", "map0.mul"}) {
            WriteText(folder.File(name), "x");
        }
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        const QString path = QString::fromStdString(folder.Path().string());
        dialog.Edit(SettingsField::SourceMapPath)->setText(QStringLiteral("old/map2.mul"));
        dialog.FillSourceFromFolder(path);
        QCOMPARE(dialog.Edit(SettingsField::SourceMapPath)->text(), Native(folder, "Map2.mul"));
        QCOMPARE(dialog.Edit(SettingsField::StaticsIndexPath)->text(),
                 Native(folder, "staidx2.mul"));
        QCOMPARE(dialog.Edit(SettingsField::StaticsDataPath)->text(),
                 Native(folder, "statics2.mul"));
        dialog.FillDestinationFromFolder(path);
        QCOMPARE(dialog.Edit(SettingsField::DestMapPath)->text(), Native(folder, "map0.mul"));

        TempDir empty;
        MessageRecorder recorder;
        dialog.FillDestinationFromFolder(QString::fromStdString(empty.Path().string()));
        QCOMPARE(recorder.messages.size(), 1);
        QCOMPARE(dialog.Edit(SettingsField::DestMapPath)->text(), Native(folder, "map0.mul"));
    }

    void aFileDroppedOnAFieldFillsIt() {
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        QLineEdit* edit = dialog.Edit(SettingsField::StaticsDataPath);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/srv/client/statics0.mul"))});
        const QPoint at = edit->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &drop);
        QCOMPARE(edit->text(), QStringLiteral("/srv/client/statics0.mul"));
    }

    void everyPathFieldHasAChooserAfterTheTemplatesControls() {
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        for (const FieldDescription& field : kSettingsFields) {
            QPushButton* chooser = dialog.ChooseButton(field.field);
            QCOMPARE(chooser != nullptr, field.path != nullptr);
            if (chooser != nullptr) {
                const QRect edit = dialog.Edit(field.field)->geometry();
                QCOMPARE(chooser->geometry().top(), edit.top());
                QVERIFY(chooser->geometry().left() > edit.right());
            }
        }
    }
};

int RunFieldHelpersTests(int argc, char** argv) {
    FieldHelpersTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kestrel::test

#include "field_helpers_test.moc"
