#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "ui/about_dialog.h"
#include "ui/dialog_units.h"
#include "ui/main_dialog.h"
#include "ui_test_main.h"
#include "ui_test_support.h"

namespace kestrel::test {

namespace {

// The widget a template row stands for: an edit or button by its name, a
// group box or label by its text.
QWidget* FindControl(QDialog& dialog, const QString& key) {
    if (key.startsWith(QLatin1String("edit")) || key.startsWith(QLatin1String("button"))) {
        return dialog.findChild<QWidget*>(key);
    }
    for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
        if (box->title() == key) {
            return box;
        }
    }
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text() == key) {
            return label;
        }
    }
    return nullptr;
}

// Labels may be wider than the template where the font needs it; their text
// must be shown whole.
void VerifyLabelsShowTheirWholeText(QDialog& dialog) {
    const QFontMetrics metrics(dialog.font());
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        QVERIFY2(label->width() >= metrics.horizontalAdvance(label->text()),
                 qPrintable(label->text()));
    }
}

class AboutTextlessDialog : public MainDialog {
protected:
    QString AboutMenuText() const override { return QString(); }
};

QStringList ActionTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void dialogUnitsConvertEachEdgeWithTheFontMetrics_data() {
        QTest::addColumn<int>("charWidth");
        QTest::addColumn<int>("charHeight");
        QTest::addColumn<QRect>("units");
        QTest::addColumn<QRect>("pixels");
        // Halves round up; widths come from the converted edges.
        QTest::newRow("8-point MS Sans Serif")
            << 6 << 13 << QRect(57, 16, 114, 12) << QRect(86, 26, 171, 20);
        QTest::newRow("wider font") << 7 << 13 << QRect(57, 16, 114, 12) << QRect(100, 26, 199, 20);
        QTest::newRow("larger font")
            << 8 << 16 << QRect(57, 16, 114, 12) << QRect(114, 32, 228, 24);
        QTest::newRow("edges rounded apart") << 6 << 13 << QRect(1, 1, 1, 1) << QRect(2, 2, 1, 1);
    }
    void dialogUnitsConvertEachEdgeWithTheFontMetrics() {
        QFETCH(int, charWidth);
        QFETCH(int, charHeight);
        QFETCH(QRect, units);
        QFETCH(QRect, pixels);
        const DialogUnits converter(charWidth, charHeight);
        QCOMPARE(converter.Rect(units.x(), units.y(), units.width(), units.height()), pixels);
    }

    void mainDialogPlacesControlsByTheTemplate_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("units");
        QTest::newRow("StaIdx0.mul edit") << "edit1000" << QRect(57, 16, 114, 12);
        QTest::newRow("destination Map0.mul edit") << "edit1005" << QRect(57, 95, 114, 12);
        QTest::newRow("Off Z edit") << "edit1016" << QRect(220, 64, 23, 12);
        QTest::newRow("Copy Map") << "button5" << QRect(192, 93, 50, 14);
        QTest::newRow("Copy Statics") << "button6" << QRect(254, 93, 50, 14);
        QTest::newRow("About") << "button3" << QRect(12, 130, 50, 14);
        QTest::newRow("Help") << "button4" << QRect(140, 130, 50, 14);
        QTest::newRow("Quit") << "button2" << QRect(253, 130, 50, 14);
        QTest::newRow("Copy Rectangle") << "Copy Rectangle" << QRect(188, 7, 120, 75);
        QTest::newRow("Min. Y:") << "Min. Y:" << QRect(252, 21, 25, 8);
        QTest::newRow("(relative value)") << "(relative value)" << QRect(245, 67, 47, 8);
    }
    void mainDialogPlacesControlsByTheTemplate() {
        QFETCH(QString, control);
        QFETCH(QRect, units);
        MainDialog dialog;
        QWidget* widget = FindControl(dialog, control);
        QVERIFY(widget != nullptr);
        const QRect expected =
            DialogUnits(dialog.font()).Rect(units.x(), units.y(), units.width(), units.height());
        if (qobject_cast<QLabel*>(widget) != nullptr) {
            QCOMPARE(widget->pos(), expected.topLeft());
            QCOMPARE(widget->height(), expected.height());
            QVERIFY(widget->width() >= expected.width());
        } else {
            QCOMPARE(widget->geometry(), expected);
        }
    }

    void mainDialogHasTheTemplatesControlsAndFixedSize() {
        MainDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Kestrel"));
        const QSize size = DialogUnits(dialog.font()).Size(315, 151);
        QCOMPARE(dialog.minimumSize(), size);
        QCOMPARE(dialog.maximumSize(), size);
        QCOMPARE(dialog.findChildren<QGroupBox*>().size(), 3);
        QCOMPARE(dialog.findChildren<QLabel*>().size(), 13);
        QCOMPARE(dialog.findChildren<QLineEdit*>().size(), 12);
        QStringList buttons;
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            buttons.append(button->text() +
                           (button->isDefault() ? QStringLiteral(" (default)") : QString()));
        }
        QCOMPARE(buttons,
                 QStringList({"Copy &Map", "Copy &Statics", "&About", "&Help", "&Quit (default)"}));
        VerifyLabelsShowTheirWholeText(dialog);
    }

    void mainDialogOpensWithTheDefaultsAndTheFocusInTheStaticsIndexField() {
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        const QList<std::pair<SettingsField, QString>> expected = {
            {SettingsField::SourceMapPath, "e:\\ultimaonline\\map0.mul"},
            {SettingsField::StaticsIndexPath, "e:\\ultimaonline\\staidx0.mul"},
            {SettingsField::StaticsDataPath, "e:\\ultimaonline\\statics0.mul"},
            {SettingsField::DestMapPath, "e:\\ultimaonline\\map0.mul"},
            {SettingsField::MaxX, "10"},
            {SettingsField::MinX, "0"},
            {SettingsField::OffX, "0"},
            {SettingsField::MaxY, "10"},
            {SettingsField::MinY, "0"},
            {SettingsField::OffY, "0"},
            {SettingsField::OffZ, "0"},
            {SettingsField::ItemsPath, "items.wsc"},
        };
        for (const auto& [field, text] : expected) {
            QCOMPARE(dialog.Edit(field)->text(), text);
        }
        QLineEdit* first = dialog.findChild<QLineEdit*>(QStringLiteral("edit1000"));
        QCOMPARE(QApplication::focusWidget(), first);
        QCOMPARE(first->selectedText(), first->text());
        const QList<QSize> iconSizes = dialog.windowIcon().availableSizes();
        QVERIFY(iconSizes.contains(QSize(16, 16)));
        QVERIFY(iconSizes.contains(QSize(32, 32)));
    }

    void windowMenuEndsWithASeparatorAndTheAboutItem() {
        MainDialog dialog;
        dialog.show();
        QCOMPARE(ActionTexts(*dialog.WindowMenu()),
                 QStringList({"&Close", "-", "&About Kestrel..."}));
    }

    void windowMenuGetsNoAboutItemWhenItsTextIsEmpty() {
        AboutTextlessDialog dialog;
        dialog.show();
        QCOMPARE(ActionTexts(*dialog.WindowMenu()), QStringList({"&Close"}));
    }

    void aboutBoxFollowsItsTemplate() {
        AboutDialog about;
        QVERIFY(ShowActive(about));
        const DialogUnits units(about.font());
        QCOMPARE(about.windowTitle(), QStringLiteral("About Kestrel"));
        QCOMPARE(about.minimumSize(), units.Size(235, 55));
        QCOMPARE(about.maximumSize(), units.Size(235, 55));

        // The version and the year come from the project's version record.
        QWidget* version = FindControl(about, QStringLiteral("Kestrel Version %1.%2")
                                                  .arg(KESTREL_VERSION_MAJOR)
                                                  .arg(KESTREL_VERSION_MINOR));
        QVERIFY(version != nullptr);
        QCOMPARE(version->pos(), units.Rect(40, 10, 119, 8).topLeft());
        QWidget* copyright = FindControl(
            about, QStringLiteral("(C) %1 The Kestrel developers").arg(KESTREL_RELEASE_YEAR));
        QVERIFY(copyright != nullptr);
        QCOMPARE(copyright->pos(), units.Rect(40, 25, 119, 8).topLeft());
        VerifyLabelsShowTheirWholeText(about);

        auto* ok = about.findChild<QPushButton*>(QStringLiteral("button1"));
        QVERIFY(ok != nullptr);
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        QCOMPARE(ok->geometry(), units.Rect(178, 7, 50, 14));
        QCOMPARE(QApplication::focusWidget(), ok);

        QLabel* icon = nullptr;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) {
                icon = label;
            }
        }
        QVERIFY(icon != nullptr);
        QCOMPARE(icon->geometry(), QRect(units.Rect(11, 17, 20, 20).topLeft(), QSize(32, 32)));
        QVERIFY(about.windowIcon().availableSizes().contains(QSize(16, 16)));
    }
};

int RunLayoutTests(int argc, char** argv) {
    LayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kestrel::test

#include "layout_test.moc"
