#include <stdlib.h>

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "clientfiles/map_file.h"
#include "support/map_fixture.h"
#include "support/statics_model.h"
#include "support/temp_dir.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/transplant_panel.h"
#include "ui_test_main.h"
#include "ui_test_support.h"

namespace kestrel::test {

namespace {

// The mnemonic letter of a control's text, lower case: the one after '&'.
QChar Mnemonic(const QString& text) {
    const qsizetype at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
}

}  // namespace

class TransplantPanelTest : public QObject {
    Q_OBJECT

private slots:
    void newControlsUseMnemonicsOfTheirOwnAndQuitStaysTheDefault() {
        MainDialog dialog;
        TransplantPanel* panel = dialog.Transplant();
        QVERIFY(panel != nullptr);
        const QString taken = QStringLiteral("msahq");
        QList<QChar> letters;
        for (const QString& text : {panel->ReplaceButton()->text(), panel->AddButton()->text(),
                                    panel->TransplantButton()->text()}) {
            const QChar letter = Mnemonic(text);
            QVERIFY2(!letter.isNull(), qPrintable(text));
            QVERIFY2(!taken.contains(letter), qPrintable(text));
            QVERIFY2(!letters.contains(letter), qPrintable(text));
            letters.append(letter);
        }
        QVERIFY(dialog.Button(MainDialog::kQuitButton)->isDefault());
        QVERIFY(!panel->TransplantButton()->isDefault());
        // The panel lies below the template, inside the dialog.
        QVERIFY(panel->geometry().top() >= dialog.Button(MainDialog::kQuitButton)->geometry().bottom());
        QVERIFY(dialog.rect().contains(panel->geometry()));
    }

    void theTransplantRunsFromTheFieldsAndReportsItsSummary() {
        TempDir dir;
        ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
        const Bytes sourceMap = PatternBytes(2 * kMapBlockColumnBytes, 1);
        const Bytes destMap = PatternBytes(2 * kMapBlockColumnBytes, 2);
        CellStatics sourceCells;
        sourceCells[{1, 2}] = {{0x100, 10, 0}, {0x101, 12, 3}};
        sourceCells[{9, 9}] = {{0x102, 0, 0}};
        CellStatics destCells;
        destCells[{5, 6}] = {{0x200, 1, 0}};
        destCells[{20, 20}] = {{0x201, 2, 0}};
        const ModelPair source = EncodeStatics(sourceCells, MapGeometry{}, 1);
        const ModelPair dest = EncodeStatics(destCells, MapGeometry{}, 2);
        WriteBytes(dir.File("map0.mul"), sourceMap);
        WriteBytes(dir.File("staidx0.mul"), source.index);
        WriteBytes(dir.File("statics0.mul"), source.data);
        WriteBytes(dir.File("dest-map0.mul"), destMap);
        WriteBytes(dir.File("dest-staidx0.mul"), dest.index);
        WriteBytes(dir.File("dest-statics0.mul"), dest.data);

        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        const auto set = [&](SettingsField field, const std::string& text) {
            dialog.Edit(field)->setText(QString::fromStdString(text));
        };
        set(SettingsField::SourceMapPath, dir.File("map0.mul"));
        set(SettingsField::StaticsIndexPath, dir.File("staidx0.mul"));
        set(SettingsField::StaticsDataPath, dir.File("statics0.mul"));
        set(SettingsField::DestMapPath, dir.File("dest-map0.mul"));
        set(SettingsField::MaxX, "10");
        set(SettingsField::MaxY, "10");
        set(SettingsField::OffX, "4");
        set(SettingsField::OffY, "4");
        set(SettingsField::OffZ, "2");
        TransplantPanel* panel = dialog.Transplant();
        panel->IndexEdit()->setText(QString::fromStdString(dir.File("dest-staidx0.mul")));
        panel->DataEdit()->setText(QString::fromStdString(dir.File("dest-statics0.mul")));
        panel->AddButton()->setChecked(true);

        QList<ShownMessage> shown;
        SetMessageBoxHook([&](const ShownMessage& message) { shown.append(message); });
        // Alt+T presses the button from wherever the focus is; a mnemonic
        // shows the button pressed for a moment before it clicks.
        QLineEdit* focus = dialog.Edit(SettingsField::OffZ);
        focus->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focus, Qt::Key_T, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 5000);
        SetMessageBoxHook({});
        QCOMPARE(shown[0].icon, QMessageBox::Information);
        QVERIFY2(shown[0].text.contains(QStringLiteral("statics moved: 3")),
                 qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains(QStringLiteral("land cells copied: 121")),
                 qPrintable(shown[0].text));
        CopySettings settings;
        settings.maxX = settings.maxY = 10;
        settings.offX = settings.offY = 4;
        settings.offZ = 2;
        QCOMPARE(ReadBytes(dir.File("dest-map0.mul")), ExpectedMapCopy(sourceMap, destMap, settings));
        ModelCounts counts;
        const CellStatics expected = ExpectedTransplant(sourceCells, MapGeometry{}, destCells,
                                                        MapGeometry{}, {0, 10, 0, 10, 4, 4, 2, true},
                                                        counts);
        QVERIFY(DecodeStatics(ReadBytes(dir.File("dest-staidx0.mul")),
                              ReadBytes(dir.File("dest-statics0.mul")), MapGeometry{}) == expected);
    }

