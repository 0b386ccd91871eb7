#pragma once

#include <array>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include <QDialog>
#include <QIcon>
#include <QPoint>

#include "operations/copy_settings.h"
#include "operations/settings_exchange.h"
#include "ui/path_fields.h"

class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace kestrel {

class TransplantPanel;
class MapViewsPanel;

// The program's main window: the five paths, the rectangle and the offsets,
// and the buttons that run the two operations, open the About box and the
// help page, and quit.
class MainDialog : public QDialog {
    Q_OBJECT

public:
    // The buttons' control ids; each button's object name is "button" and its
    // id.
    static constexpr int kQuitButton = 2;  // also Esc and the close box
    static constexpr int kAboutButton = 3;
    static constexpr int kHelpButton = 4;
    static constexpr int kCopyMapButton = 5;
    static constexpr int kCopyStaticsButton = 6;

    explicit MainDialog(QWidget* parent = nullptr);

    const CopySettings& Settings() const { return settings; }
    QLineEdit* Edit(SettingsField field) const;
    QPushButton* Button(int id) const;
    TransplantPanel* Transplant() const { return transplantPanel; }
    // The dialog's own window menu: Undo Last Copy, Close, Reset Fields and About.
    QMenu* WindowMenu() const { return windowMenu; }
    // The map views beside the fields.
    MapViewsPanel* Views() const { return views; }
    // The "..." button beside a path field.
    QPushButton* ChooseButton(SettingsField field) const;
    // The source's three files (or the destination's map) from a client
    // folder; a message says so when the folder holds no map.
    void FillSourceFromFolder(const QString& folder);
    void FillDestinationFromFolder(const QString& folder);

public slots:
    void ShowAbout();
    // Opens help_index.html of the current directory with the desktop.
    void ShowHelpPage();
    void CopyMap();
    void CopyStatics();
    void TransplantRegion();
    // Puts the fields' defaults back.
    void ResetFields();

protected:
    // The window menu's text for the About box; none is added when empty.
    virtual QString AboutMenuText() const;

    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Remembers the fields whichever way the dialog closes.
    void done(int result) override;

private:
    // Puts the map file found in folder into mapField and returns what was
    // found there, or says that there is none and returns nothing.
    std::optional<ClientFolderFiles> TakeMapFromFolder(const QString& folder,
                                                       SettingsField mapField);
    // Runs once, before the dialog is first shown: fills the fields, ends the
    // window menu with the About item, sets the icons and the focus.
    void PrepareFirstShow();
    // Settings into the fields.
    void ShowSettings();
    // The fields into settings, in exchange order. The first rejected value is
    // reported, its field takes the focus with its text selected, and false
    // is returned.
    // forStatics: the source size is that of the statics named.
    bool TakeSettings(bool forStatics = false);
    // Asks for the size of a map whose length fits two facets; false when
    // the user cancels.
    bool AskAmbiguousSizes(bool forStatics);
    // Connects a button to what it does; a failure that leaves action is
    // reported and the dialog goes on.
    void ConnectButton(int id, void (MainDialog::*action)());
    // Makes room for the "..." buttons and the map views around the
    // template's controls, which keep their order and relative places.
    void ArrangeAroundTemplate(const std::vector<QWidget*>& controls);
    void AddPathHelpers();
    void ConnectViews();
    void ChooseFile(SettingsField field);
    void ChooseFolder(bool source);
    // The views follow the fields' files and numbers.
    void ShowFilesInViews();
    void ShowPlacementInViews();
    // The fields follow a drag in the views.
    void SetNumberFields(std::initializer_list<std::pair<SettingsField, int>> values);

    CopySettings settings;
    QIcon icon;
    std::array<QLineEdit*, kFieldCount> edits{};
    QMenu* windowMenu = nullptr;
    TransplantPanel* transplantPanel = nullptr;
    bool prepared = false;
    std::array<QPushButton*, kFieldCount> chooseButtons{};
    MapViewsPanel* views = nullptr;
    QTimer* filesChanged = nullptr;
    QSize formSize;        // the template's controls with the "..." buttons
    bool settingNumbers = false;
    // The rectangle and offsets the views show: the fields' last accepted
    // numbers.
    CopySettings viewsPlacement;
};

}  // namespace kestrel
