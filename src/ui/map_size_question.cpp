#include "ui/map_size_question.h"

#include <QInputDialog>
#include <QStringList>

namespace kestrel {

namespace {

constexpr MapGeometry kMalas{2560, 2048};
constexpr MapGeometry kTerMur{1280, 4096};

}  // namespace

std::optional<MapGeometry> AskMalasOrTerMur(QWidget* parent, const QString& path) {
    const QStringList choices = {QStringLiteral("Malas (2560 x 2048)"),
                                 QStringLiteral("TerMur (1280 x 4096)")};
    bool chosen = false;
    const QString choice = QInputDialog::getItem(
        parent, QStringLiteral("Map size"),
        QStringLiteral("The length of %1 fits a Malas map and a TerMur map, and its name does "
                       "not tell which.\nWhich map is it?")
            .arg(path),
        choices, 0, false, &chosen);
    if (!chosen) {
        return std::nullopt;
    }
    return choice == choices.front() ? kMalas : kTerMur;
}

}  // namespace kestrel
