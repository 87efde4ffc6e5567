// The local service's readers of what clients send: signed forms and tracking records. Half of
// the inputs are signed correctly, so the fuzzer also reaches what lies behind the signature.
#include "SignedForm.h"
#include "TrackRecord.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

const std::string kSecret = "fuzzing-secret-0123";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool sign = input.ConsumeBool();
    const std::string body = input.ConsumeRandomLengthString(4096);
    const std::string track = input.ConsumeRemainingBytesAsString();

    std::string error;
    std::string form = body;
    if (sign) {
        // Sign the raw pieces as the client does.
        std::vector<std::string> pieces;
        std::size_t start = 0;
        while (start <= body.size()) {
            const std::size_t end = std::min(body.find('&', start), body.size());
            if (end > start) {
                pieces.push_back(body.substr(start, end - start));
            }
            start = end + 1;
        }
        form += "&signature=" + SignedForm::Signature(pieces, kSecret);
    }
    if (const auto parsed = SignedForm::Parse(form, kSecret, &error)) {
        (void)parsed->Value("params");
        (void)parsed->Has("signature");
    } else if (error.empty()) {
        std::abort(); // a refusal without a reason
    }

    error.clear();
    if (!TrackRecord::Decode(track, kSecret, &error) && error.empty()) {
        std::abort();
    }
    return 0;
}
