#pragma once
// The service's notifications of alarms: each raise and clear becomes one
// outbox row per channel that is on ([notify.email], [notify.webhook] with
// a url), and a thread per channel delivers them in order. A failed
// delivery holds the channel and is tried again after a pause that doubles
// from retry_first up to retry_max; a delivered one is marked so before the
// next is sent, and never sent again. More than summary_after messages of a
// channel within a minute become one summary. What was owed when the
// service stopped or was killed goes out after the next start.

#include "Outbox.h"
#include "talvexd/alarms/Alarm.h"
#include "talvexd/config/SiteConfig.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvexd {

// For /metrics: every channel together.
struct NotifierCounts {
    std::int64_t pending = 0;     // notifications owed now
    std::uint64_t delivered = 0;  // messages the receivers took since the start
    std::uint64_t failed = 0;     // failed deliveries since the start
};

class CNotifier
{
public:
    explicit CNotifier(const SiteConfig& config);
    ~CNotifier();
    CNotifier(const CNotifier&) = delete;
    CNotifier& operator=(const CNotifier&) = delete;

    // Opens the outbox in [data] directory and starts delivering, first
    // what is owed from before. true without doing anything when no channel
    // is on; false with the reason in `error`.
    bool Start(std::string* error);
    // Keeps the notification of `transition` for every channel and wakes
    // the deliveries; no network, from any thread.
    void Notify(const AlarmTransition& transition);
    // Ends the deliveries (one under way is cut short and stays owed).
    void Stop();

    bool Enabled() const { return !m_channels.empty(); }
    std::int64_t Pending() const { return m_pending.load(); }
    NotifierCounts Counts() const { return {m_pending.load(), m_delivered.load(), m_failed.load()}; }

private:
    using Sender = std::function<bool(const nlohmann::json&, std::string*, const std::atomic<bool>*)>;
    struct Channel {
        std::string name;  // the outbox's channel: "email", "webhook"
        Sender send;
        std::thread thread;
        std::uint64_t wakes = 0;  // Notify calls so far, under m_lock
        bool down = false;        // its newest delivery failed; its thread only
        std::chrono::steady_clock::time_point pruned;
    };

    void Run(Channel& channel);
    // Delivers what is due, holding `lock` but while sending; how long
    // until there is more to do.
    std::chrono::milliseconds Work(Channel& channel, std::unique_lock<std::mutex>& lock);
    // The pause after the `attempts`-th failure in a row.
    std::chrono::milliseconds Backoff(int attempts) const;
    void CountPending();

    SiteConfig m_config;
    std::vector<std::unique_ptr<Channel>> m_channels;
    std::mutex m_lock;  // the outbox and the channels' wakes
    std::condition_variable m_wake;
    COutbox m_outbox;
    std::atomic<bool> m_open{false};  // Notify reads it from any thread
    bool m_stopping = false;
    std::atomic<bool> m_abort{false};
    std::atomic<std::int64_t> m_pending{0};
    std::atomic<std::uint64_t> m_delivered{0};
    std::atomic<std::uint64_t> m_failed{0};
};

}  // namespace talvexd
