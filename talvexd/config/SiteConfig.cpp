// talvexd.toml is read against one table of the keys it may hold: anything
// else in the file is a mistake the operator hears about at start-up, rather
// than a setting that silently does nothing.

#include "talvexd/config/SiteConfig.h"

#include "SerialPort.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>
#include <variant>

#include <fcntl.h>
#include <unistd.h>

namespace talvexd {

namespace {

using talvex::metrics::ListenAddress;

// What a key holds, and so how its value is read and checked.
enum class Kind {
    Text,       // any string, also empty
    Path,       // a file or directory: not empty
    Port,       // a port name OpenCommPath takes; there is no default
    Flag,       // true or false
    Listen,     // an address ParseListenAddress takes
    Count,      // a whole number in the row's range
    Seconds,    // a whole number of seconds in the row's range
    MailUrl,    // smtp:// or smtps://, or empty: no mail
    WebUrl,     // http:// or https://, or empty: no webhook
    Address,    // a mail address, or empty
    Addresses,  // a mail address or an array of them
    File,       // a file the service can read, or empty
    AgentX,     // tcp:HOST:PORT, or the absolute path of a socket
};

// The field a row sets, reached through the config, so that a row may set a
// field of a table inside a table too.
template <typename T>
using Field = T& (*)(SiteConfig&);
using Member = std::variant<Field<std::string>, Field<bool>, Field<ListenAddress>, Field<int>,
                            Field<std::chrono::seconds>, Field<std::vector<std::string>>>;

template <auto member>
auto& Get(SiteConfig& config)
{
    return config.*member;
}
template <auto table, auto member>
auto& Get(SiteConfig& config)
{
    return config.*table.*member;
}

struct Row {
    std::string_view table;  // dotted for a table inside a table
    std::string_view key;
    Kind kind;
    Member member;
    std::int64_t min = 0;  // Count and Seconds: the range allowed
    std::int64_t max = 0;
};

using Email = SiteConfig::Email;
using Webhook = SiteConfig::Webhook;

constexpr Row kRows[] = {
    {"device", "port", Kind::Port, &Get<&SiteConfig::port>},
    {"http", "listen", Kind::Listen, &Get<&SiteConfig::listen>},
    {"http", "tls_certificate", Kind::Text, &Get<&SiteConfig::tlsCertificate>},
    {"http", "tls_key", Kind::Text, &Get<&SiteConfig::tlsKey>},
    {"http", "metrics_require_auth", Kind::Flag, &Get<&SiteConfig::metricsRequireAuth>},
    {"auth", "users_file", Kind::Path, &Get<&SiteConfig::usersFile>},
    {"schedule", "file", Kind::Path, &Get<&SiteConfig::scheduleFile>},
    {"data", "directory", Kind::Path, &Get<&SiteConfig::dataDirectory>},
    {"data", "history_days", Kind::Count, &Get<&SiteConfig::historyDays>, 1, 3650},
    {"data", "history_interval", Kind::Seconds, &Get<&SiteConfig::historyInterval>, 1, 3600},
    {"data", "log_days", Kind::Count, &Get<&SiteConfig::logDays>, 1, 36500},
    {"data", "max_size_mb", Kind::Count, &Get<&SiteConfig::maxSizeMb>, 0, 1000000},
    {"web", "directory", Kind::Path, &Get<&SiteConfig::webDirectory>},
    {"web", "libraries", Kind::Path, &Get<&SiteConfig::webLibraries>},
    {"snmp", "agentx", Kind::AgentX, &Get<&SiteConfig::snmpAgentx>},
    {"notify", "site", Kind::Text, &Get<&SiteConfig::siteName>},
    {"notify", "retry_first", Kind::Seconds, &Get<&SiteConfig::retryFirst>, 1, 86400},
    {"notify", "retry_max", Kind::Seconds, &Get<&SiteConfig::retryMax>, 1, 86400},
    {"notify", "summary_after", Kind::Count, &Get<&SiteConfig::summaryAfter>, 1, 1000},
    {"notify.email", "url", Kind::MailUrl, &Get<&SiteConfig::email, &Email::url>},
    {"notify.email", "from", Kind::Address, &Get<&SiteConfig::email, &Email::from>},
    {"notify.email", "to", Kind::Addresses, &Get<&SiteConfig::email, &Email::to>},
    {"notify.email", "user", Kind::Text, &Get<&SiteConfig::email, &Email::user>},
    {"notify.email", "password_file", Kind::File, &Get<&SiteConfig::email, &Email::passwordFile>},
    {"notify.email", "ca_file", Kind::File, &Get<&SiteConfig::email, &Email::caFile>},
    {"notify.webhook", "url", Kind::WebUrl, &Get<&SiteConfig::webhook, &Webhook::url>},
    {"notify.webhook", "secret_file", Kind::File, &Get<&SiteConfig::webhook, &Webhook::secretFile>},
    {"notify.webhook", "ca_file", Kind::File, &Get<&SiteConfig::webhook, &Webhook::caFile>},
};

// The member's type follows from the kind, so the reads below cannot pick
// the wrong alternative.
template <typename T>
constexpr bool Holds(const Member& member)
{
    return std::holds_alternative<Field<T>>(member);
}
constexpr bool RowsAgree()
{
    for (const Row& row : kRows) {
        bool agrees = false;
        switch (row.kind) {
        case Kind::Flag: agrees = Holds<bool>(row.member); break;
        case Kind::Listen: agrees = Holds<ListenAddress>(row.member); break;
        case Kind::Count: agrees = Holds<int>(row.member) && row.min <= row.max; break;
        case Kind::Seconds: agrees = Holds<std::chrono::seconds>(row.member) && row.min <= row.max; break;
        case Kind::Addresses: agrees = Holds<std::vector<std::string>>(row.member); break;
        default: agrees = Holds<std::string>(row.member); break;
        }
        if (!agrees)
            return false;
    }
    return true;
}
static_assert(RowsAgree(), "a row's member does not fit its kind");

// The keys of [alarms.NAME], and the alarms each applies to.
enum class AlarmKey { Enabled, Severity, Threshold, Delay, Hysteresis, ClearDelay };

constexpr unsigned Bit(AlarmKind kind) { return 1u << static_cast<unsigned>(kind); }
constexpr unsigned kEveryAlarm = ~0u;
// The rules over a reading, which have a threshold.
constexpr unsigned kReadingAlarms =
    Bit(AlarmKind::Swr) | Bit(AlarmKind::Temperature) | Bit(AlarmKind::OffAir) | Bit(AlarmKind::Silence);

struct AlarmRow {
    std::string_view key;
    AlarmKey what;
    unsigned alarms;  // Bit() of each alarm that has the key
};

constexpr AlarmRow kAlarmRows[] = {
    {"enabled", AlarmKey::Enabled, kEveryAlarm},
    {"severity", AlarmKey::Severity, kEveryAlarm},
    {"threshold", AlarmKey::Threshold, kReadingAlarms},
    {"delay", AlarmKey::Delay, kReadingAlarms | Bit(AlarmKind::Link)},
    {"hysteresis", AlarmKey::Hysteresis, kReadingAlarms},
    {"clear_delay", AlarmKey::ClearDelay, kReadingAlarms},
};

// Delays beyond a day are surely a mistake, and stay far from overflowing.
constexpr double kMaxDelaySeconds = 86400;

constexpr char kPortNames[] = "a device path (/dev/...) or rfc2217://HOST:PORT or socket://HOST:PORT";

std::string FullName(const Row& row) { return std::string(row.table) + "." + std::string(row.key); }

const Row* FindRow(std::string_view name)
{
    for (const Row& row : kRows) {
        if (FullName(row) == name)
            return &row;
    }
    return nullptr;
}

// A table some row lives in, or one that holds such a table.
bool IsTable(std::string_view name)
{
    if (name == "alarms")
        return true;
    for (const Row& row : kRows) {
        if (row.table == name || (row.table.starts_with(name) && row.table[name.size()] == '.'))
            return true;
    }
    return false;
}

// The platform's reason, as the rest of the line reads: "no such file or directory".
std::string Reason(int error)
{
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

// Why `path` cannot be read, or nullopt when it can; a directory cannot.
std::optional<std::string> Unreadable(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Reason(errno);
    char byte = 0;
    const bool failed = ::read(fd, &byte, 1) < 0;
    const int error = errno;
    ::close(fd);
    if (failed)
        return Reason(error);
    return std::nullopt;
}

// Why `name` is not a port name OpenCommPath takes, or nullopt when it is.
std::optional<std::string> NotAPort(const std::string& name)
{
    if (name.starts_with('/'))
        return std::nullopt;
    bool malformed = false;
    if (talvex::ParseNetAddress(name.c_str(), &malformed))
        return std::nullopt;
    if (malformed)
        return std::string(
            "not a network port name: rfc2217://HOST:PORT or socket://HOST:PORT, IPv6 hosts in brackets");
    return std::string("not a port name: ") + kPortNames;
}

// Why `text` is not an address snmpd's AgentX master listens on, as its
// agentXSocket names it: "tcp:HOST:PORT" or a socket's absolute path
// (also "unix:/PATH"); or nullopt.
std::optional<std::string> NotAnAgentX(const std::string& text)
{
    constexpr char kForms[] = "expected tcp:HOST:PORT or the absolute path of snmpd's AgentX socket";
    std::string_view rest = text;
    if (rest.starts_with("unix:"))
        rest.remove_prefix(5);
    if (rest.starts_with('/'))
        return std::nullopt;
    if (!rest.starts_with("tcp:"))
        return std::string(kForms);
    rest.remove_prefix(4);
    const auto colon = rest.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::string(kForms);
    const std::string_view port = rest.substr(colon + 1);
    int number = 0;
    const auto [end, failed] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (failed != std::errc() || end != port.data() + port.size() || number < 1 || number > 65535)
        return "not a port: '" + std::string(port) + "', expected 1..65535";
    return std::nullopt;
}

// Why `text` is not one mail address ("ops@example.org"), or nullopt.
std::optional<std::string> NotAnAddress(const std::string& text)
{
    const auto at = text.find('@');
    const bool plain = std::none_of(text.begin(), text.end(), [](unsigned char c) {
        return c <= ' ' || c == '\x7f' || c == '<' || c == '>' || c == ',' || c == ';' || c == '"';
    });
    if (text.size() > 254 || !plain || at == 0 || at == std::string::npos || at + 1 == text.size() ||
        text.find('@', at + 1) != std::string::npos)
        return "not a mail address: \"" + text + "\"; one such as ops@example.org";
    return std::nullopt;
}

// Why `url` is not one with a host after one of `schemes`, or nullopt. A
// character below the space could end a request line or a header.
std::optional<std::string> NotAUrl(const std::string& url, std::initializer_list<std::string_view> schemes)
{
    std::string names;
    for (const std::string_view scheme : schemes) {
        if (url.starts_with(scheme) && url.size() > scheme.size() &&
            std::none_of(url.begin(), url.end(), [](unsigned char c) { return c <= ' ' || c == '\x7f'; }))
            return std::nullopt;
        names += (names.empty() ? "" : " or ") + std::string(scheme) + "HOST:PORT";
    }
    return "not a URL: " + names;
}

// A whole number in [min, max]; the reason when it is not.
std::optional<std::string> ReadWhole(const Row& row, const toml::node& node, std::int64_t& value)
{
    const std::string range = std::to_string(row.min) + ".." + std::to_string(row.max);
    const auto* number = node.as_integer();
    if (number == nullptr)
        return "expected a whole number, " + range;
    value = number->get();
    if (value < row.min || value > row.max)
        return std::to_string(value) + " is out of range, " + range;
    return std::nullopt;
}

// Stores the value of `row` in `config`; the reason when it does not fit.
std::optional<std::string> Read(const Row& row, const toml::node& node, SiteConfig& config)
{
    switch (row.kind) {
    case Kind::Flag: {
        const auto* flag = node.as_boolean();
        if (flag == nullptr)
            return std::string("expected true or false");
        std::get<Field<bool>>(row.member)(config) = flag->get();
        return std::nullopt;
    }
    case Kind::Count:
    case Kind::Seconds: {
        std::int64_t value = 0;
        if (auto reason = ReadWhole(row, node, value))
            return reason;
        if (row.kind == Kind::Count)
            std::get<Field<int>>(row.member)(config) = static_cast<int>(value);
        else
            std::get<Field<std::chrono::seconds>>(row.member)(config) = std::chrono::seconds(value);
        return std::nullopt;
    }
    case Kind::Addresses: {
        std::vector<std::string> addresses;
        if (const auto* one = node.as_string()) {
            addresses.push_back(one->get());
        } else if (const auto* many = node.as_array()) {
            for (const toml::node& item : *many) {
                const auto* text = item.as_string();
                if (text == nullptr)
                    return std::string("expected a string or an array of strings");
                addresses.push_back(text->get());
            }
        } else {
            return std::string("expected a string or an array of strings");
        }
        for (const std::string& address : addresses) {
            if (auto reason = NotAnAddress(address))
                return reason;
        }
        std::get<Field<std::vector<std::string>>>(row.member)(config) = std::move(addresses);
        return std::nullopt;
    }
    default: break;
    }
    const auto* text = node.as_string();
    if (text == nullptr)
        return std::string("expected a string");
    const std::string& value = text->get();
    std::optional<std::string> reason;
    switch (row.kind) {
    case Kind::Listen: {
        const auto address = talvex::metrics::ParseListenAddress(value);
        if (!address)
            return std::string("not a listen address: HOST:PORT, [IPV6]:PORT or PORT");
        std::get<Field<ListenAddress>>(row.member)(config) = *address;
        return std::nullopt;
    }
    case Kind::Path:
        if (value.empty())
            reason = "empty; a path is needed";
        break;
    case Kind::Port: reason = NotAPort(value); break;
    case Kind::AgentX: reason = NotAnAgentX(value); break;
    case Kind::MailUrl:
        if (!value.empty())
            reason = NotAUrl(value, {"smtp://", "smtps://"});
        break;
    case Kind::WebUrl:
        if (!value.empty())
            reason = NotAUrl(value, {"http://", "https://"});
        break;
    case Kind::Address:
        if (!value.empty())
            reason = NotAnAddress(value);
        break;
    case Kind::File:
        if (!value.empty()) {
            if (const auto why = Unreadable(value))
                reason = "cannot read " + value + ": " + *why;
        }
        break;
    default: break;
    }
    if (reason)
        return reason;
    std::get<Field<std::string>>(row.member)(config) = value;
    return std::nullopt;
}

// A number of seconds, 0..kMaxDelaySeconds, as milliseconds.
std::optional<std::string> ReadDelay(const toml::node& node, std::chrono::milliseconds& delay)
{
    const auto seconds = node.is_number() ? node.value<double>() : std::nullopt;
    if (!seconds || !(*seconds >= 0 && *seconds <= kMaxDelaySeconds))
        return "expected a number of seconds, 0.." + std::to_string(static_cast<int>(kMaxDelaySeconds));
    delay = std::chrono::milliseconds(std::llround(*seconds * 1000));
    return std::nullopt;
}

// Stores the value of one key of [alarms.NAME] in its rule.
std::optional<std::string> ReadAlarmKey(const AlarmRow& row, const toml::node& node, AlarmRule& rule)
{
    switch (row.what) {
    case AlarmKey::Enabled: {
        const auto* flag = node.as_boolean();
        if (flag == nullptr)
            return std::string("expected true or false");
        rule.enabled = flag->get();
        return std::nullopt;
    }
    case AlarmKey::Severity: {
        const auto* text = node.as_string();
        const auto severity = text ? ParseSeverity(text->get()) : std::nullopt;
        if (!severity)
            return std::string("expected \"critical\" or \"warning\"");
        rule.severity = *severity;
        return std::nullopt;
    }
    case AlarmKey::Threshold:
    case AlarmKey::Hysteresis: {
        const auto number = node.is_number() ? node.value<double>() : std::nullopt;
        if (!number || !std::isfinite(*number) || *number < 0)
            return std::string("expected a number, 0 or more");
        if (row.what == AlarmKey::Threshold)
            rule.threshold = *number;
        else
            rule.hysteresis = *number;
        return std::nullopt;
    }
    case AlarmKey::Delay: return ReadDelay(node, rule.delay);
    case AlarmKey::ClearDelay: return ReadDelay(node, rule.clearDelay);
    }
    return std::nullopt;
}

// "swr, temperature, ...": for the error naming an unknown alarm.
std::string AlarmNames()
{
    std::string names;
    for (const AlarmKind kind : kAlarmKinds)
        names += (names.empty() ? "" : ", ") + std::string(AlarmName(kind));
    return names;
}

}  // namespace

std::array<AlarmRule, std::size(kAlarmKinds)> SiteConfig::DefaultAlarmRules()
{
    std::array<AlarmRule, std::size(kAlarmKinds)> rules;
    for (const AlarmKind kind : kAlarmKinds)
        rules[static_cast<std::size_t>(kind)] = DefaultAlarmRule(kind);
    return rules;
}

namespace {

// Reads one file into a config; the first mistake found ends it.
class CLoader
{
public:
    CLoader(const std::string& file, SiteConfig& config) : m_file(file), m_config(config) {}

