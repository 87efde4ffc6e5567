// What the IM service sends the IM library: every text frame.
#include "NimFrame.h"

#include "platform/JsonReader.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const NimFrame frame = ReadNimFrame(std::string(reinterpret_cast<const char*>(data), size));
    // The payload handed to the client's callbacks is always JSON of the announced shape.
    if (frame.type == NimFrame::Type::Message || frame.type == NimFrame::Type::Messages) {
        const auto payload = JsonReader::Parse(frame.payload);
        if (!payload ||
            (frame.type == NimFrame::Type::Message ? !payload->isObject() : !payload->isArray())) {
            std::abort();
        }
    }
    return 0;
}
