#include "ui/main_dialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

#include "clientfiles/file_detection.h"
#include "operations/map_region_copy.h"
#include "operations/statics_export.h"
#include "ui/about_dialog.h"
#include "ui/context_help.h"
#include "ui/dialog_template.h"
#include "ui/map_size_question.h"
#include "ui/message_box.h"
#include "ui/qt_user_interface.h"
#include "ui/undo_last_copy.h"
#include "ui/run_command.h"
#include "ui/transplant_panel.h"

namespace kestrel {

namespace {

constexpr const char* kAboutMenuText = "&About Kestrel...";
constexpr const char* kHelpPage = "help_index.html";

constexpr int kDialogWidth = 315;
constexpr int kDialogHeight = 151;

constexpr std::array<ControlTemplate, 33> kMainControls = {{
    {ControlKind::GroupBox, kNoControlId, "Source", 7, 7, 170, 57},
    {ControlKind::Label, kNoControlId, "StaIdx0.mul:", 13, 19, 39, 8},
    {ControlKind::Edit, 1000, "", 57, 16, 114, 12},
    {ControlKind::Label, kNoControlId, "Statics0.mul:", 13, 34, 39, 8},
    {ControlKind::Edit, 1001, "", 57, 31, 114, 12},
    {ControlKind::Label, kNoControlId, "Map0.mul:", 13, 49, 39, 8},
    {ControlKind::Edit, 1002, "", 57, 46, 114, 12},
    {ControlKind::GroupBox, kNoControlId, "Destination", 7, 70, 170, 43},
    {ControlKind::Label, kNoControlId, "Items.wsc:", 13, 82, 39, 8},
    {ControlKind::Edit, 1003, "", 57, 79, 114, 12},
    {ControlKind::Label, kNoControlId, "Map0.mul:", 13, 98, 39, 8},
    {ControlKind::Edit, 1005, "", 57, 95, 114, 12},
    {ControlKind::GroupBox, kNoControlId, "Copy Rectangle", 188, 7, 120, 75},
    {ControlKind::Label, kNoControlId, "Min. X:", 193, 20, 25, 8},
    {ControlKind::Edit, 1008, "", 220, 17, 23, 12},
    {ControlKind::Label, kNoControlId, "Min. Y:", 252, 21, 25, 8},
    {ControlKind::Edit, 1011, "", 278, 18, 23, 12},
    {ControlKind::Label, kNoControlId, "Max. X:", 194, 35, 25, 8},
    {ControlKind::Edit, 1012, "", 220, 32, 23, 12},
    {ControlKind::Label, kNoControlId, "Max. Y:", 252, 36, 25, 8},
    {ControlKind::Edit, 1013, "", 278, 33, 23, 12},
    {ControlKind::Label, kNoControlId, "Off X:", 194, 51, 25, 8},
    {ControlKind::Edit, 1014, "", 220, 48, 23, 12},
    {ControlKind::Label, kNoControlId, "Off Y:", 252, 52, 25, 8},
    {ControlKind::Edit, 1015, "", 278, 49, 23, 12},
    {ControlKind::Label, kNoControlId, "Off Z:", 194, 67, 25, 8},
    {ControlKind::Edit, 1016, "", 220, 64, 23, 12},
    {ControlKind::Label, kNoControlId, "(relative value)", 245, 67, 47, 8},
    {ControlKind::PushButton, MainDialog::kCopyMapButton, "Copy &Map", 192, 93, 50, 14},
    {ControlKind::PushButton, MainDialog::kCopyStaticsButton, "Copy &Statics", 254, 93, 50, 14},
    {ControlKind::PushButton, MainDialog::kAboutButton, "&About", 12, 130, 50, 14},
    {ControlKind::PushButton, MainDialog::kHelpButton, "&Help", 140, 130, 50, 14},
    {ControlKind::DefaultPushButton, MainDialog::kQuitButton, "&Quit", 253, 130, 50, 14},
}};

std::size_t IndexOf(SettingsField field) {
    return static_cast<std::size_t>(field);
}

}  // namespace

MainDialog::MainDialog(QWidget* parent) : QDialog(parent), icon(KestrelIcon()) {
    const std::vector<QWidget*> controls =
        BuildDialog(*this, QStringLiteral("Kestrel"), kDialogWidth, kDialogHeight, kMainControls);
    for (std::size_t i = 0; i < kMainControls.size(); ++i) {
        for (const FieldDescription& field : kSettingsFields) {
            if (kMainControls[i].kind == ControlKind::Edit &&
                field.controlId == kMainControls[i].id) {
                edits[IndexOf(field.field)] = static_cast<QLineEdit*>(controls[i]);
            }
        }
    }
    ConnectButton(kQuitButton, &QDialog::reject);
    ConnectButton(kAboutButton, &MainDialog::ShowAbout);
    ConnectButton(kHelpButton, &MainDialog::ShowHelpPage);
    ConnectButton(kCopyMapButton, &MainDialog::CopyMap);
    ConnectButton(kCopyStaticsButton, &MainDialog::CopyStatics);
    // The transplant's controls follow the template's, below them.
    transplantPanel = new TransplantPanel(*this);
    connect(transplantPanel->TransplantButton(), &QPushButton::clicked, this,
            [this] { RunCommand(this, [this] { TransplantRegion(); }); });
    SetHelpSection(this, kMainDialogHelpSection);

    // Desktops keep the window menu to themselves, so the dialog has its own:
    // Alt+Space or a right click on the dialog opens it.
    windowMenu = new QMenu(this);
    AddUndoLastCopy(*windowMenu, *this);
    QAction* close = windowMenu->addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    // Also reachable where no window manager takes Alt+F4 itself.
    addAction(close);
    connect(close, &QAction::triggered, this, &QDialog::close);
    auto* keyMenu = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(keyMenu, &QShortcut::activated, this,
            [this] { windowMenu->popup(mapToGlobal(QPoint(0, 0))); });
}

void MainDialog::ConnectButton(int id, void (MainDialog::*action)()) {
    connect(Button(id), &QPushButton::clicked, this,
            [this, action] { RunCommand(this, [this, action] { (this->*action)(); }); });
}

QLineEdit* MainDialog::Edit(SettingsField field) const {
    return edits[IndexOf(field)];
}

QPushButton* MainDialog::Button(int id) const {
    return findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
}

void MainDialog::ShowSettings() {
    for (const SettingsField field : kExchangeOrder) {
        Edit(field)->setText(QString::fromLocal8Bit(FieldText(settings, field)));
    }
}

bool MainDialog::AskAmbiguousSizes(bool forStatics) {
    const auto ask = [this](const std::string& path, std::optional<MapGeometry>& size,
                            bool statics) {
        FileDetection detection;
        try {
            detection = statics ? DetectStaticsIndex(path) : DetectMap(path);
        } catch (const std::exception&) {
            return true;  // the operation reports a file it cannot read
        }
        if (detection.match != SizeMatch::Ambiguous) {
            return true;
        }
        size = AskMalasOrTerMur(this, QString::fromLocal8Bit(path));
        return size.has_value();
    };
    if (forStatics) {
        return ask(settings.staticsIndexPath, settings.sourceSize, true);
    }
    return ask(settings.sourceMapPath, settings.sourceSize, false) &&
           ask(settings.destMapPath, settings.destSize, false);
}

bool MainDialog::TakeSettings(bool forStatics) {
    // The sizes are told afresh from the files named at each press.
    settings.sourceSize.reset();
    settings.destSize.reset();
    FieldRanges ranges = ClassicFieldRanges();
    for (const SettingsField field : kExchangeOrder) {
        QLineEdit* edit = Edit(field);
        if (field == SettingsField::MaxX) {
            // The paths are taken: the ranges follow the maps they name.
            if (!AskAmbiguousSizes(forStatics)) {
                return false;
            }
            ranges = FieldRangesFor(
                forStatics ? std::optional(StaticsGeometry(settings)) : DetectedSourceSize(settings),
                DetectedDestSize(settings));
        }
        const QByteArray text = edit->text().toLocal8Bit();
        const std::optional<std::string> rejection =
            StoreField(settings, field, std::string_view(text.constData(), std::size_t(text.size())),
                       ranges);
        if (rejection) {
            ShowMessageBox(QString::fromLocal8Bit(*rejection), QMessageBox::Warning, this);
            edit->setFocus(Qt::OtherFocusReason);
            edit->selectAll();
            return false;
        }
    }
    return true;
}

void MainDialog::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainDialog::ShowHelpPage() {
    // The page is looked for in the current directory, wherever the program
    // lives; whether the desktop can show it is not checked.
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QDir::current().absoluteFilePath(QString::fromLatin1(kHelpPage))));
}

