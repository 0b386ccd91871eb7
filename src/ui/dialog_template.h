#pragma once

#include <span>
#include <vector>

#include <QDialog>
#include <QFont>

#include "ui/dialog_units.h"

class QIcon;

namespace kestrel {

enum class ControlKind {
    GroupBox,           // a plain frame with a title; takes no focus
    Label,              // left-aligned static text without mnemonic
    Edit,               // single-line, bordered, tab stop
    PushButton,         // tab stop
    DefaultPushButton,  // tab stop, pressed by Enter where no other button has the focus
    Icon,               // the application icon at its own size
};

// One control of a dialog template, placed in dialog units.
struct ControlTemplate {
    ControlKind kind;
    int id;  // -1 for labels, group boxes and icons
    const char* text;
    int x;
    int y;
    int width;
    int height;
};

inline constexpr int kNoControlId = -1;

// The font the templates are designed for: 8-point "MS Sans Serif", or the
// desktop's sans-serif font at 8 points where that is not installed.
QFont DialogFont();

// The application icon, with its 32 x 32 and 16 x 16 images.
QIcon KestrelIcon();

// Sets up dialog as the fixed-size template of widthUnits x heightUnits dialog
// units in DialogFont() and creates its controls in template order, which is
// also their tab order. Each control with an id is named "editID" or
// "buttonID". Returns the controls in template order.
std::vector<QWidget*> BuildDialog(QDialog& dialog, const QString& caption, int widthUnits,
                                  int heightUnits, std::span<const ControlTemplate> controls);

}  // namespace kestrel
