#include "file_faults.h"

namespace kestrel::test {

FileFaults::FileFaults(seam::FileCall call, std::string fullPath)
    : call(call), fullPath(std::move(fullPath)) {
    seam::SetFileFaultHook(&FileFaults::Hook, this);
}

FileFaults::~FileFaults() {
    seam::SetFileFaultHook(nullptr, nullptr);
}

void FileFaults::FailAt(long nth, int errorValue) {
    calls = 0;
    failAt = nth;
    error = errorValue;
    failed = false;
}

int FileFaults::Hook(void* context, seam::FileCall call, const std::string& fullPath) {
    auto& self = *static_cast<FileFaults*>(context);
    if (call != self.call || (!self.fullPath.empty() && fullPath != self.fullPath)) {
        return 0;
    }
    ++self.calls;
    if (self.calls == self.failAt) {
        self.failed = true;
        return self.error;
    }
    return 0;
}

}  // namespace kestrel::test
