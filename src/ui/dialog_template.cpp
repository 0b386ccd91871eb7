#include "ui/dialog_template.h"

#include <algorithm>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The resources live in a static library; they have to be registered by name
// before the first use, and the macro works only outside a namespace.
static void RegisterKestrelResources() {
    Q_INIT_RESOURCE(kestrel);
}

namespace kestrel {

namespace {

constexpr int kDialogFontPoints = 8;
constexpr int kIconPixels = 32;

}  // namespace

QFont DialogFont() {
    const QString designed = QStringLiteral("MS Sans Serif");
    QFont font = QFontDatabase::hasFamily(designed)
                     ? QFont(designed)
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(kDialogFontPoints);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QIcon KestrelIcon() {
    static const bool registered = (RegisterKestrelResources(), true);
    (void)registered;
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/kestrel-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/kestrel-16.png"), QSize(16, 16));
    return icon;
}

std::vector<QWidget*> BuildDialog(QDialog& dialog, const QString& caption, int widthUnits,
                                  int heightUnits, std::span<const ControlTemplate> controls) {
    const QFont font = DialogFont();
    dialog.setFont(font);
    const DialogUnits units(font);

    dialog.setWindowTitle(caption);
    // Title bar with a close box only: the dialog can be neither resized nor
    // minimized nor maximized.
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint);
    dialog.setFixedSize(units.Size(widthUnits, heightUnits));

    std::vector<QWidget*> created;
    created.reserve(controls.size());
    for (const ControlTemplate& control : controls) {
        const QString text = QString::fromLatin1(control.text);
        const QRect rect = units.Rect(control.x, control.y, control.width, control.height);
        QWidget* widget = nullptr;
        switch (control.kind) {
            case ControlKind::GroupBox: {
                auto* box = new QGroupBox(text, &dialog);
                box->setFocusPolicy(Qt::NoFocus);
                widget = box;
                break;
            }
            case ControlKind::Label: {
                auto* label = new QLabel(text, &dialog);
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                widget = label;
                break;
            }
            case ControlKind::Edit: {
                auto* edit = new QLineEdit(&dialog);
                edit->setObjectName(QStringLiteral("edit%1").arg(control.id));
                widget = edit;
                break;
            }
            case ControlKind::PushButton:
            case ControlKind::DefaultPushButton: {
                auto* button = new QPushButton(text, &dialog);
                button->setObjectName(QStringLiteral("button%1").arg(control.id));
                button->setFocusPolicy(Qt::StrongFocus);
                // Enter presses the button that has the focus.
                button->setAutoDefault(true);
                button->setDefault(control.kind == ControlKind::DefaultPushButton);
                button->setContextMenuPolicy(Qt::PreventContextMenu);
                widget = button;
                break;
            }
            case ControlKind::Icon: {
                // An icon control takes the icon's own size, whatever the
                // template gives it.
                auto* label = new QLabel(&dialog);
                label->setPixmap(KestrelIcon().pixmap(kIconPixels, kIconPixels));
                widget = label;
                break;
            }
        }
        QRect geometry = rect;
        if (control.kind == ControlKind::Icon) {
            geometry.setSize(QSize(kIconPixels, kIconPixels));
        } else if (control.kind == ControlKind::Label) {
            // The templates are drawn for a narrower font; a label whose text
            // runs past its width is widened into the space on its right
            // rather than cut off.
            geometry.setWidth(
                std::max(geometry.width(), QFontMetrics(font).horizontalAdvance(text)));
        }
        widget->setGeometry(geometry);
        created.push_back(widget);
    }
    return created;
}

}  // namespace kestrel
