#pragma once

namespace kestrel::test {

inline constexpr const char* kPrintMessageCaption = "--print-message-caption";

int RunLayoutTests(int argc, char** argv);
int RunBehaviourTests(int argc, char** argv);
int RunOperationsTests(int argc, char** argv);
int RunTransplantPanelTests(int argc, char** argv);

}  // namespace kestrel::test
