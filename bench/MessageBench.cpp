// Cross-thread messaging under load: worker threads send messages that carry heap records to one
// window, which takes half of them and leaves the rest to the message. Reports the throughput and
// whether every record was freed.
//
//   bench_messages [messages, default 100000] [threads, default 4] [post instead of send: "post"]

#include "ui/WindowImplBase.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct Record
{
    static inline std::atomic<long> live{0};
    explicit Record(long v)
        : value(v)
    {
        ++live;
    }
    ~Record() { --live; }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    long value;
};

constexpr UINT kWork = WM_USER + 700;

class Receiver final : public WindowImplBase
{
public:
    explicit Receiver(QString layout)
        : m_layout(std::move(layout))
    {
    }
    long handled = 0;
    long sum = 0;

protected:
    [[nodiscard]] QString GetLayoutFile() const override { return m_layout; }
    [[nodiscard]] QString GetWindowClassName() const override { return QStringLiteral("Receiver"); }
    LRESULT HandleMessage(WindowMessage& message) override
    {
        if (message.message == kWork) {
            ++handled;
            if (message.wParam % 2 == 0) {
                sum += message.record.Take<Record>()->value;
            }
            return 0;
        }
        return WindowImplBase::HandleMessage(message);
    }

private:
    QString m_layout;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long total = argc > 1 ? std::atol(argv[1]) : 100000;
    const int threads = argc > 2 ? std::atoi(argv[2]) : 4;
    const bool post = argc > 3 && std::strcmp(argv[3], "post") == 0;

    Receiver receiver(QStringLiteral(EXAMORA_BENCH_LAYOUT));
    receiver.Create({}, QStringLiteral("bench"), WS_POPUP, 0);
    const WindowHandle window = receiver.GetHWND();

    std::atomic<int> finished{0};
    std::atomic<long> refused{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (long i = t; i < total; i += threads) {
                auto record = std::make_unique<Record>(i);
                const bool delivered =
                    post ? PostMessage(window, kWork, static_cast<WPARAM>(i), 0, std::move(record))
                         : SendMessage(window, kWork, static_cast<WPARAM>(i), 0, std::move(record));
                refused += delivered ? 0 : 1;
            }
            ++finished;
        });
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (finished.load() == threads && receiver.handled + refused.load() >= total) {
            loop.quit();
        }
    });
    check.start(1);
    loop.exec();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (auto& worker : workers) {
        worker.join();
    }
    std::printf("%s %ld messages with records from %d threads: %.3f s, %.0f messages/s\n",
                post ? "posted" : "sent", total, threads, seconds, static_cast<double>(total) / seconds);
    std::printf("handled %ld, refused %ld, records still alive: %ld\n", receiver.handled, refused.load(),
                Record::live.load());
    const bool ok = receiver.handled == total && Record::live.load() == 0;
    std::printf("%s\n", ok ? "every record was freed" : "RECORDS LEAKED OR LOST");
    return ok ? 0 : 1;
}