void MainDialog::CopyMap() {
    if (!TakeSettings()) {
        return;
    }
    QtUserInterface ui(this);
    CopyMapRegion(settings, ui);
}

void MainDialog::CopyStatics() {
    if (!TakeSettings(true)) {
        return;
    }
    QtUserInterface ui(this);
    ExportStatics(settings, ui);
}

void MainDialog::TransplantRegion() {
    if (!TakeSettings()) {
        return;
    }
    transplantPanel->Run(settings);
}

void MainDialog::PrepareFirstShow() {
    ShowSettings();
    const QString aboutText = AboutMenuText();
    if (!aboutText.isEmpty()) {
        windowMenu->addSeparator();
        QAction* about = windowMenu->addAction(aboutText);
        connect(about, &QAction::triggered, this, &MainDialog::ShowAbout);
    }
    setWindowIcon(icon);
    QLineEdit* first = Edit(SettingsField::StaticsIndexPath);
    first->setFocus(Qt::TabFocusReason);
    first->selectAll();
}

QString MainDialog::AboutMenuText() const {
    return QString::fromLatin1(kAboutMenuText);
}

void MainDialog::showEvent(QShowEvent* event) {
    if (!prepared) {
        prepared = true;
        PrepareFirstShow();
    }
    QDialog::showEvent(event);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    windowMenu->popup(event->globalPos());
    event->accept();
}

}  // namespace kestrel