    // Every key below `table`, which is called `prefix` ("" for the file).
    bool Walk(const toml::table& table, const std::string& prefix)
    {
        for (const auto& [key, node] : table) {
            const std::string name = prefix.empty() ? std::string(key.str()) : prefix + "." + std::string(key.str());
            const int line = static_cast<int>(node.source().begin.line);
            m_lines[name] = line;
            if (prefix == "alarms") {
                if (!WalkAlarm(key.str(), node, name, line))
                    return false;
            } else if (const Row* row = FindRow(name)) {
                if (const auto reason = Read(*row, node, m_config))
                    return Fail(line, name + ": " + *reason);
            } else if (!IsTable(name)) {
                return Fail(line, name + (node.is_table() ? ": unknown table" : ": unknown key"));
            } else if (const auto* inner = node.as_table()) {
                if (!Walk(*inner, name))
                    return false;
            } else {
                return Fail(line, name + ": expected a table");
            }
        }
        return true;
    }

    // One [alarms.NAME] table.
    bool WalkAlarm(std::string_view alarm, const toml::node& node, const std::string& name, int line)
    {
        const auto kind = ParseAlarmName(alarm);
        if (!kind)
            return Fail(line, name + ": unknown alarm; the alarms are " + AlarmNames());
        const auto* table = node.as_table();
        if (table == nullptr)
            return Fail(line, name + ": expected a table");
        AlarmRule& rule = m_config.alarms[static_cast<std::size_t>(*kind)];
        for (const auto& [key, value] : *table) {
            const std::string full = name + "." + std::string(key.str());
            const int at = static_cast<int>(value.source().begin.line);
            m_lines[full] = at;
            const auto row = std::find_if(std::begin(kAlarmRows), std::end(kAlarmRows),
                                          [&](const AlarmRow& r) { return r.key == key.str(); });
            if (row == std::end(kAlarmRows))
                return Fail(at, full + ": unknown key");
            if ((row->alarms & Bit(*kind)) == 0)
                return Fail(at, full + ": " + std::string(alarm) + " has no " + std::string(key.str()));
            if (const auto reason = ReadAlarmKey(*row, value, rule))
                return Fail(at, full + ": " + *reason);
        }
        return true;
    }

