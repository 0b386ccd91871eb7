#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "ui/about_dialog.h"
#include "ui/dialog_template.h"
#include "ui/dialog_units.h"
#include "ui/main_dialog.h"
#include "ui/transplant_panel.h"
#include "ui/map_views_panel.h"
#include "ui/remembered_fields.h"
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
    // Each test opens the dialog with the defaults, whatever an earlier one
    // left remembered.
    void init() { ForgetFields(); }

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

    void aDialogTemplatePlacesEachControlInDialogUnitsInTemplateOrder() {
        const ControlTemplate controls[] = {
            {ControlKind::GroupBox, kNoControlId, "Frame", 4, 4, 100, 40},
            {ControlKind::Label, kNoControlId, "Name:", 8, 16, 30, 8},
            {ControlKind::Edit, 71, "", 40, 14, 60, 12},
            {ControlKind::PushButton, 72, "&Go", 110, 4, 40, 14},
            {ControlKind::DefaultPushButton, 73, "&Stop", 110, 24, 40, 14},
        };
        QDialog dialog;
        const std::vector<QWidget*> created =
            BuildDialog(dialog, QStringLiteral("Template"), 160, 50, controls);
        QVERIFY(ShowActive(dialog));
        const DialogUnits units(dialog.font());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Template"));
        QCOMPARE(dialog.minimumSize(), units.Size(160, 50));
        QCOMPARE(dialog.maximumSize(), units.Size(160, 50));
        QCOMPARE(created.size(), std::size(controls));
        for (std::size_t i = 0; i < created.size(); ++i) {
            const ControlTemplate& control = controls[i];
            const QRect rect = units.Rect(control.x, control.y, control.width, control.height);
            if (control.kind == ControlKind::Label) {
                QCOMPARE(created[i]->pos(), rect.topLeft());
                QVERIFY(created[i]->width() >= rect.width());
            } else {
                QCOMPARE(created[i]->geometry(), rect);
            }
        }
        QCOMPARE(created[2]->objectName(), QStringLiteral("edit71"));
        QCOMPARE(created[3]->objectName(), QStringLiteral("button72"));
        QVERIFY(static_cast<QPushButton*>(created[4])->isDefault());
        // Tab order is template order.
        created[2]->setFocus();
        QTest::keyClick(created[2], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), created[3]);
        QTest::keyClick(created[3], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), created[4]);
    }

    // Whatever the font: every edit and button lies inside the dialog, none
    // overlaps another, every edit lies inside a group box and has a label at
    // its left on the same line.
    void mainDialogControlsLieInsideItAndApart() {
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        // Geometries in the dialog's coordinates, for the transplant panel's
        // controls as much as for the template's.
        const auto inDialog = [&](const QWidget* widget) {
            return QRect(widget->mapTo(&dialog, QPoint(0, 0)), widget->size());
        };
        QList<QWidget*> controls;
        for (QLineEdit* edit : dialog.findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)) {
            controls.append(edit);
        }
        for (QPushButton* button : dialog.findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
            controls.append(button);
        }
        // The template's 17 and a "..." button beside each of the five paths,
        // then the transplant's controls and the map views.
        QCOMPARE(controls.size(), 22);
        for (QRadioButton* radio : dialog.findChildren<QRadioButton*>()) {
            controls.append(radio);
        }
        for (QLineEdit* edit : dialog.Transplant()->findChildren<QLineEdit*>()) {
            controls.append(edit);
        }
        controls.append(dialog.Transplant()->TransplantButton());
        controls.append(dialog.Views());
        const QRect inside = dialog.rect();
        for (QWidget* control : controls) {
            QVERIFY2(inside.contains(inDialog(control)), qPrintable(control->objectName()));
            for (QWidget* other : controls) {
                QVERIFY2(control == other || !inDialog(control).intersects(inDialog(other)),
                         qPrintable(control->objectName() + " / " + other->objectName()));
            }
        }
        for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
            const QRect field = inDialog(edit);
            bool framed = false;
            for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
                framed = framed || inDialog(box).contains(field);
            }
            QVERIFY2(framed, qPrintable(edit->objectName()));
            bool labelled = false;
            for (QLabel* label : dialog.findChildren<QLabel*>()) {
                const QRect text = inDialog(label);
                labelled = labelled || (text.left() < field.left() && text.top() < field.bottom() &&
                                        text.bottom() > field.top());
            }
            QVERIFY2(labelled, qPrintable(edit->objectName()));
        }
    }

    void mainDialogHasTheTemplatesControlsAndGrowsIntoItsMapViews() {
        MainDialog dialog;
        QVERIFY(ShowActive(dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Kestrel"));
        // Resizable, so maximise is offered as well as minimise and close.
        const QSize form =
            DialogUnits(dialog.font()).Size(315, 151 + TransplantPanel::kHeightUnits);
        QVERIFY(dialog.minimumSize().height() <= form.height());
        QCOMPARE(dialog.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::MSWindowsFixedSizeDialogHint));
        // The map views take the room the window gains; the fields stay.
        QWidget* views = dialog.Views();
        const QRect quit = dialog.Button(MainDialog::kQuitButton)->geometry();
        const QSize before = views->size();
        dialog.resize(dialog.size() + QSize(200, 150));
        QApplication::processEvents();
        QCOMPARE(views->size(), before + QSize(200, 150));
        QCOMPARE(dialog.Button(MainDialog::kQuitButton)->geometry(), quit);
        QVERIFY(views->geometry().left() > quit.right());

        QCOMPARE(dialog.findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly).size(), 3);
        QCOMPARE(dialog.findChildren<QLabel*>(Qt::FindDirectChildrenOnly).size(), 13);
        QCOMPARE(dialog.findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly).size(), 12);
        QStringList buttons;
        for (QPushButton* button : dialog.findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
            if (button->text() == QLatin1String("...")) {
                continue;
            }
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
        // Each field in its own edit, as the settings record's defaults read.
        const CopySettings defaults;
        for (const FieldDescription& field : kSettingsFields) {
            QLineEdit* edit = dialog.Edit(field.field);
            QCOMPARE(edit->objectName(), QStringLiteral("edit%1").arg(field.controlId));
            QCOMPARE(edit->text(), QString::fromStdString(FieldText(defaults, field.field)));
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
                 QStringList({"&Undo Last Copy", "-", "&Close", "&Reset Fields", "-",
                              "&About Kestrel..."}));
    }

    void windowMenuGetsNoAboutItemWhenItsTextIsEmpty() {
        AboutTextlessDialog dialog;
        dialog.show();
        QCOMPARE(ActionTexts(*dialog.WindowMenu()),
                 QStringList({"&Undo Last Copy", "-", "&Close", "&Reset Fields"}));
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
