// The version reply ("version#address") with the update target it records, and the version
// comparison.
#include "update/UpdateCheck.h"
#include "update/VersionCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string first = input.ConsumeRandomLengthString(64);
    const std::string second = input.ConsumeRandomLengthString(64);
    const int code = input.ConsumeBool() ? 200 : input.ConsumeIntegral<int>();
    const std::string reply = input.ConsumeRemainingBytesAsString();

    const int order = CompareVersion(first, second);
    const int reverse = CompareVersion(second, first);
    if (order == 2 ? reverse != 2 : order != -reverse) {
        std::abort(); // not antisymmetric
    }
    if (!first.empty() && CompareVersion(first, first) != 0) {
        std::abort();
    }

    UpdateCheck::Reset();
    UpdateCheck::OnPostVersionCallback(true, code, reply, "http://127.0.0.1/client/version");
    if (UpdateCheck::versionCheckBusy) {
        std::abort(); // the wait would never end
    }
    const UpdateCheck::Target target = UpdateCheck::RecordedTarget();
    if (UpdateCheck::showMainWindow != target.installerPath.empty()) {
        std::abort(); // an update window without its target, or a target without an update
    }
    return 0;
}
