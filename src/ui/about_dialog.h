#pragma once

#include <QDialog>

namespace kestrel {

// The About box: the program's name and version, the maker and a contact
// line. OK and cancel both close it.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // "Kestrel Version MAJOR.MINOR", from the version record.
    static QString VersionText();
};

}  // namespace kestrel
