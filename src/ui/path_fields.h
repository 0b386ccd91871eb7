#pragma once

#include <QObject>
#include <QString>
#include <QValidator>

class QLineEdit;

namespace kestrel {

// Keeps a one-line field on one line: line breaks in pasted or dropped text
// are dropped, everything else stays exactly as typed, blanks included.
class OneLineValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

// Fills the field it watches with the path of a local file dropped on it,
// replacing the field's text.
class FileDropFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The map and statics files of one facet in a client folder; a file not found
// is empty.
struct ClientFolderFiles {
    QString map;
    QString staticsIndex;
    QString staticsData;
};

// Finds mapN.mul (or, without one, mapNLegacyMUL.uop), staidxN.mul and
// staticsN.mul in folder, the names compared without regard to case. N is
// preferredFacet where its map is there, else the lowest N with a map.
ClientFolderFiles FindClientFiles(const QString& folder, int preferredFacet = 0);

}  // namespace kestrel
