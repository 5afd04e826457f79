#include "HttpApi.h"

#include "Requests.h"
#include "TaskPool.h"

#include "core/LocalTime.h"
#include "talvexd/control/SiteChanges.h"
#include "talvexd/data/SiteData.h"
#include "talvexd/notify/Notifier.h"
#include "talvexd/site/Log.h"

#include "PrometheusText.h"

#include <Talvex.h>

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>

namespace talvexd {

namespace {

using Json = nlohmann::ordered_json;
using namespace std::chrono_literals;

// A stream says something at least this often, so that a client that went
// away is noticed and its thread freed.
constexpr auto kKeepAlive = 15s;
// Level events at most ten times a second.
constexpr auto kLevelSpacing = 100ms;
// A status event also goes out when only its time moved this much.
constexpr auto kStatusRefresh = 5s;
constexpr char kCookieName[] = "talvex_session";

void SendJson(httplib::Response& response, int status, const Json& body)
{
    response.status = status;
    response.set_content(body.dump() + "\n", "application/json");
}

void SendError(httplib::Response& response, int status, const std::string& message, const std::string& key = "")
{
    Json body;
    body["error"] = message;
    if (!key.empty()) {
        body["key"] = key;
    }
    SendJson(response, status, body);
}

// The value of `name` in a Cookie header.
std::string CookieValue(const std::string& header, const std::string& name)
{
    std::size_t at = 0;
    while (at < header.size()) {
        std::size_t end = header.find(';', at);
        if (end == std::string::npos) {
            end = header.size();
        }
        std::string pair = header.substr(at, end - at);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.size() > name.size() && pair.compare(0, name.size(), name) == 0 && pair[name.size()] == '=') {
            return pair.substr(name.size() + 1);
        }
        at = end + 1;
    }
    return {};
}

// "user:password" from "Basic BASE64"; false when it is not that.
bool DecodeBasic(const std::string& header, std::string& user, std::string& password)
{
    constexpr char kPrefix[] = "Basic ";
    if (header.size() <= sizeof kPrefix - 1 || header.compare(0, sizeof kPrefix - 1, kPrefix) != 0) {
        return false;
    }
    const std::string encoded = header.substr(sizeof kPrefix - 1);
    if (encoded.size() % 4 != 0 || encoded.size() > 1024) {
        return false;
    }
    std::string decoded(encoded.size() / 4 * 3, '\0');
    const int length =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                        reinterpret_cast<const unsigned char*>(encoded.data()), static_cast<int>(encoded.size()));
    if (length < 0) {
        return false;
    }
    // EVP_DecodeBlock counts the padding as zero bytes.
    std::size_t size = static_cast<std::size_t>(length);
    for (std::size_t i = encoded.size(); i > 0 && encoded[i - 1] == '=' && size > 0; --i) {
        --size;
    }
    decoded.resize(size);
    const auto colon = decoded.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    user = decoded.substr(0, colon);
    password = decoded.substr(colon + 1);
    return true;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Answers 503 or 502 for a list of changes that did not all go through;
// true when they did.
bool Answered(httplib::Response& response, const ChangeOutcome& outcome)
{
    using Status = ChangeOutcome::Status;
    switch (outcome.status) {
    case Status::Done: return true;
    case Status::LinkDown: SendError(response, 503, "the link to the transmitter is down"); return false;
    case Status::Busy: SendError(response, 503, "the transmitter is busy; try again"); return false;
    case Status::Refused: {
        Json body;
        body["error"] = outcome.failText;
        body["code"] = outcome.code;
        body["key"] = outcome.key;
        SendJson(response, 502, body);
        return false;
    }
    }
    return false;
}

// A route's path; a "*" in it stands for one segment of the request's path.
constexpr char kAlarmAckPath[] = "/api/v1/alarms/*/ack";

// What the "*" of `pattern` stands for in `path` (empty when it has none);
// nullopt when the path is not the pattern's. A segment is never empty and
// holds no "/".
std::optional<std::string> MatchPath(std::string_view pattern, std::string_view path)
{
    const auto star = pattern.find('*');
    if (star == std::string_view::npos) {
        return pattern == path ? std::optional<std::string>(std::string()) : std::nullopt;
    }
    const std::string_view head = pattern.substr(0, star);
    const std::string_view tail = pattern.substr(star + 1);
    if (path.size() <= head.size() + tail.size() || !path.starts_with(head) || !path.ends_with(tail)) {
        return std::nullopt;
    }
    const std::string_view part = path.substr(head.size(), path.size() - head.size() - tail.size());
    if (part.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(part);
}

Json AlarmJson(const ActiveAlarm& alarm)
{
    Json j;
    j["id"] = AlarmName(alarm.kind);
    j["alarm"] = AlarmName(alarm.kind);
    j["severity"] = SeverityName(alarm.severity);
    j["raised_at"] = Rfc3339(alarm.raisedAt);
    j["value"] = alarm.value;
    j["threshold"] = alarm.threshold;
    j["acknowledged"] = alarm.acknowledged;
    j["acknowledged_by"] = alarm.acknowledged ? Json(alarm.acknowledgedBy) : Json(nullptr);
    j["acknowledged_at"] = alarm.acknowledgedAt ? Json(Rfc3339(*alarm.acknowledgedAt)) : Json(nullptr);
    return j;
}

// {"alarms": [...]}: the alarms up now.
Json AlarmsJson(const CAlarms& alarms)
{
    Json list = Json::array();
    for (const ActiveAlarm& alarm : alarms.Active()) {
        list.push_back(AlarmJson(alarm));
    }
    Json body;
    body["alarms"] = list;
    return body;
}

// talvex_alarm_active for every enabled alarm, to follow the snapshot's text.
std::string AlarmMetrics(const CAlarms& alarms)
{
    std::string text = "# HELP talvex_alarm_active Whether the alarm is up (1) or not (0).\n"
                       "# TYPE talvex_alarm_active gauge\n";
    for (const AlarmKind kind : kAlarmKinds) {
        if (alarms.IsEnabled(kind)) {
            text += std::string("talvex_alarm_active{alarm=\"") + AlarmName(kind) + "\",severity=\"" +
                    SeverityName(alarms.SeverityOf(kind)) + "\"} " + (alarms.IsActive(kind) ? "1" : "0") + "\n";
        }
    }
    return text;
}

// The challenge of a 401. A browser shows its own login box for Basic, even
// to a script of the web page, and holds the script's request until someone
// answers it; the page's requests (fetches, not navigations) are told of
// the session instead, which the page logs in to itself.
void Challenge(const httplib::Request& request, httplib::Response& response)
{
    const std::string mode = request.get_header_value("Sec-Fetch-Mode");
    response.set_header("WWW-Authenticate", !mode.empty() && mode != "navigate"
                                                ? "Session realm=\"talvexd\""
                                                : "Basic realm=\"talvexd\", charset=\"UTF-8\"");
}

// cpp-httplib compresses with brotli whenever a client accepts it, at
// brotli's slowest quality: some 10 ms of CPU for each answer of a few
// kilobytes, where gzip takes a fraction of one. Every browser accepts
// brotli, so the request is made to offer gzip alone. The request is the
// library's own object, handed to the handler read-only for no reason of
// its own; nothing else reads the header before the answer is compressed.
void OfferGzipOnly(const httplib::Request& request)
{
    auto& headers = const_cast<httplib::Request&>(request).headers;
    const auto accepted = headers.find("Accept-Encoding");
    if (accepted == headers.end() || accepted->second.find("br") == std::string::npos) {
        return;
    }
    if (accepted->second.find("gzip") != std::string::npos) {
        accepted->second = "gzip";
    } else {
        headers.erase(accepted);
    }
}

// The body of a 400: the key and what is wrong with it.
void SendBadRequest(httplib::Response& response, const RequestError& error)
{
    SendError(response, 400, error.key.empty() ? error.message : error.key + ": " + error.message, error.key);
}

// The site database's lines of /metrics.
std::string DataMetrics(const CSiteData::Health& health)
{
    std::string text;
    const auto metric = [&](const char* name, const char* type, const char* help, const std::string& value) {
        text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n" + name + " " +
                value + "\n";
    };
    metric("talvex_data_disk_full", "gauge",
           "1 while the site database cannot be written for a full disk or its size cap", health.full ? "1" : "0");
    metric("talvex_data_write_failures_total", "counter",
           "Writes of the site database that failed for another reason than a full disk",
           std::to_string(health.writeFailures));
    metric("talvex_data_waiting_rows", "gauge", "Events and readings waiting in memory to be written",
           std::to_string(health.waiting));
    metric("talvex_data_dropped_rows_total", "counter", "Readings and events given up because too many were waiting",
           std::to_string(health.dropped));
    metric("talvex_data_size_bytes", "gauge", "The site database and its write-ahead log on disk",
           std::to_string(health.bytes));
    return text;
}

// The notifications' lines of /metrics, over both channels.
std::string NotificationMetrics(const NotifierCounts& counts)
{
    return "# HELP talvex_notifications_pending Notifications waiting to be delivered, retried or not\n"
           "# TYPE talvex_notifications_pending gauge\n"
           "talvex_notifications_pending " +
           std::to_string(counts.pending) +
           "\n# HELP talvex_notifications_delivered_total Notifications delivered\n"
           "# TYPE talvex_notifications_delivered_total counter\n"
           "talvex_notifications_delivered_total " +
           std::to_string(counts.delivered) +
           "\n# HELP talvex_notification_failures_total Delivery attempts that failed\n"
           "# TYPE talvex_notification_failures_total counter\n"
           "talvex_notification_failures_total " +
           std::to_string(counts.failed) + "\n";
}

// Three decimals: a mean of tenths needs no more.
double Rounded(double value) { return std::round(value * 1000.0) / 1000.0; }

}  // namespace

struct CHttpApi::Caller {
    std::string user;
    Role role = Role::Viewer;
    bool cookie = false;  // by session cookie rather than Basic
};

struct CHttpApi::Route {
    const char* path;  // a "*" in it matches one segment (MatchPath)
    const char* method;
    Role role;
    void (CHttpApi::*handle)(const httplib::Request&, httplib::Response&, const Caller&);
};

CHttpApi::CHttpApi(const SiteConfig& config, CSiteLink& link, CSiteSchedule& schedule, CStatusBoard& board,
                   CAccounts& accounts, const CJournal& journal, CAlarms& alarms, CSiteData& data,
                   const CNotifier& notifications)
    : m_config(config), m_link(link), m_schedule(schedule), m_board(board), m_accounts(accounts), m_journal(journal),
      m_alarms(alarms), m_data(data), m_notifications(notifications),
      m_sessions(config.dataDirectory + "/sessions", [](const std::string& text) { Log(text); }),
      m_web(config.webDirectory, config.webLibraries)
{}

CHttpApi::~CHttpApi() { Stop(); }

bool CHttpApi::Start(std::string* error)
{
    if (std::string why; !m_sessions.Load(&why)) {
        Log("sessions: " + why);
    }
    const bool tls = !m_config.tlsCertificate.empty();
    if (tls) {
        auto server = std::make_unique<httplib::SSLServer>(m_config.tlsCertificate.c_str(), m_config.tlsKey.c_str());
        if (!server->is_valid()) {
            *error = "cannot use the TLS certificate " + m_config.tlsCertificate + " with the key " + m_config.tlsKey;
            return false;
        }
        m_server = std::move(server);
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    httplib::Server& server = *m_server;
    server.new_task_queue = [] { return new CTaskPool(kThreads); };
    server.set_payload_max_length(kMaxBody);
    // Headers and body leave in two writes: without this, a client that
    // asks again soon waits for its own delayed acknowledgement (40 ms).
    server.set_tcp_nodelay(true);
    const auto dispatch = [this](const httplib::Request& request, httplib::Response& response) {
        Dispatch(request, response);
    };
    server.Get(".*", dispatch);
    server.Post(".*", dispatch);
    server.Put(".*", dispatch);
    server.Patch(".*", dispatch);
    server.Delete(".*", dispatch);
    server.Options(".*", dispatch);
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            SendError(response, response.status, response.status == 413 ? "the body is over 64 KiB" : "bad request");
        }
    });
    server.set_exception_handler([](const httplib::Request& request, httplib::Response& response, std::exception_ptr) {
        Log("request " + request.method + " " + request.path + " failed inside the service");
        SendError(response, 500, "internal error");
    });
    const std::string& host = m_config.listen.host;
    // Port 0: any free port, as the operator's own tools may ask for.
    m_port = m_config.listen.port;
    const bool bound =
        m_port == 0 ? (m_port = server.bind_to_any_port(host.c_str())) > 0 : server.bind_to_port(host.c_str(), m_port);
    if (!bound) {
        *error = "cannot listen on " + host + ":" + std::to_string(m_config.listen.port);
        return false;
    }
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    Log(std::string("serving ") + (tls ? "https" : "http") + "://" + host + ":" + std::to_string(m_port) + "/");
    if (!m_web.HasPage()) {
        Log("the web page is not in " + m_web.Directory() + " ([web] directory); the API is served without it");
    }
    return true;
}

