#include "Notifier.h"

#include "Curl.h"
#include "EmailSender.h"
#include "Notice.h"
#include "WebhookSender.h"
#include "talvexd/site/Log.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>

namespace talvexd {

using namespace std::chrono_literals;

namespace {

// The window of the summary rule.
constexpr auto kWindow = 60s;
// How long a woken channel waits for the rest of a burst (several alarms of
// one reading) so that they go out together.
constexpr auto kSettle = 250ms;
// An idle channel looks again at least this often: a clock that was set
// meanwhile cannot hold an item back for long.
constexpr auto kIdle = 60s;
// Delivered rows are kept this long for whoever looks into the database.
constexpr auto kKeepDelivered = std::chrono::hours(24 * 30);

std::chrono::milliseconds Until(WallClock::time_point when, WallClock::time_point now)
{
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(when - now) + 1ms;
    return std::clamp<std::chrono::milliseconds>(wait, 1ms, kIdle);
}

std::string Seconds(std::chrono::milliseconds pause) { return std::to_string((pause.count() + 999) / 1000) + " s"; }

}  // namespace

CNotifier::CNotifier(const SiteConfig& config) : m_config(config)
{
    m_config.siteName = SiteName(m_config);
    if (!m_config.email.url.empty()) {
        auto sender = std::make_shared<CEmailSender>(m_config.email, m_config.siteName);
        m_channels.push_back(std::make_unique<Channel>());
        m_channels.back()->name = "email";
        m_channels.back()->send = [sender](const nlohmann::json& n, std::string* e, const std::atomic<bool>* a) {
            return sender->Send(n, e, a);
        };
    }
    if (!m_config.webhook.url.empty()) {
        auto sender = std::make_shared<CWebhookSender>(m_config.webhook, m_config.siteName);
        m_channels.push_back(std::make_unique<Channel>());
        m_channels.back()->name = "webhook";
        m_channels.back()->send = [sender](const nlohmann::json& n, std::string* e, const std::atomic<bool>* a) {
            return sender->Send(n, e, a);
        };
    }
}

CNotifier::~CNotifier() { Stop(); }

bool CNotifier::Start(std::string* error)
{
    if (m_channels.empty() || m_open)
        return true;
    // A channel that could never send is a mistake to hear of at the start.
    if (!LoadCurl(error))
        return false;
    const std::string path = m_config.dataDirectory + "/" + kDatabaseFile;
    if (!m_outbox.Open(path, error))
        return false;
    m_outbox.Prune(WallClock::now() - kKeepDelivered);
    m_open = true;
    CountPending();
    if (m_pending.load() > 0)
        Log("notify: " + std::to_string(m_pending.load()) + " notifications owed from before the start; sending them");
    for (const auto& channel : m_channels)
        channel->thread = std::thread([this, c = channel.get()] {
            pthread_setname_np(pthread_self(), ("talvexd-" + c->name).c_str());  // apart in top -H
            Run(*c);
        });
    return true;
}

void CNotifier::Notify(const AlarmTransition& transition)
{
    if (!m_open)
        return;
    const std::string body = NoticeOf(transition).dump();
    {
        const std::lock_guard lock(m_lock);
        std::vector<std::string> names;
        for (const auto& channel : m_channels) {
            names.push_back(channel->name);
            ++channel->wakes;
        }
        std::string error;
        if (!m_outbox.Add(names, body, WallClock::now(), &error))
            Log("notify: cannot keep the notification of " + DescribeTransition(transition) + ": " + error);
        CountPending();
    }
    m_wake.notify_all();
}

void CNotifier::Stop()
{
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
        m_abort = true;
    }
    m_wake.notify_all();
    for (const auto& channel : m_channels) {
        if (channel->thread.joinable())
            channel->thread.join();
    }
}

void CNotifier::Run(Channel& channel)
{
    std::unique_lock lock(m_lock);
    std::uint64_t seen = channel.wakes;
    channel.pruned = std::chrono::steady_clock::now();
    while (!m_stopping) {
        const std::chrono::milliseconds pause = Work(channel, lock);
        m_wake.wait_for(lock, pause, [&] { return m_stopping || channel.wakes != seen; });
        if (channel.wakes != seen) {
            m_wake.wait_for(lock, kSettle, [&] { return m_stopping; });
            seen = channel.wakes;
        }
        if (std::chrono::steady_clock::now() - channel.pruned > 1h) {
            m_outbox.Prune(WallClock::now() - kKeepDelivered);
            channel.pruned = std::chrono::steady_clock::now();
        }
    }
}

