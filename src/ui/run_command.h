#pragma once

#include <functional>

class QWidget;

namespace kestrel {

inline constexpr const char* kOutOfMemoryMessage = "Out of memory.";

// Runs a command handler and reports a failure that leaves it, over owner: a
// file error with the stop icon and its own text, memory exhaustion with
// "Out of memory." and the exclamation icon. The command then counts as
// handled and the program goes on.
void RunCommand(QWidget* owner, const std::function<void()>& handler);

}  // namespace kestrel