void CHttpApi::Stop()
{
    if (!m_server) {
        return;
    }
    m_board.Close();  // the streams end at their next wake
    m_server->stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_server.reset();
}

void CHttpApi::Dispatch(const httplib::Request& request, httplib::Response& response)
{
    OfferGzipOnly(request);
    static const Route kRoutes[] = {
        {"/api/v1/status", "GET", Role::Viewer, &CHttpApi::GetStatus},
        {"/api/v1/info", "GET", Role::Viewer, &CHttpApi::GetInfo},
        {"/api/v1/settings", "PUT", Role::Operator, &CHttpApi::PutSettings},
        {"/api/v1/protection", "GET", Role::Viewer, &CHttpApi::GetProtection},
        {"/api/v1/protection", "PUT", Role::Admin, &CHttpApi::PutProtection},
        {"/api/v1/schedule", "GET", Role::Viewer, &CHttpApi::GetSchedule},
        {"/api/v1/schedule", "PUT", Role::Admin, &CHttpApi::PutSchedule},
        {"/api/v1/events", "GET", Role::Viewer, &CHttpApi::GetEvents},
        {"/api/v1/alarms", "GET", Role::Viewer, &CHttpApi::GetAlarms},
        {kAlarmAckPath, "POST", Role::Operator, &CHttpApi::PostAlarmAck},
        {"/api/v1/log", "GET", Role::Viewer, &CHttpApi::GetLog},
        {"/api/v1/history", "GET", Role::Viewer, &CHttpApi::GetHistory},
        {"/api/v1/session", "GET", Role::Viewer, &CHttpApi::GetSession},
        {"/api/v1/session", "DELETE", Role::Viewer, &CHttpApi::DeleteSession},
        // Served before anyone is known: listed for the Allow header.
        {"/api/v1/session", "POST", Role::Viewer, nullptr},
        {"/metrics", "GET", Role::Viewer, nullptr},
    };
    const std::string method = request.method == "HEAD" ? "GET" : request.method;
    if (!request.path.starts_with("/api/") && request.path != "/metrics") {
        if (method == "GET") {
            ServeWebFile(request, response);
        } else {
            response.set_header("Allow", "GET, HEAD");
            SendError(response, 405, request.method + " is not allowed here; allowed: GET, HEAD");
        }
        return;
    }
    const Route* route = nullptr;
    std::string allow;
    for (const Route& r : kRoutes) {
        if (!MatchPath(r.path, request.path)) {
            continue;
        }
        allow += (allow.empty() ? "" : ", ") + std::string(r.method);
        if (method == r.method) {
            route = &r;
        }
    }
    if (allow.empty()) {
        SendError(response, 404, "no such resource: " + request.path);
        return;
    }
    if (!route) {
        response.set_header("Allow", allow);
        SendError(response, 405, request.method + " is not allowed here; allowed: " + allow);
        return;
    }
    if (request.path == "/metrics") {
        Caller caller;
        if (!m_config.metricsRequireAuth || Identify(request, response, caller)) {
            GetMetrics(request, response);
        }
        return;
    }
    if (!route->handle) {
        PostSession(request, response);
        return;
    }
    Caller caller;
    if (!Identify(request, response, caller)) {
        return;
    }
    if (method != "GET" && caller.cookie && !CheckOrigin(request)) {
        SendError(response, 403, "a change by session cookie needs this service's own Origin");
        return;
    }
    if (!Allows(caller.role, route->role)) {
        SendError(response, 403,
                  std::string("the role ") + RoleName(caller.role) + " may not do this; it needs " +
                      RoleName(route->role));
        return;
    }
    (this->*route->handle)(request, response, caller);
}