std::chrono::milliseconds CNotifier::Work(Channel& channel, std::unique_lock<std::mutex>& lock)
{
    const std::int64_t limit = std::max(1, m_config.summaryAfter);
    while (!m_stopping) {
        const WallClock::time_point now = WallClock::now();
        // The channel keeps its order: nothing passes a held item.
        const std::optional<OutboxItem> head = m_outbox.Head(channel.name);
        if (!head)
            return kIdle;
        if (head->nextAttempt > now)
            return Until(head->nextAttempt, now);
        std::vector<OutboxItem> due = m_outbox.Due(now, channel.name);
        if (due.empty())
            return kIdle;
        const std::int64_t recent = m_outbox.DeliveredSince(channel.name, now - kWindow);
        if (recent + static_cast<std::int64_t>(due.size()) > limit) {
            // The minute's messages are spent: wait until one leaves the window.
            if (recent >= limit) {
                if (const auto opens = m_outbox.NthNewestDelivery(channel.name, now - kWindow, limit))
                    return Until(*opens + kWindow, now);
            }
            if (due.size() > 1) {
                std::vector<nlohmann::json> notices;
                std::vector<std::int64_t> ids;
                int attempts = 0;
                for (const OutboxItem& item : due) {
                    nlohmann::json notice = nlohmann::json::parse(item.body, nullptr, false);
                    if (!notice.is_discarded())
                        notices.push_back(std::move(notice));
                    ids.push_back(item.id);
                    attempts = std::max(attempts, item.attempts);
                }
                if (!m_outbox.Summarise(channel.name, ids, SummaryOf(notices).dump(), attempts, now)) {
                    Log("notify: " + channel.name + ": cannot summarise: " + m_outbox.LastError());
                    return 10s;
                }
                continue;
            }
        }

        const OutboxItem item = due.front();
        const nlohmann::json notice = nlohmann::json::parse(item.body, nullptr, false);
        if (notice.is_discarded()) {
            // Nothing can send it; it stays in the table for whoever looks.
            Log("notify: " + channel.name + ": notification " + std::to_string(item.id) + " is unreadable; dropped");
            m_outbox.Delivered(item.id, now);
            continue;
        }
        std::string error;
        lock.unlock();
        const bool sent = channel.send(notice, &error, &m_abort);
        lock.lock();
        if (sent) {
            if (!m_outbox.Delivered(item.id, WallClock::now())) {
                Log("notify: " + channel.name + ": notification " + std::to_string(item.id) +
                    " was delivered but cannot be marked so (it may go again): " + m_outbox.LastError());
                return 10s;
            }
            ++m_delivered;
            CountPending();
            if (channel.down)
                Log("notify: " + channel.name + ": delivering again (notification " + std::to_string(item.id) +
                    " went through after " + std::to_string(item.attempts) + " failed attempts)");
            channel.down = false;
            continue;
        }
        if (m_stopping)
            return 0ms;  // cut short: owed as it was
        ++m_failed;
        const std::chrono::milliseconds pause = Backoff(item.attempts + 1);
        m_outbox.Failed(item.id, WallClock::now() + pause, error);
        if (!channel.down || item.attempts == 0)
            Log("notify: " + channel.name + ": cannot deliver notification " + std::to_string(item.id) + ": " + error +
                "; trying again in " + Seconds(pause) + ", the pause doubling up to " +
                Seconds(std::chrono::duration_cast<std::chrono::milliseconds>(m_config.retryMax)));
        channel.down = true;
        return pause;
    }
    return 0ms;
}

std::chrono::milliseconds CNotifier::Backoff(int attempts) const
{
    const std::chrono::milliseconds most = std::max<std::chrono::milliseconds>(m_config.retryMax, 1s);
    std::chrono::milliseconds pause = std::clamp<std::chrono::milliseconds>(m_config.retryFirst, 1s, most);
    for (int i = 1; i < attempts && pause < most; ++i)
        pause = std::min(pause * 2, most);
    return pause;
}

void CNotifier::CountPending() { m_pending = m_outbox.Pending(); }

}  // namespace talvexd
