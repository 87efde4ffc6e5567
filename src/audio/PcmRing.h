#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// The lock-free hand-off of PCM from the play thread (the one writer) to the audio device's
// callback (the one reader). The writer copies bytes in and then publishes the new end with release
// ordering; the reader acquires it, consumes, and publishes its own position the same way, so each
// side sees the other's bytes before the count that covers them.
class PcmRing
{
public:
    // capacity must be a power of two.
    explicit PcmRing(std::size_t capacity)
        : m_bytes(capacity)
    {
    }

    // Bytes written but not yet consumed.
    [[nodiscard]] std::size_t Buffered() const
    {
        return m_written.load(std::memory_order_acquire) - m_consumed.load(std::memory_order_acquire);
    }

    // Writer side: copies as much of data as fits and returns how much that was.
    std::size_t Write(const uint8_t* data, std::size_t size)
    {
        const std::size_t written = m_written.load(std::memory_order_relaxed);
        const std::size_t free = m_bytes.size() - (written - m_consumed.load(std::memory_order_acquire));
        const std::size_t count = std::min(size, free);
        if (count == 0) {
            return 0;
        }
        const std::size_t start = written & (m_bytes.size() - 1);
        const std::size_t first = std::min(count, m_bytes.size() - start);
        std::memcpy(m_bytes.data() + start, data, first);
        std::memcpy(m_bytes.data(), data + first, count - first);
        m_written.store(written + count, std::memory_order_release);
        return count;
    }

    // Reader side: hands at most size buffered bytes to sink(pointer, count), in one or two pieces,
    // and returns how many were consumed.
    template <typename Sink>
    std::size_t Consume(std::size_t size, Sink&& sink)
    {
        const std::size_t consumed = m_consumed.load(std::memory_order_relaxed);
        const std::size_t count = std::min(size, m_written.load(std::memory_order_acquire) - consumed);
        const std::size_t start = consumed & (m_bytes.size() - 1);
        const std::size_t first = std::min(count, m_bytes.size() - start);
        if (first > 0) {
            sink(m_bytes.data() + start, first);
        }
        if (count > first) {
            sink(m_bytes.data(), count - first);
        }
        m_consumed.store(consumed + count, std::memory_order_release);
        return count;
    }

    // Empties the ring; only while neither side is running.
    void Clear()
    {
        m_written.store(0);
        m_consumed.store(0);
    }

private:
    std::vector<uint8_t> m_bytes;
    std::atomic<std::size_t> m_written{0};
    std::atomic<std::size_t> m_consumed{0};
};