bool CHttpApi::Identify(const httplib::Request& request, httplib::Response& response, Caller& caller)
{
    const std::string& address = request.remote_addr;
    const auto now = CLoginGuard::Clock::now();
    const std::string authorization = request.get_header_value("Authorization");
    if (!authorization.empty()) {
        if (m_guard.Blocked(address, now)) {
            SendError(response, 429, "too many failed logins from this address; try again in a minute");
            return false;
        }
        std::string user;
        std::string password;
        std::optional<Role> role;
        if (DecodeBasic(authorization, user, password)) {
            role = m_accounts.Authenticate(user, password);
        }
        if (!role) {
            m_guard.Failed(address, now);
            Log("login failed for '" + user + "' from " + address + " (Basic)");
            Challenge(request, response);
            SendError(response, 401, "wrong user name or password");
            return false;
        }
        m_guard.Succeeded(address);
        Login(user, address, "Basic");
        caller = {user, *role, false};
        return true;
    }
    const std::string token = CookieValue(request.get_header_value("Cookie"), kCookieName);
    if (!token.empty()) {
        const auto user = m_sessions.Find(token, CSessions::Clock::now());
        const auto role = user ? m_accounts.RoleOf(*user) : std::nullopt;
        if (role) {
            caller = {*user, *role, true};
            return true;
        }
        if (user) {
            m_sessions.End(token);  // the account is gone
        }
    }
    Challenge(request, response);
    SendError(response, 401, "log in first: HTTP Basic, or a session from POST /api/v1/session");
    return false;
}

