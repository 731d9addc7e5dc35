#include "runner/native_call.h"

namespace kestrin {

namespace {

class RefusingCaller : public NativeCaller {
public:
    std::unique_ptr<NativeCall> Prepare(const NativeSignature&) override { return nullptr; }
};

std::shared_ptr<NativeCaller>& Installed() {
    static std::shared_ptr<NativeCaller> caller = std::make_shared<RefusingCaller>();
    return caller;
}

} // namespace

void SetNativeCaller(std::shared_ptr<NativeCaller> caller) {
    Installed() = caller ? std::move(caller) : std::make_shared<RefusingCaller>();
}

NativeCaller& CurrentNativeCaller() {
    return *Installed();
}

} // namespace kestrin