    // What no single key shows: keys left out, and keys that need each other.
    bool CheckWhole()
    {
        for (const Row& row : kRows) {
            const bool needed = row.kind == Kind::Path || row.kind == Kind::Port;
            if (needed && std::get<Field<std::string>>(row.member)(m_config).empty())
                return Fail(LineOf(std::string(row.table)), FullName(row) + ": missing");
        }
        const bool certificate = !m_config.tlsCertificate.empty();
        const bool key = !m_config.tlsKey.empty();
        if (certificate != key) {
            const std::string set = certificate ? "tls_certificate" : "tls_key";
            const std::string unset = certificate ? "tls_key" : "tls_certificate";
            return Fail(LineOf("http." + set), "http." + set + ": set without " + unset + "; HTTPS needs both");
        }
        if (certificate) {
            for (const auto& [name, path] : {std::pair{"http.tls_certificate", &m_config.tlsCertificate},
                                             std::pair{"http.tls_key", &m_config.tlsKey}}) {
                if (const auto reason = Unreadable(*path))
                    return Fail(LineOf(name), std::string(name) + ": cannot read " + *path + ": " + *reason);
            }
        }
        if (m_config.retryMax < m_config.retryFirst)
            return Fail(LineOf("notify.retry_max"), "notify.retry_max: under retry_first; the pause only grows");
        const SiteConfig::Email& email = m_config.email;
        if (!email.url.empty() && email.from.empty())
            return Fail(LineOf("notify.email.url"), "notify.email.url: set without from");
        if (!email.url.empty() && email.to.empty())
            return Fail(LineOf("notify.email.url"), "notify.email.url: set without to");
        if (!email.user.empty() && email.passwordFile.empty())
            return Fail(LineOf("notify.email.user"), "notify.email.user: set without password_file");
        if (!m_config.webhook.url.empty() && m_config.webhook.secretFile.empty())
            return Fail(LineOf("notify.webhook.url"), "notify.webhook.url: set without secret_file");
        // A [snmp] without its address would be SNMP silently off.
        if (m_lines.contains("snmp") && m_config.snmpAgentx.empty())
            return Fail(LineOf("snmp"), "snmp.agentx: missing; [snmp] needs the address of snmpd's AgentX master");
        return true;
    }