bool CHttpApi::CheckOrigin(const httplib::Request& request) const
{
    const std::string origin = request.get_header_value("Origin");
    const std::string host = request.get_header_value("Host");
    if (origin.empty() || host.empty()) {
        return false;
    }
    const std::string own = (m_config.tlsCertificate.empty() ? "http://" : "https://") + host;
    return Lower(origin) == Lower(own);
}

void CHttpApi::Login(const std::string& user, const std::string& address, const char* how)
{
    // Basic comes with every request of a script: said once per user and address.
    {
        std::lock_guard lock(m_loginsLock);
        if (m_logins.size() > 10000) {
            m_logins.clear();
        }
        if (!m_logins.insert(user + " " + address).second && std::string(how) == "Basic") {
            return;
        }
    }
    Log("login: '" + user + "' from " + address + " (" + how + ")");
}

void CHttpApi::GetStatus(const httplib::Request&, httplib::Response& response, const Caller&)
{
    SendJson(response, 200, StatusJson(m_board.Current()));
}

void CHttpApi::GetInfo(const httplib::Request&, httplib::Response& response, const Caller&)
{
    SendJson(response, 200, InfoJson(m_board.Current()));
}

void CHttpApi::GetProtection(const httplib::Request&, httplib::Response& response, const Caller&)
{
    SendJson(response, 200, ProtectionJson(m_board.Current()));
}

