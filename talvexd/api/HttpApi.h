#pragma once
// The HTTP API (cpp-httplib; HTTPS when a certificate and key are
// configured): authentication (Basic for scripts, a session cookie for the
// web page), roles, the routes under /api/v1/, the event stream and
// /metrics. Reads are served from the status board; only a change of a
// setting reaches the transmitter, on the link's thread. No request, however
// malformed, stops the service. The event log and the history are read from
// the site database, on its own read connection. Every other GET is the web
// page's, served from its files to anyone: the page logs in by itself.

#include "talvexd/alarms/Alarms.h"
#include "talvexd/auth/Accounts.h"
#include "talvexd/auth/LoginGuard.h"
#include "talvexd/auth/Sessions.h"
#include "talvexd/config/SiteConfig.h"
#include "talvexd/site/SiteLink.h"
#include "talvexd/site/SiteSchedule.h"
#include "talvexd/site/StatusBoard.h"
#include "talvexd/web/WebFiles.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace talvexd {

class CNotifier;
class CSiteData;

class CHttpApi
{
public:
    // Request bodies beyond this are refused (413).
    static constexpr std::size_t kMaxBody = 64 * 1024;
    // Event streams at once; each holds a thread. Beyond it: 503.
    static constexpr int kMaxStreams = 220;
    // Threads serving requests: the streams and room for everyone else.
    static constexpr int kThreads = kMaxStreams + 36;

    CHttpApi(const SiteConfig& config, CSiteLink& link, CSiteSchedule& schedule, CStatusBoard& board,
             CAccounts& accounts, const CJournal& journal, CAlarms& alarms, CSiteData& data,
             const CNotifier& notifications);
    ~CHttpApi();
    CHttpApi(const CHttpApi&) = delete;
    CHttpApi& operator=(const CHttpApi&) = delete;

    // Binds and starts serving on a thread of its own; false with a reason.
    bool Start(std::string* error);
    // Ends the event streams and stops serving. Safe to call more than once.
    void Stop();
    int Port() const { return m_port; }

private:
    struct Caller;
    struct Route;
    void Dispatch(const httplib::Request& request, httplib::Response& response);
    // Who sent the request; answers 401, 403 or 429 itself when nobody may.
    bool Identify(const httplib::Request& request, httplib::Response& response, Caller& caller);
    bool CheckOrigin(const httplib::Request& request) const;
    void GetStatus(const httplib::Request&, httplib::Response&, const Caller&);
    void GetInfo(const httplib::Request&, httplib::Response&, const Caller&);
    void PutSettings(const httplib::Request&, httplib::Response&, const Caller&);
    void GetProtection(const httplib::Request&, httplib::Response&, const Caller&);
    void PutProtection(const httplib::Request&, httplib::Response&, const Caller&);
    void GetSchedule(const httplib::Request&, httplib::Response&, const Caller&);
    void PutSchedule(const httplib::Request&, httplib::Response&, const Caller&);
    void GetEvents(const httplib::Request&, httplib::Response&, const Caller&);
    void GetAlarms(const httplib::Request&, httplib::Response&, const Caller&);
    void PostAlarmAck(const httplib::Request&, httplib::Response&, const Caller&);
    void GetLog(const httplib::Request&, httplib::Response&, const Caller&);
    void GetHistory(const httplib::Request&, httplib::Response&, const Caller&);
    void PostSession(const httplib::Request&, httplib::Response&);
    void GetSession(const httplib::Request&, httplib::Response&, const Caller&);
    void ServeWebFile(const httplib::Request&, httplib::Response&);
    void DeleteSession(const httplib::Request&, httplib::Response&, const Caller&);
    void GetMetrics(const httplib::Request&, httplib::Response&);
    void Login(const std::string& user, const std::string& address, const char* how);
    // The events of the board's newest versions, rendered once for every stream.
    struct RenderedEvents {
        CStatusBoard::Versions versions;
        std::string link;
        std::string status;
        std::string statusWithoutTime;  // to tell a change from a newer time
        std::string level;
        std::string alarms;
    };
    std::shared_ptr<const RenderedEvents> Events();

    const SiteConfig& m_config;
    CSiteLink& m_link;
    CSiteSchedule& m_schedule;
    CStatusBoard& m_board;
    CAccounts& m_accounts;
    const CJournal& m_journal;
    CAlarms& m_alarms;
    CSiteData& m_data;
    const CNotifier& m_notifications;
    CLoginGuard m_guard;
    CSessions m_sessions;
    CWebFiles m_web;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<int> m_streams{0};
    std::mutex m_eventsLock;  // guards m_events
    std::shared_ptr<const RenderedEvents> m_events;
    std::mutex m_loginsLock;
    std::set<std::string> m_logins;  // "user address" pairs already logged
};

}  // namespace talvexd
