#pragma once

#include <QWidget>

#include "operations/copy_settings.h"
#include "operations/statics_transplant.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kestrel {

// The controls of the transplant below the dialog template: the destination's
// statics index and data, replace or add, and the button. They come after the
// template's controls in the tab order, with mnemonics of their own (R, D, T).
class TransplantPanel : public QWidget {
    Q_OBJECT

public:
    // The panel's height in the dialog units of the template it extends.
    static constexpr int kHeightUnits = 62;

    // Places the panel in dialog below the form, top pixels from the top and
    // width pixels wide; the dialog makes room for it.
    TransplantPanel(QWidget& dialog, int top, int width);

    QLineEdit* IndexEdit() const { return indexEdit; }
    QLineEdit* DataEdit() const { return dataEdit; }
    QRadioButton* ReplaceButton() const { return replace; }
    QRadioButton* AddButton() const { return add; }
    QPushButton* TransplantButton() const { return button; }
    StaticsMode Mode() const;

    // Transplants the rectangle of settings from the source map and statics
    // named in settings into settings.destMapPath and the panel's statics
    // files, as one change, and shows the summary, or why it failed, over
    // the panel's dialog.
    void Run(const CopySettings& settings);

private:
    QLineEdit* indexEdit = nullptr;
    QLineEdit* dataEdit = nullptr;
    QRadioButton* replace = nullptr;
    QRadioButton* add = nullptr;
    QPushButton* button = nullptr;
};

}  // namespace kestrel