void CHttpApi::PutSettings(const httplib::Request& request, httplib::Response& response, const Caller& caller)
{
    const auto parsed = ParseSettings(request.body);
    if (const auto* error = std::get_if<RequestError>(&parsed)) {
        SendBadRequest(response, *error);
        return;
    }
    const auto& changes = std::get<std::vector<SettingChange>>(parsed);
    if (Answered(response, ApplySettings(m_link, m_journal, caller.user, changes))) {
        SendJson(response, 200, StatusJson(m_board.Current()));
    }
}

void CHttpApi::PutProtection(const httplib::Request& request, httplib::Response& response, const Caller& caller)
{
    const auto parsed = ParseProtection(request.body);
    if (const auto* error = std::get_if<RequestError>(&parsed)) {
        SendBadRequest(response, *error);
        return;
    }
    const auto& changes = std::get<std::vector<PointChange>>(parsed);
    if (Answered(response, ApplyPoints(m_link, m_journal, caller.user, changes))) {
        SendJson(response, 200, ProtectionJson(m_board.Current()));
    }
}

void CHttpApi::GetSchedule(const httplib::Request&, httplib::Response& response, const Caller&)
{
    Json rows = Json::array();
    const auto tasks = m_schedule.Current();
    for (int i = 0; i < kTaskRows; ++i) {
        const ScheduledTask& task = tasks[static_cast<std::size_t>(i)];
        const LocalFields at = WithTimeOfDay(BreakLocalTime(task.time), task.timeOfDay);
        char date[16];
        char time[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", at.year, at.month, at.day);
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", at.hour, at.minute, at.second);
        Json row;
        row["row"] = i + 1;
        row["every_day"] = IsEverydayRow(i);
        row["date"] = date;
        row["time"] = time;
        row["operation"] = OperationName(task.operation);
        rows.push_back(row);
    }
    Json body;
    body["rows"] = rows;
    SendJson(response, 200, body);
}

void CHttpApi::PutSchedule(const httplib::Request& request, httplib::Response& response, const Caller& caller)
{
    const auto parsed = ParseSchedule(request.body, NowSeconds());
    if (const auto* error = std::get_if<RequestError>(&parsed)) {
        SendBadRequest(response, *error);
        return;
    }
    const ScheduleRows& rows = std::get<ScheduleRows>(parsed);
    const bool saved = m_schedule.Replace(rows);
    m_journal.Record(EventKind::Change, caller.user,
                     std::string("changed the schedule: ") + (saved ? "saved" : "not saved"));
    if (!saved) {
        SendError(response, 500,
                  "the schedule did not reach " + m_schedule.Path() + "; it runs from memory until the next start");
        return;
    }
    GetSchedule(request, response, caller);
}

std::shared_ptr<const CHttpApi::RenderedEvents> CHttpApi::Events()
{
    auto [status, versions] = m_board.Read();
    std::lock_guard lock(m_eventsLock);
    if (m_events && m_events->versions == versions) {
        return m_events;
    }
    const auto event = [](const char* name, const Json& data) {
        return std::string("event: ") + name + "\ndata: " + data.dump() + "\n\n";
    };
    auto events = std::make_shared<RenderedEvents>();
    events->versions = versions;
    Json link;
    link["link"] = status.linkUp ? "up" : "down";
    events->link = event("link", link);
    Json json = StatusJson(status);
    events->status = event("status", json);
    json.erase("read_at");
    events->statusWithoutTime = json.dump();
    Json level;
    level["audio_level_raw"] = status.level;
    level["read_at"] = status.levelReadAt ? Json(Rfc3339(*status.levelReadAt)) : Json(nullptr);
    events->level = event("level", level);
    events->alarms = event("alarms", AlarmsJson(m_alarms));
    m_events = events;
    return events;
}

void CHttpApi::GetEvents(const httplib::Request&, httplib::Response& response, const Caller&)
{
    if (m_streams.fetch_add(1) >= kMaxStreams) {
        m_streams.fetch_sub(1);
        SendError(response, 503, "too many event streams; try again later");
        return;
    }
    struct Stream {
        CStatusBoard::Versions seen;
        bool started = false;
        std::string lastStatus;  // the status sent last, without its time
        std::chrono::steady_clock::time_point statusSent{};
        std::chrono::steady_clock::time_point levelSent{};
    };
    auto stream = std::make_shared<Stream>();
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, stream](std::size_t, httplib::DataSink& sink) {
            if (stream->started) {
                m_board.WaitForChange(stream->seen, kKeepAlive);
            }
            if (m_board.Closed()) {
                sink.done();
                return false;
            }
            // Rendered once per change for every stream.
            const std::shared_ptr<const RenderedEvents> events = Events();
            CStatusBoard::Versions now = events->versions;
            const auto clock = std::chrono::steady_clock::now();
            std::string text;
            if (!stream->started || now.link != stream->seen.link) {
                text += events->link;
            }
            if (!stream->started || now.alarms != stream->seen.alarms) {
                text += events->alarms;
            }
            if ((!stream->started || now.status != stream->seen.status) &&
                (!stream->started || events->statusWithoutTime != stream->lastStatus ||
                 clock - stream->statusSent >= kStatusRefresh)) {
                text += events->status;
                stream->lastStatus = events->statusWithoutTime;
                stream->statusSent = clock;
            }
            if (now.level != stream->seen.level) {
                if (clock - stream->levelSent >= kLevelSpacing) {
                    text += events->level;
                    stream->levelSent = clock;
                } else {
                    // Too soon: this stream's thread waits out the spacing, and the
                    // next call sends the newest level.
                    now.level = stream->seen.level;
                    std::this_thread::sleep_for(kLevelSpacing - (clock - stream->levelSent));
                }
            }
            if (text.empty() && stream->started && now == stream->seen) {
                text = ": keep-alive\n\n";
            }
            stream->seen = now;
            stream->started = true;
            return text.empty() || sink.write(text.data(), text.size());
        },
        [this](bool) { m_streams.fetch_sub(1); });
}

