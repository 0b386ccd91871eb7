#include "ui/about_dialog.h"

#include <array>

#include <QLabel>
#include <QPushButton>

#include "operations/version.h"
#include "ui/context_help.h"
#include "ui/dialog_template.h"

namespace kestrel {

namespace {

constexpr int kAboutWidth = 235;
constexpr int kAboutHeight = 55;

// Controls 2 and 3 are filled in from the version record when the box is built.
constexpr std::array<ControlTemplate, 5> kAboutControls = {{
    {ControlKind::Icon, kNoControlId, "", 11, 17, 20, 20},
    {ControlKind::Label, kNoControlId, "", 40, 10, 119, 8},
    {ControlKind::Label, kNoControlId, "", 40, 25, 119, 8},
    {ControlKind::DefaultPushButton, 1, "OK", 178, 7, 50, 14},
    {ControlKind::Label, kNoControlId, KESTREL_HOMEPAGE_URL, 40, 37, 119, 8},
}};

}  // namespace

QString AboutDialog::VersionText() {
    return QStringLiteral("Kestrel Version %1.%2").arg(version::kMajor).arg(version::kMinor);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    const std::vector<QWidget*> controls = BuildDialog(*this, QStringLiteral("About Kestrel"),
                                                       kAboutWidth, kAboutHeight, kAboutControls);
    static_cast<QLabel*>(controls[1])->setText(VersionText());
    static_cast<QLabel*>(controls[2])
        ->setText(QStringLiteral("(C) %1 The Kestrel developers").arg(version::kReleaseYear));
    setWindowIcon(KestrelIcon());
    SetHelpSection(this, kAboutBoxHelpSection);
    connect(static_cast<QPushButton*>(controls[3]), &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace kestrel
