// Every reply of the sign-on API: the three readers and the message table they lead to.
#include "service/OrvaManager.h"
#include "service/ReplyReader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int responseCode = input.ConsumeBool() ? 200 : input.ConsumeIntegral<int>();
    const std::string reply = input.ConsumeRemainingBytesAsString();

    const LoginReply login = ReplyReader::ReadLoginReply(responseCode, reply);
    if (login.outcome == ReplyOutcome::Success && login.status != 200) {
        std::abort(); // a refusal read as a success
    }
    QString text = login.message;
    (void)COrvaManager::GetStateMessage(login.status, text);

    const UserConfigReply config = ReplyReader::ReadUserConfigReply(responseCode, reply);
    (void)config;

    const StateReply state = ReplyReader::ReadStateReply(responseCode, reply);
    if (state.outcome == ReplyOutcome::Success && state.state != 0) {
        std::abort();
    }
    text = state.stateInfo;
    (void)COrvaManager::GetStateMessage(state.state, text);
    if ((login.outcome == ReplyOutcome::Success || state.outcome == ReplyOutcome::Success) &&
        (responseCode != 200 || reply.empty())) {
        std::abort(); // a failed transfer read as a success
    }
    return 0;
}