void CHttpApi::GetLog(const httplib::Request& request, httplib::Response& response, const Caller&)
{
    const auto parsed = ParseLogQuery(request.params);
    if (const auto* error = std::get_if<RequestError>(&parsed)) {
        SendBadRequest(response, *error);
        return;
    }
    const LogQuery& query = std::get<LogQuery>(parsed);
    Json events = Json::array();
    for (const LogRow& row : m_data.QueryLog(query.since, query.kind, query.limit)) {
        Json event;
        event["id"] = row.id;
        event["at"] = Rfc3339(row.at);
        event["kind"] = EventKindName(row.kind);
        event["user"] = row.user;
        event["text"] = row.text;
        events.push_back(event);
    }
    Json body;
    body["events"] = events;
    SendJson(response, 200, body);
}

void CHttpApi::GetHistory(const httplib::Request& request, httplib::Response& response, const Caller&)
{
    const auto parsed = ParseHistoryQuery(request.params, WallClock::now());
    if (const auto* error = std::get_if<RequestError>(&parsed)) {
        SendBadRequest(response, *error);
        return;
    }
    const HistoryQuery& query = std::get<HistoryQuery>(parsed);
    Json points = Json::array();
    for (const HistoryBucket& bucket : m_data.QueryHistory(query.reading, query.from, query.to, query.step)) {
        Json point;
        point["at"] = Rfc3339(bucket.start);
        point["min"] = bucket.min;
        point["max"] = bucket.max;
        point["mean"] = Rounded(bucket.mean);
        points.push_back(point);
    }
    Json body;
    body["reading"] = ReadingName(query.reading);
    if (*ReadingUnit(query.reading) != '\0') {
        body["unit"] = ReadingUnit(query.reading);
    }
    body["step"] = query.step.count();
    body["points"] = points;
    SendJson(response, 200, body);
}

