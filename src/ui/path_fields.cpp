#include "ui/path_fields.h"

#include <map>
#include <optional>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

#include "clientfiles/file_detection.h"

namespace kestrel {

namespace {

const QRegularExpression& LineBreaks() {
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]"));
    return breaks;
}

QString DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) {
        return {};
    }
    return urls.front().toLocalFile();
}

}  // namespace

QValidator::State OneLineValidator::validate(QString& input, int& position) const {
    if (input.contains(LineBreaks())) {
        // The cursor keeps its place among the characters that remain.
        const int before = int(input.left(position).remove(LineBreaks()).size());
        input.remove(LineBreaks());
        position = before;
    }
    return Acceptable;
}

bool FileDropFilter::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit == nullptr) {
        return false;
    }
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!DroppedFile(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
    } else if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString file = DroppedFile(drop->mimeData());
        if (!file.isEmpty()) {
            edit->setText(QDir::toNativeSeparators(file));
            edit->setFocus(Qt::OtherFocusReason);
            drop->acceptProposedAction();
            return true;
        }
    }
    return false;
}

ClientFolderFiles FindClientFiles(const QString& folder, int preferredFacet) {
    // Lower-case name -> the name as stored.
    std::map<QString, QString> names;
    const QDir directory(folder);
    for (const QString& entry : directory.entryList(QDir::Files | QDir::Readable)) {
        names.emplace(entry.toLower(), entry);
    }
    const auto find = [&](const QString& lower) -> QString {
        const auto found = names.find(lower);
        return found == names.end() ? QString() : directory.filePath(found->second);
    };
    const auto mapOf = [&](int facet) {
        QString map = find(QStringLiteral("map%1.mul").arg(facet));
        return map.isEmpty() ? find(QStringLiteral("map%1legacymul.uop").arg(facet)) : map;
    };
    int facet = preferredFacet;
    if (mapOf(facet).isEmpty()) {
        facet = -1;
        for (const auto& [lower, stored] : names) {
            // Any client file's number will do: only numbers whose map is
            // here are taken.
            const std::optional<int> number = MapNumberFromFileName(lower.toStdString());
            if (number && !mapOf(*number).isEmpty() && (facet < 0 || *number < facet)) {
                facet = *number;
            }
        }
    }
    if (facet < 0) {
        return {};
    }
    return {QDir::toNativeSeparators(mapOf(facet)),
            QDir::toNativeSeparators(find(QStringLiteral("staidx%1.mul").arg(facet))),
            QDir::toNativeSeparators(find(QStringLiteral("statics%1.mul").arg(facet)))};
}

}  // namespace kestrel
