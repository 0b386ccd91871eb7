#include "ui/transplant_panel.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "clientfiles/journal_store.h"
#include "operations/transplant.h"
#include "ui/dialog_template.h"
#include "ui/dialog_units.h"
#include "ui/message_box.h"

namespace kestrel {

namespace {

constexpr int kTemplateWidth = 315;
constexpr const char* kDefaultIndexPath = "e:\\ultimaonline\\staidx0.mul";
constexpr const char* kDefaultDataPath = "e:\\ultimaonline\\statics0.mul";

// The busy cursor while the transplant runs.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

std::filesystem::path PathOf(const QString& text) {
    return std::filesystem::path(text.toLocal8Bit().toStdString());
}

}  // namespace

TransplantPanel::TransplantPanel(QWidget& dialog, int top, int width) : QWidget(&dialog) {
    setObjectName(QStringLiteral("transplantPanel"));
    const DialogUnits units(dialog.font());
    const QSize size = units.Size(kTemplateWidth, kHeightUnits);
    setGeometry(0, top, width, size.height());

    auto* box = new QGroupBox(QStringLiteral("Transplant into the destination"), this);
    box->setFocusPolicy(Qt::NoFocus);
    box->setGeometry(units.Rect(7, 0, 301, 56));
    const auto label = [&](const char* text, int x, int y, int w) {
        auto* created = new QLabel(QString::fromLatin1(text), this);
        created->setTextFormat(Qt::PlainText);
        QRect rect = units.Rect(x, y, w, 8);
        rect.setWidth(std::max(rect.width(),
                               QFontMetrics(created->font()).horizontalAdvance(created->text())));
        created->setGeometry(rect);
    };
    label("StaIdx0.mul:", 13, 13, 39);
    indexEdit = new QLineEdit(QString::fromLatin1(kDefaultIndexPath), this);
    indexEdit->setObjectName(QStringLiteral("transplantIndex"));
    indexEdit->setGeometry(units.Rect(57, 10, 114, 12));
    label("Statics0.mul:", 13, 28, 39);
    dataEdit = new QLineEdit(QString::fromLatin1(kDefaultDataPath), this);
    dataEdit->setObjectName(QStringLiteral("transplantData"));
    dataEdit->setGeometry(units.Rect(57, 25, 114, 12));
    label("Land and statics of the rectangle, as one change.", 13, 42, 160);

    replace = new QRadioButton(QStringLiteral("&Replace statics"), this);
    replace->setObjectName(QStringLiteral("transplantReplace"));
    replace->setGeometry(units.Rect(192, 10, 110, 10));
    replace->setChecked(true);
    add = new QRadioButton(QStringLiteral("A&dd statics"), this);
    add->setObjectName(QStringLiteral("transplantAdd"));
    add->setGeometry(units.Rect(192, 22, 110, 10));
    button = new QPushButton(QStringLiteral("&Transplant"), this);
    button->setObjectName(QStringLiteral("transplantButton"));
    button->setGeometry(units.Rect(254, 37, 50, 14));
    button->setAutoDefault(true);
    button->setContextMenuPolicy(Qt::PreventContextMenu);
}

StaticsMode TransplantPanel::Mode() const {
    return add->isChecked() ? StaticsMode::Add : StaticsMode::Replace;
}

void TransplantPanel::Run(const CopySettings& settings) {
    TransplantRequest request;
    request.source = {PathOf(QString::fromLocal8Bit(settings.sourceMapPath)),
                      PathOf(QString::fromLocal8Bit(settings.staticsIndexPath)),
                      PathOf(QString::fromLocal8Bit(settings.staticsDataPath))};
    request.destination = {PathOf(QString::fromLocal8Bit(settings.destMapPath)),
                           PathOf(indexEdit->text()), PathOf(dataEdit->text())};
    request.placement = {settings.minX, settings.maxX, settings.minY, settings.maxY,
                         settings.offX, settings.offY, settings.offZ};
    request.statics = Mode();
    // The sizes the user gave for maps whose size the files do not tell.
    request.sourceGeometry = settings.sourceSize;
    request.destinationGeometry = settings.destSize;
    QString shown;
    QMessageBox::Icon icon = QMessageBox::Information;
    try {
        request.journalDirectory = JournalStore::DefaultDirectory();
        TransplantSummary summary;
        {
            BusyCursor busy;
            summary = Transplant(request);
        }
        // The terminal's columns mean nothing in the box's proportional font.
        QStringList lines;
        for (const QString& line :
             QString::fromLocal8Bit(FormatTransplantSummary(summary, request)).split('\n')) {
            lines.append(line.simplified());
        }
        shown = lines.join('\n');
    } catch (const TransplantError& failure) {
        shown = QString::fromLocal8Bit(failure.what());
        icon = QMessageBox::Warning;
    } catch (const JournalError& failure) {
        shown = QString::fromLocal8Bit(failure.what());
        icon = QMessageBox::Warning;
    }
    ShowMessageBox(shown.trimmed(), icon, parentWidget());
}

}  // namespace kestrel