void CHttpApi::PostSession(const httplib::Request& request, httplib::Response& response)
{
    const std::string& address = request.remote_addr;
    const auto now = CLoginGuard::Clock::now();
    if (m_guard.Blocked(address, now)) {
        SendError(response, 429, "too many failed logins from this address; try again in a minute");
        return;
    }
    if (!request.get_header_value("Origin").empty() && !CheckOrigin(request)) {
        SendError(response, 403, "a login needs this service's own Origin");
        return;
    }
    const nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        SendError(response, 400, "the body must be a JSON object with \"user\" and \"password\"");
        return;
    }
    const auto user = body.find("user");
    const auto password = body.find("password");
    if (user == body.end() || password == body.end() || !user->is_string() || !password->is_string()) {
        SendError(response, 400, "the body must be a JSON object with \"user\" and \"password\"");
        return;
    }
    const std::string name = user->get<std::string>();
    const auto role = m_accounts.Authenticate(name, password->get<std::string>());
    if (!role) {
        m_guard.Failed(address, now);
        Log("login failed for '" + name + "' from " + address + " (session)");
        SendError(response, 401, "wrong user name or password");
        return;
    }
    m_guard.Succeeded(address);
    Login(name, address, "session");
    const std::string token = m_sessions.Create(name, CSessions::Clock::now());
    std::string cookie = std::string(kCookieName) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict";
    if (!m_config.tlsCertificate.empty()) {
        cookie += "; Secure";
    }
    response.set_header("Set-Cookie", cookie);
    Json answer;
    answer["user"] = name;
    answer["role"] = RoleName(*role);
    answer["site"] = SiteName(m_config);
    SendJson(response, 200, answer);
}

