#pragma once

#include <array>
#include <optional>

#include <QString>

#include "operations/settings_exchange.h"

namespace kestrel {

// The fields' texts as the dialog last closed with them, kept in the user's
// settings (QSettings of "Kestrel"), one entry per field by its command-line
// name.
using FieldTexts = std::array<QString, kFieldCount>;

void RememberFields(const FieldTexts& texts);
// The remembered texts; a field never remembered is nullopt.
std::array<std::optional<QString>, kFieldCount> RecallFields();
void ForgetFields();

}  // namespace kestrel
