#pragma once

namespace kestrel::test {

inline constexpr const char* kPrintMessageCaption = "--print-message-caption";
inline constexpr const char* kCopyStaticsInto = "--copy-statics-into";

int RunLayoutTests(int argc, char** argv);
int RunBehaviourTests(int argc, char** argv);
int RunOperationsTests(int argc, char** argv);
int RunTransplantPanelTests(int argc, char** argv);
int RunMapViewsTests(int argc, char** argv);
int RunFieldHelpersTests(int argc, char** argv);
int RunRoughEdgesTests(int argc, char** argv);

}  // namespace kestrel::test
