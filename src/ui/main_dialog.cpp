#include "ui/main_dialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include "clientfiles/file_detection.h"
#include "operations/map_region_copy.h"
#include "operations/statics_export.h"
#include "ui/about_dialog.h"
#include "ui/context_help.h"
#include "ui/dialog_template.h"
#include "ui/dialog_units.h"
#include "ui/map_views_panel.h"
#include "ui/map_size_question.h"
#include "ui/message_box.h"
#include "ui/path_fields.h"
#include "ui/qt_user_interface.h"
#include "ui/undo_last_copy.h"
#include "ui/remembered_fields.h"
#include "ui/run_command.h"
#include "ui/transplant_panel.h"

namespace kestrel {

namespace {

constexpr const char* kAboutMenuText = "&About Kestrel...";
constexpr const char* kHelpPage = "help_index.html";

constexpr int kDialogWidth = 315;
constexpr int kDialogHeight = 151;

// Room for the "..." buttons: the path fields' group boxes grow by it, and the
// controls right of them move over by it.
constexpr int kChooserRoomUnits = 16;
constexpr int kGroupBoxRightUnits = 177;
constexpr int kChooserXUnits = 174;
constexpr int kChooserWidthUnits = 14;
constexpr int kHelpButtonXUnits = 140;
// The map views' margin, in dialog units, and their least size in pixels.
constexpr int kViewsMarginUnits = 7;
constexpr int kLeastViewsWidth = 320;
constexpr int kOpeningViewsWidth = 640;
constexpr int kOpeningHeight = 480;
// Path fields wait this long after the last keystroke before the views read
// the files they name.
constexpr int kFilesSettleMs = 400;

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

constexpr std::array<SettingsField, 5> kPathFields = {
    SettingsField::StaticsIndexPath, SettingsField::StaticsDataPath, SettingsField::SourceMapPath,
    SettingsField::ItemsPath, SettingsField::DestMapPath};
constexpr std::array<SettingsField, 7> kNumberFields = {
    SettingsField::MinX, SettingsField::MinY, SettingsField::MaxX, SettingsField::MaxY,
    SettingsField::OffX, SettingsField::OffY, SettingsField::OffZ};

std::string LocalText(const QLineEdit* edit) {
    const QByteArray text = edit->text().toLocal8Bit();
    return std::string(text.constData(), std::size_t(text.size()));
}

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
    ArrangeAroundTemplate(controls);
    AddPathHelpers();
    ConnectViews();
    ConnectButton(kQuitButton, &QDialog::reject);
    ConnectButton(kAboutButton, &MainDialog::ShowAbout);
    ConnectButton(kHelpButton, &MainDialog::ShowHelpPage);
    ConnectButton(kCopyMapButton, &MainDialog::CopyMap);
    ConnectButton(kCopyStaticsButton, &MainDialog::CopyStatics);
    // The transplant's controls follow the template's, below them.
    transplantPanel = new TransplantPanel(*this, formSize.height(), formSize.width());
    formSize.setHeight(formSize.height() + transplantPanel->height());
    setMinimumSize(formSize.width() + kLeastViewsWidth, formSize.height());
    resize(size().expandedTo(minimumSize()));
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
    QAction* reset = windowMenu->addAction(QStringLiteral("&Reset Fields"));
    connect(reset, &QAction::triggered, this, &MainDialog::ResetFields);
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
    // lives; whether the desktop can show it is not checked. Without one, the
    // installed guide is opened as F1 opens it.
    const QString page = QDir::current().absoluteFilePath(QString::fromLatin1(kHelpPage));
    if (QFileInfo(page).isFile()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(page));
        return;
    }
    const QString guide = ManualPath(QCoreApplication::applicationDirPath());
    QUrl url = QUrl::fromLocalFile(guide);
    url.setFragment(QString::fromLatin1(kMainDialogHelpSection));
    if (!QFileInfo(guide).isFile() || !QDesktopServices::openUrl(url)) {
        ShowMessageBox(QString::fromLatin1(kHelpLaunchFailedMessage), QMessageBox::Warning, this);
    }
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
    const auto remembered = RecallFields();
    for (const FieldDescription& field : kSettingsFields) {
        if (const auto& text = remembered[IndexOf(field.field)]) {
            Edit(field.field)->setText(*text);
        }
    }
    ShowFilesInViews();
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

void MainDialog::ArrangeAroundTemplate(const std::vector<QWidget*>& controls) {
    const DialogUnits units(font());
    const int room = units.X(kChooserRoomUnits);
    for (std::size_t i = 0; i < kMainControls.size(); ++i) {
        const ControlTemplate& control = kMainControls[i];
        QWidget* widget = controls[i];
        if (control.x >= kGroupBoxRightUnits) {
            widget->move(widget->x() + room, widget->y());
        } else if (control.x == kHelpButtonXUnits) {
            // Help stays in the middle of its row.
            widget->move(widget->x() + room / 2, widget->y());
        } else if (control.kind == ControlKind::GroupBox) {
            widget->resize(widget->width() + room, widget->height());
        }
    }
    formSize = units.Size(kDialogWidth + kChooserRoomUnits, kDialogHeight);
    // The window may be resized now that the map views take the room; it
    // offers minimise and maximise, which work for such a window.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setMinimumSize(formSize.width() + kLeastViewsWidth, formSize.height());
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
    QSize opening(formSize.width() + kOpeningViewsWidth, std::max(formSize.height(), kOpeningHeight));
    if (const QScreen* shownOn = screen()) {
        // On a small screen the views give up room first.
        opening = opening.boundedTo(shownOn->availableSize() * 9 / 10).expandedTo(minimumSize());
    }
    resize(opening);
}

void MainDialog::AddPathHelpers() {
    const DialogUnits units(font());
    auto* drops = new FileDropFilter(this);
    for (QLineEdit* edit : edits) {
        edit->setValidator(new OneLineValidator(edit));
        edit->installEventFilter(drops);
    }
    for (const SettingsField field : kPathFields) {
        QLineEdit* edit = Edit(field);
        auto* button = new QPushButton(QStringLiteral("..."), this);
        button->setObjectName(QStringLiteral("choose%1").arg(DescriptionOf(field).controlId));
        button->setToolTip(QStringLiteral("Choose the file"));
        button->setAutoDefault(true);
        button->setGeometry(units.X(kChooserXUnits), edit->y(), units.X(kChooserWidthUnits),
                            edit->height());
        connect(button, &QPushButton::clicked, this,
                [this, field] { RunCommand(this, [this, field] { ChooseFile(field); }); });
        chooseButtons[IndexOf(field)] = button;
    }
    views = new MapViewsPanel(this);
    const struct {
        const char* text;
        const char* name;
        bool source;
    } folders[] = {{"Source &folder...", "sourceFolder", true},
                   {"Destination fo&lder...", "destinationFolder", false}};
    for (const auto& folder : folders) {
        auto* button = new QPushButton(QString::fromLatin1(folder.text), views);
        button->setObjectName(QString::fromLatin1(folder.name));
        button->setAutoDefault(true);
        button->setToolTip(QStringLiteral("Fill the fields from a client folder"));
        const bool source = folder.source;
        connect(button, &QPushButton::clicked, this,
                [this, source] { RunCommand(this, [this, source] { ChooseFolder(source); }); });
        views->AddToFooter(button);
    }
}

void MainDialog::ConnectViews() {
    filesChanged = new QTimer(this);
    filesChanged->setSingleShot(true);
    filesChanged->setInterval(kFilesSettleMs);
    connect(filesChanged, &QTimer::timeout, this, &MainDialog::ShowFilesInViews);
    for (const SettingsField field : kPathFields) {
        connect(Edit(field), &QLineEdit::textChanged, filesChanged,
                static_cast<void (QTimer::*)()>(&QTimer::start));
    }
    for (const SettingsField field : kNumberFields) {
        connect(Edit(field), &QLineEdit::textChanged, this, &MainDialog::ShowPlacementInViews);
    }
    connect(views, &MapViewsPanel::RectangleChosen, this,
            [this](int minX, int minY, int maxX, int maxY) {
                SetNumberFields({{SettingsField::MinX, minX},
                                 {SettingsField::MinY, minY},
                                 {SettingsField::MaxX, maxX},
                                 {SettingsField::MaxY, maxY}});
            });
    connect(views, &MapViewsPanel::OffsetChosen, this, [this](int offX, int offY) {
        SetNumberFields({{SettingsField::OffX, offX}, {SettingsField::OffY, offY}});
    });
}

QPushButton* MainDialog::ChooseButton(SettingsField field) const {
    return chooseButtons[IndexOf(field)];
}

void MainDialog::ChooseFile(SettingsField field) {
    QLineEdit* edit = Edit(field);
    const bool written = field == SettingsField::ItemsPath || field == SettingsField::DestMapPath;
    const QString filter =
        field == SettingsField::ItemsPath
            ? QStringLiteral("Item scripts (*.wsc);;All files (*)")
            : QStringLiteral("Client files (*.mul *.MUL *.uop *.UOP);;All files (*)");
    const QString caption = QStringLiteral("Choose the file");
    const QString chosen =
        written ? QFileDialog::getSaveFileName(this, caption, edit->text(), filter, nullptr,
                                               QFileDialog::DontConfirmOverwrite)
                : QFileDialog::getOpenFileName(this, caption, edit->text(), filter);
    if (!chosen.isEmpty()) {
        edit->setText(QDir::toNativeSeparators(chosen));
    }
}

void MainDialog::ChooseFolder(bool source) {
    const QString current = Edit(source ? SettingsField::SourceMapPath : SettingsField::DestMapPath)
                                ->text();
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Choose the client folder"), QFileInfo(current).path());
    if (folder.isEmpty()) {
        return;
    }
    if (source) {
        FillSourceFromFolder(folder);
    } else {
        FillDestinationFromFolder(folder);
    }
}

std::optional<ClientFolderFiles> MainDialog::TakeMapFromFolder(const QString& folder,
                                                               SettingsField mapField) {
    const ClientFolderFiles files = FindClientFiles(
        folder, MapNumberFromFileName(Edit(mapField)->text().toLocal8Bit().toStdString()).value_or(0));
    if (files.map.isEmpty()) {
        ShowMessageBox(QStringLiteral("No map file (mapN.mul or mapNLegacyMUL.uop) in %1.")
                           .arg(QDir::toNativeSeparators(folder)),
                       QMessageBox::Warning, this);
        return std::nullopt;
    }
    Edit(mapField)->setText(files.map);
    return files;
}

void MainDialog::FillSourceFromFolder(const QString& folder) {
    const std::optional<ClientFolderFiles> files =
        TakeMapFromFolder(folder, SettingsField::SourceMapPath);
    if (!files) {
        return;
    }
    if (!files->staticsIndex.isEmpty()) {
        Edit(SettingsField::StaticsIndexPath)->setText(files->staticsIndex);
    }
    if (!files->staticsData.isEmpty()) {
        Edit(SettingsField::StaticsDataPath)->setText(files->staticsData);
    }
}

void MainDialog::FillDestinationFromFolder(const QString& folder) {
    TakeMapFromFolder(folder, SettingsField::DestMapPath);
}

void MainDialog::ShowFilesInViews() {
    filesChanged->stop();
    views->SetSourceFiles(LocalText(Edit(SettingsField::SourceMapPath)),
                          LocalText(Edit(SettingsField::StaticsIndexPath)),
                          LocalText(Edit(SettingsField::StaticsDataPath)));
    views->SetDestinationFile(LocalText(Edit(SettingsField::DestMapPath)));
    ShowPlacementInViews();
}

void MainDialog::ShowPlacementInViews() {
    if (settingNumbers) {
        return;
    }
    // A field that does not hold a number in range keeps the value the
    // views last had.
    for (const SettingsField field : kNumberFields) {
        CopySettings tried = viewsPlacement;
        if (!StoreField(tried, field, LocalText(Edit(field)))) {
            viewsPlacement = tried;
        }
    }
    views->SetPlacement(viewsPlacement);
}

void MainDialog::SetNumberFields(std::initializer_list<std::pair<SettingsField, int>> values) {
    settingNumbers = true;
    for (const auto& [field, value] : values) {
        const QString text = QString::number(value);
        if (Edit(field)->text() != text) {
            Edit(field)->setText(text);
        }
    }
    settingNumbers = false;
    ShowPlacementInViews();
}

void MainDialog::ResetFields() {
    settings = CopySettings{};
    ShowSettings();
    ShowFilesInViews();
}

void MainDialog::resizeEvent(QResizeEvent* event) {
    const int margin = DialogUnits(font()).X(kViewsMarginUnits);
    views->setGeometry(formSize.width(), margin, std::max(width() - formSize.width() - margin, 0),
                       std::max(height() - 2 * margin, 0));
    QDialog::resizeEvent(event);
}

void MainDialog::done(int result) {
    FieldTexts texts;
    for (const FieldDescription& field : kSettingsFields) {
        texts[IndexOf(field.field)] = Edit(field.field)->text();
    }
    RememberFields(texts);
    QDialog::done(result);
}

}  // namespace kestrel
