#include "ui/kestrel_dlg.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

#include "operations/map_region_copy.h"
#include "operations/statics_export.h"
#include "ui/about_dlg.h"
#include "ui/context_help.h"
#include "ui/dialog_template.h"
#include "ui/message_box.h"
#include "ui/qt_user_interface.h"
#include "ui/run_command.h"

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
    {ControlKind::PushButton, CKestrelDlg::kIdCopyMap, "Copy &Map", 192, 93, 50, 14},
    {ControlKind::PushButton, CKestrelDlg::kIdCopyStatics, "Copy &Statics", 254, 93, 50, 14},
    {ControlKind::PushButton, CKestrelDlg::kIdAbout, "&About", 12, 130, 50, 14},
    {ControlKind::PushButton, CKestrelDlg::kIdHelp, "&Help", 140, 130, 50, 14},
    {ControlKind::DefaultPushButton, CKestrelDlg::kIdCancel, "&Quit", 253, 130, 50, 14},
}};

std::size_t IndexOf(SettingsField field) {
    return static_cast<std::size_t>(field);
}

}  // namespace

CKestrelDlg::CKestrelDlg(QWidget* parent) : QDialog(parent), icon(KestrelIcon()) {
    const std::vector<QWidget*> controls =
        BuildDialog(*this, QStringLiteral("Kestrel"), kDialogWidth, kDialogHeight, kMainControls);
    for (std::size_t i = 0; i < kMainControls.size(); ++i) {
        const ControlTemplate& control = kMainControls[i];
        if (control.kind == ControlKind::Edit) {
            for (const FieldDescription& field : kSettingsFields) {
                if (field.controlId == control.id) {
                    edits[IndexOf(field.field)] = static_cast<QLineEdit*>(controls[i]);
                }
            }
        } else if (control.kind == ControlKind::PushButton ||
                   control.kind == ControlKind::DefaultPushButton) {
            const int id = control.id;
            connect(static_cast<QPushButton*>(controls[i]), &QPushButton::clicked, this,
                    [this, id] { OnCommand(id); });
        }
    }
    SetHelpSection(this, kMainDialogHelpSection);

    // Desktops keep the window menu to themselves, so the dialog has its own:
    // Alt+Space or a right click on the dialog opens it.
    windowMenu = new QMenu(this);
    QAction* close = windowMenu->addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    // Also reachable where no window manager takes Alt+F4 itself.
    addAction(close);
    connect(close, &QAction::triggered, this,
            [this] { OnSysCommand(kSysCommandClose, QCursor::pos()); });
    auto* keyMenu = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(keyMenu, &QShortcut::activated, this,
            [this] { OnSysCommand(kSysCommandKeyMenu, QCursor::pos()); });
}

QLineEdit* CKestrelDlg::Edit(SettingsField field) const {
    return edits[IndexOf(field)];
}

bool CKestrelDlg::DoDataExchange(bool saveAndValidate) {
    for (const SettingsField field : kExchangeOrder) {
        QLineEdit* edit = Edit(field);
        if (!saveAndValidate) {
            edit->setText(QString::fromLocal8Bit(FieldText(settings, field)));
            continue;
        }
        const QByteArray text = edit->text().toLocal8Bit();
        const std::optional<std::string> rejection = StoreField(
            settings, field, std::string_view(text.constData(), std::size_t(text.size())));
        if (rejection) {
            ShowMessageBox(QString::fromLocal8Bit(*rejection), QMessageBox::Warning, this);
            edit->setFocus(Qt::OtherFocusReason);
            edit->selectAll();
            return false;
        }
    }
    return true;
}

void CKestrelDlg::OnCommand(int id) {
    RunCommand(this, [this, id] {
        switch (id) {
            case kIdCancel:
                reject();
                break;
            case kIdAbout:
                OnAbout();
                break;
            case kIdHelp:
                OnHelp();
                break;
            case kIdCopyMap:
                OnCopyMap();
                break;
            case kIdCopyStatics:
                OnCopyStatics();
                break;
            default:
                break;
        }
    });
}

void CKestrelDlg::OnSysCommand(unsigned id, [[maybe_unused]] QPoint position) {
    const unsigned command = id & 0xFFF0u;
    if (command == kSysCommandAbout) {
        CAboutDlg about(this);
        about.exec();
        return;
    }
    // What the desktop's window menu would do for the dialog.
    switch (command) {
        case kSysCommandClose:
            close();
            break;
        case kSysCommandKeyMenu:
            ShowWindowMenu(mapToGlobal(QPoint(0, 0)));
            break;
        default:
            break;
    }
}

void CKestrelDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CKestrelDlg::OnHelp() {
    // The page is looked for in the current directory, wherever the program
    // lives; whether the desktop can show it is not checked.
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QDir::current().absoluteFilePath(QString::fromLatin1(kHelpPage))));
}

void CKestrelDlg::OnCopyMap() {
    if (!DoDataExchange(true)) {
        return;
    }
    QtUserInterface ui(this);
    CopyMapRegion(settings, ui);
}

void CKestrelDlg::OnCopyStatics() {
    if (!DoDataExchange(true)) {
        return;
    }
    QtUserInterface ui(this);
    ExportStatics(settings, ui);
}

bool CKestrelDlg::OnInitDialog() {
    DoDataExchange(false);
    const QString aboutText = AboutMenuText();
    if (!aboutText.isEmpty()) {
        windowMenu->addSeparator();
        QAction* about = windowMenu->addAction(aboutText);
        connect(about, &QAction::triggered, this,
                [this] { OnSysCommand(kSysCommandAbout, QCursor::pos()); });
    }
    setWindowIcon(icon);
    QLineEdit* first = Edit(SettingsField::StaticsIndexPath);
    first->setFocus(Qt::TabFocusReason);
    first->selectAll();
    return true;
}

QString CKestrelDlg::AboutMenuText() const {
    return QString::fromLatin1(kAboutMenuText);
}

void CKestrelDlg::showEvent(QShowEvent* event) {
    if (!initialized) {
        initialized = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CKestrelDlg::contextMenuEvent(QContextMenuEvent* event) {
    ShowWindowMenu(event->globalPos());
    event->accept();
}

void CKestrelDlg::ShowWindowMenu(QPoint globalPosition) {
    windowMenu->popup(globalPosition);
}

}  // namespace kestrel
