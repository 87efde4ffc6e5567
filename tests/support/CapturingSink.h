#pragma once

#include "diag/LogFormatter.h"

#include <spdlog/details/log_msg.h>
#include <spdlog/sinks/sink.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A log destination that keeps the records it receives, for tests that check what is logged.
class CapturingSink final : public spdlog::sinks::sink
{
public:
    struct Entry
    {
        int spdlogLevel;
        std::string function;
        std::string message;
    };

    void log(const spdlog::details::log_msg& message) override
    {
        const std::lock_guard lock(m_mutex);
        m_entries.push_back({static_cast<int>(message.level),
                             message.source.funcname != nullptr ? message.source.funcname : "",
                             std::string(message.payload.data(), message.payload.size())});
    }
    void flush() override { }
    void set_pattern(const std::string&) override { }
    void set_formatter(std::unique_ptr<spdlog::formatter>) override { }

    [[nodiscard]] std::vector<Entry> Entries()
    {
        const std::lock_guard lock(m_mutex);
        return m_entries;
    }
    [[nodiscard]] std::vector<std::string> Messages()
    {
        std::vector<std::string> messages;
        for (const auto& entry : Entries()) {
            messages.push_back(entry.message);
        }
        return messages;
    }

private:
    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};
