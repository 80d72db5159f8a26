// Checks every stored offset, all 2^32 of them, through the text the editor
// shows and back: stored -> feet text -> number -> x 21, rounded -> stored.
// Prints how many failed (with the first few) and how long it took.
// Usage: offset_roundtrip [threads]
#include "line_editing.h"
#include "number_text.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

int main(int argc, char *argv[])
{
    const unsigned threads =
        argc > 1 ? unsigned(std::atoi(argv[1])) : std::max(1u, std::thread::hardware_concurrency());
    constexpr quint64 total = quint64(1) << 32;
    std::atomic<quint64> failures{0};
    std::mutex printing;
    const auto started = std::chrono::steady_clock::now();

    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            const quint64 begin = total * t / threads;
            const quint64 end = total * (t + 1) / threads;
            for (quint64 u = begin; u < end; ++u) {
                const auto stored = static_cast<qint32>(static_cast<quint32>(u));
                const QString text = formatFeet(stored);
                const auto feet = parseNumberBox(text);
                const auto back = feet ? feetToStored(*feet) : std::nullopt;
                if (back != std::optional<qint32>(stored)) {
                    if (failures.fetch_add(1) < 10) {
                        const std::lock_guard lock(printing);
                        std::printf("FAILED %d -> %s\n", stored, qPrintable(text));
                    }
                }
            }
        });
    }
    for (std::thread &worker : workers)
        worker.join();

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%llu stored offsets checked on %u threads in %.0f s: %llu failed\n",
                static_cast<unsigned long long>(total), threads, seconds,
                static_cast<unsigned long long>(failures.load()));
    return failures.load() == 0 ? 0 : 1;
}