    // "FILE:LINE: text", or "FILE: text" for line 0 (the file as a whole).
    bool Fail(int line, const std::string& text)
    {
        m_error = m_file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + text;
        return false;
    }
    const std::string& Error() const { return m_error; }

private:
    // The line of a table or key seen, else the file's first.
    int LineOf(const std::string& name) const
    {
        const auto found = m_lines.find(name);
        return found != m_lines.end() ? found->second : 1;
    }

    const std::string& m_file;
    SiteConfig& m_config;
    std::map<std::string, int> m_lines;  // where each table and key seen starts
    std::string m_error;
};

// Keys and parser texts may hold any character; the error stays one line.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7f')
            c = ' ';
    }
    return text;
}

}  // namespace

bool LoadSiteConfig(const std::string& path, SiteConfig& config, std::string* error)
{
    SiteConfig loaded;
    loaded.file = path;
    CLoader loader(path, loaded);
    bool ok = false;
    if (const auto reason = Unreadable(path)) {
        loader.Fail(0, *reason);
    } else {
        try {
            const toml::table document = toml::parse_file(path);
            ok = loader.Walk(document, "") && loader.CheckWhole();
        } catch (const toml::parse_error& e) {
            loader.Fail(static_cast<int>(e.source().begin.line), std::string(e.description()));
        }
    }
    if (!ok) {
        if (error != nullptr)
            *error = OneLine(loader.Error());
        return false;
    }
    config = std::move(loaded);
    return true;
}

std::string SiteName(const SiteConfig& config)
{
    if (!config.siteName.empty())
        return config.siteName;
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 && name[0] ? name : "talvex";
}

}  // namespace talvexd
