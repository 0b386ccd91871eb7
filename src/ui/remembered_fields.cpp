#include "ui/remembered_fields.h"

#include <QSettings>

namespace kestrel {

namespace {

constexpr const char* kGroup = "fields";

const QString kOrganisation = QStringLiteral("Kestrel");
const QString kApplication = QStringLiteral("Kestrel");

// "--source-map" is stored as "source-map".
QString KeyOf(const FieldDescription& field) {
    return QString::fromLatin1(field.option.data(), qsizetype(field.option.size())).mid(2);
}

}  // namespace

void RememberFields(const FieldTexts& texts) {
    QSettings settings(kOrganisation, kApplication);
    settings.beginGroup(QString::fromLatin1(kGroup));
    for (const FieldDescription& field : kSettingsFields) {
        settings.setValue(KeyOf(field), texts[std::size_t(field.field)]);
    }
    settings.endGroup();
    settings.sync();
}

std::array<std::optional<QString>, kFieldCount> RecallFields() {
    std::array<std::optional<QString>, kFieldCount> texts;
    QSettings settings(kOrganisation, kApplication);
    settings.beginGroup(QString::fromLatin1(kGroup));
    for (const FieldDescription& field : kSettingsFields) {
        const QVariant value = settings.value(KeyOf(field));
        if (value.isValid()) {
            texts[std::size_t(field.field)] = value.toString();
        }
    }
    return texts;
}

void ForgetFields() {
    QSettings settings(kOrganisation, kApplication);
    settings.remove(QString::fromLatin1(kGroup));
    settings.sync();
}

}  // namespace kestrel