void CHttpApi::GetSession(const httplib::Request&, httplib::Response& response, const Caller& caller)
{
    Json answer;
    answer["user"] = caller.user;
    answer["role"] = RoleName(caller.role);
    answer["site"] = SiteName(m_config);
    SendJson(response, 200, answer);
}

void CHttpApi::ServeWebFile(const httplib::Request& request, httplib::Response& response)
{
    const auto file = m_web.Resolve(request.path);
    const auto content = file ? CWebFiles::Read(*file) : std::nullopt;
    if (!content) {
        SendError(response, 404, "no such page or file: " + request.path);
        return;
    }
    // Asked again every time, answered 304 while unchanged: an upgrade is
    // seen at the next load.
    response.set_header("Cache-Control", "no-cache");
    response.set_header("ETag", content->etag);
    response.set_header("X-Content-Type-Options", "nosniff");
    if (file->page) {
        response.set_header("Content-Security-Policy",
                            "default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
                            "form-action 'self'; frame-ancestors 'none'");
        response.set_header("Referrer-Policy", "no-referrer");
    }
    if (request.get_header_value("If-None-Match") == content->etag) {
        response.status = 304;
        return;
    }
    response.set_content(content->body, file->contentType);
}

void CHttpApi::DeleteSession(const httplib::Request& request, httplib::Response& response, const Caller& caller)
{
    const std::string token = CookieValue(request.get_header_value("Cookie"), kCookieName);
    if (!token.empty()) {
        m_sessions.End(token);
        Log("logout: '" + caller.user + "'");
    }
    response.set_header("Set-Cookie", std::string(kCookieName) + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
    response.status = 204;
}

void CHttpApi::GetMetrics(const httplib::Request&, httplib::Response& response)
{
    const auto snapshot = MetricsSnapshotOf(m_board.Current(), TALVEX_VERSION);
    response.set_content(talvex::metrics::RenderPrometheus(snapshot) + AlarmMetrics(m_alarms) +
                             DataMetrics(m_data.CurrentHealth()) + NotificationMetrics(m_notifications.Counts()),
                         talvex::metrics::kContentType);
}

void CHttpApi::GetAlarms(const httplib::Request&, httplib::Response& response, const Caller&)
{
    SendJson(response, 200, AlarmsJson(m_alarms));
}

void CHttpApi::PostAlarmAck(const httplib::Request& request, httplib::Response& response, const Caller& caller)
{
    const std::string name = MatchPath(kAlarmAckPath, request.path).value_or("");
    const auto kind = ParseAlarmName(name);
    if (!kind) {
        SendError(response, 404, "no such alarm: " + name);
        return;
    }
    ActiveAlarm alarm;
    switch (m_alarms.Acknowledge(*kind, caller.user, WallClock::now(), &alarm)) {
    case CAlarms::AckResult::NotRaised: SendError(response, 409, "the alarm " + name + " is not raised"); return;
    case CAlarms::AckResult::AlreadyAcknowledged:
        SendError(response, 409, "the alarm " + name + " is already acknowledged by '" + alarm.acknowledgedBy + "'");
        return;
    case CAlarms::AckResult::Done: break;
    }
    m_journal.Record(EventKind::AlarmAcknowledged, caller.user, "acknowledged " + name);
    SendJson(response, 200, AlarmJson(alarm));
}

}  // namespace talvexd