    void theSizeGivenForAMapThatFitsTwoFacetsIsTheOneTransplanted() {
        // A source map of Malas's length under a name that tells no facet:
        // the dialog asks, and the transplant reads the map at the size given.
        constexpr MapGeometry kMalas{2560, 2048};
        TempDir dir;
        ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
        const Bytes sourceMap = PatternBytes(static_cast<std::size_t>(kMalas.BlockCount()) *
                                                 kMapBlockBytes, 3);
        const Bytes destMap = PatternBytes(2 * kMapBlockColumnBytes, 4);
        const ModelPair source = EncodeStatics({}, kMalas, 3);
        const ModelPair dest = EncodeStatics({}, MapGeometry{}, 4);
        WriteBytes(dir.File("island.mul"), sourceMap);
        WriteBytes(dir.File("staidx.mul"), source.index);
        WriteBytes(dir.File("statics.mul"), source.data);
        WriteBytes(dir.File("dest-map0.mul"), destMap);
        WriteBytes(dir.File("dest-staidx0.mul"), dest.index);
        WriteBytes(dir.File("dest-statics0.mul"), dest.data);

        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        const auto set = [&](SettingsField field, const std::string& text) {
            dialog.Edit(field)->setText(QString::fromStdString(text));
        };
        set(SettingsField::SourceMapPath, dir.File("island.mul"));
        set(SettingsField::StaticsIndexPath, dir.File("staidx.mul"));
        set(SettingsField::StaticsDataPath, dir.File("statics.mul"));
        set(SettingsField::DestMapPath, dir.File("dest-map0.mul"));
        // Columns past 2047 are in the map only at Malas's width.
        set(SettingsField::MinX, "2500");
        set(SettingsField::MaxX, "2510");
        set(SettingsField::MinY, "0");
        set(SettingsField::MaxY, "10");
        for (const SettingsField field : {SettingsField::OffX, SettingsField::OffY,
                                          SettingsField::OffZ}) {
            set(field, "0");
        }
        TransplantPanel* panel = dialog.Transplant();
        panel->IndexEdit()->setText(QString::fromStdString(dir.File("dest-staidx0.mul")));
        panel->DataEdit()->setText(QString::fromStdString(dir.File("dest-statics0.mul")));

        int asked = 0;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* question = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                ++asked;
                question->accept();  // the first choice, Malas
            }
        });
        answer.start(20);
        QList<ShownMessage> shown;
        SetMessageBoxHook([&](const ShownMessage& message) { shown.append(message); });
        panel->TransplantButton()->click();
        SetMessageBoxHook({});
        answer.stop();
        QCOMPARE(asked, 1);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].icon == QMessageBox::Information, qPrintable(shown[0].text));
        QCOMPARE(ReadBytes(dir.File("dest-map0.mul")),
                 ExpectedMapCopy(sourceMap, {kMalas.width, kMalas.height}, destMap,
                                 {6144, 4096}, Rectangle(2500, 2510, 0, 10, 0, 0, 0)));
    }

    void aFailureIsShownAndNothingChanges() {
        TempDir dir;
        ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
        WriteBytes(dir.File("map0.mul"), PatternBytes(kMapBlockColumnBytes, 1));
        const Bytes destMap = PatternBytes(kMapBlockColumnBytes, 2);
        WriteBytes(dir.File("dest-map0.mul"), destMap);
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        dialog.Edit(SettingsField::SourceMapPath)->setText(QString::fromStdString(dir.File("map0.mul")));
        dialog.Edit(SettingsField::DestMapPath)->setText(QString::fromStdString(dir.File("dest-map0.mul")));
        dialog.Transplant()->IndexEdit()->setText(QString::fromStdString(dir.File("missing.mul")));
        QList<ShownMessage> shown;
        SetMessageBoxHook([&](const ShownMessage& message) { shown.append(message); });
        dialog.Transplant()->TransplantButton()->click();
        SetMessageBoxHook({});
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, QMessageBox::Warning);
        QVERIFY2(shown[0].text.contains(QStringLiteral("missing.mul")), qPrintable(shown[0].text));
        QCOMPARE(ReadBytes(dir.File("dest-map0.mul")), destMap);
    }
};

int RunTransplantPanelTests(int argc, char** argv) {
    TransplantPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kestrel::test

#include "transplant_panel_test.moc"
