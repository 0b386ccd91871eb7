#pragma once

#include <array>

#include <QDialog>
#include <QIcon>
#include <QPoint>

#include "operations/copy_settings.h"
#include "operations/settings_exchange.h"

class QLineEdit;
class QMenu;

namespace kestrel {

// The program's main window: the five paths, the rectangle and the offsets,
// and the buttons that run the two operations, open the About box and the
// help page, and quit.
class CKestrelDlg : public QDialog {
    Q_OBJECT

public:
    // Command identifiers of the buttons.
    static constexpr int kIdCancel = 2;  // "&Quit", Esc, the close box
    static constexpr int kIdAbout = 3;
    static constexpr int kIdHelp = 4;
    static constexpr int kIdCopyMap = 5;
    static constexpr int kIdCopyStatics = 6;

    // Commands of the window menu.
    static constexpr unsigned kSysCommandAbout = 0x0010;
    static constexpr unsigned kSysCommandClose = 0xF060;
    static constexpr unsigned kSysCommandKeyMenu = 0xF100;

    explicit CKestrelDlg(QWidget* parent = nullptr);

    const CopySettings& Settings() const { return settings; }
    QLineEdit* Edit(SettingsField field) const;
    QMenu* WindowMenu() const { return windowMenu; }

    // Moves the twelve values between settings and the edit fields, in
    // exchange order. From the fields, the first rejected value is reported,
    // its field takes the focus with its text selected, and false is returned.
    bool DoDataExchange(bool saveAndValidate);

    // A command as a button sends it; a failure that leaves the handler is
    // reported and the dialog goes on.
    void OnCommand(int id);

    void OnSysCommand(unsigned id, QPoint position);
    void OnAbout();
    void OnHelp();
    void OnCopyMap();
    void OnCopyStatics();

protected:
    // Runs once, before the dialog is first shown: fills the fields, ends the
    // window menu with the About item, sets the icons and the focus.
    virtual bool OnInitDialog();
    // The window menu's text for the About box; none is added when empty.
    virtual QString AboutMenuText() const;

    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ShowWindowMenu(QPoint globalPosition);

    CopySettings settings;
    QIcon icon;
    std::array<QLineEdit*, kFieldCount> edits{};
    QMenu* windowMenu = nullptr;
    bool initialized = false;
};

}  // namespace kestrel
