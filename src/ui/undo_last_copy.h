#pragma once

#include <optional>
#include <string>

class QMenu;
class QWidget;

namespace kestrel {

// Puts "Undo Last Copy" and a separator at the end of menu; the item runs
// UndoLastCopy over owner.
void AddUndoLastCopy(QMenu& menu, QWidget& owner);

// Undoes the newest change in the undo history of the journal directory
// (empty: the user's state directory) after asking, in a box that names the
// file, whether to; says so when there is nothing to undo, when the undo is
// refused (and why) and when it is done.
void UndoLastCopy(QWidget& owner, const std::string& journalDirectory = std::string());

}  // namespace kestrel
