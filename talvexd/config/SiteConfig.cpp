// talvexd.toml is read against one table of the keys it may hold: anything
// else in the file is a mistake the operator hears about at start-up, rather
// than a setting that silently does nothing.

#include "talvexd/config/SiteConfig.h"

#include "SerialPort.h"

#include <toml++/toml.h>

#include <cctype>
#include <cerrno>
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
    Text,    // any string, also empty
    Path,    // a file or directory: not empty
    Port,    // a port name OpenCommPath takes; there is no default
    Flag,    // true or false
    Listen,  // an address ParseListenAddress takes
};

using Member = std::variant<std::string SiteConfig::*, bool SiteConfig::*, ListenAddress SiteConfig::*>;

struct Row {
    std::string_view table;  // dotted for a table inside a table
    std::string_view key;
    Kind kind;
    Member member;
};

constexpr Row kRows[] = {
    {"device", "port", Kind::Port, &SiteConfig::port},
    {"http", "listen", Kind::Listen, &SiteConfig::listen},
    {"http", "tls_certificate", Kind::Text, &SiteConfig::tlsCertificate},
    {"http", "tls_key", Kind::Text, &SiteConfig::tlsKey},
    {"http", "metrics_require_auth", Kind::Flag, &SiteConfig::metricsRequireAuth},
    {"auth", "users_file", Kind::Path, &SiteConfig::usersFile},
    {"schedule", "file", Kind::Path, &SiteConfig::scheduleFile},
    {"data", "directory", Kind::Path, &SiteConfig::dataDirectory},
};

// The member's type follows from the kind, so the reads below cannot pick
// the wrong alternative.
constexpr bool RowsAgree()
{
    for (const Row& row : kRows) {
        const bool flag = row.kind == Kind::Flag;
        const bool listen = row.kind == Kind::Listen;
        if (std::holds_alternative<bool SiteConfig::*>(row.member) != flag ||
            std::holds_alternative<ListenAddress SiteConfig::*>(row.member) != listen)
            return false;
    }
    return true;
}
static_assert(RowsAgree(), "a row's member does not fit its kind");

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

// Stores the value of `row` in `config`; the reason when it does not fit.
std::optional<std::string> Read(const Row& row, const toml::node& node, SiteConfig& config)
{
    if (row.kind == Kind::Flag) {
        const auto* flag = node.as_boolean();
        if (flag == nullptr)
            return std::string("expected true or false");
        config.*std::get<bool SiteConfig::*>(row.member) = flag->get();
        return std::nullopt;
    }
    const auto* text = node.as_string();
    if (text == nullptr)
        return std::string("expected a string");
    const std::string& value = text->get();
    switch (row.kind) {
    case Kind::Listen: {
        const auto address = talvex::metrics::ParseListenAddress(value);
        if (!address)
            return std::string("not a listen address: HOST:PORT, [IPV6]:PORT or PORT");
        config.*std::get<ListenAddress SiteConfig::*>(row.member) = *address;
        return std::nullopt;
    }
    case Kind::Path:
        if (value.empty())
            return std::string("empty; a path is needed");
        break;
    case Kind::Port:
        if (auto reason = NotAPort(value))
            return reason;
        break;
    case Kind::Text:
    case Kind::Flag: break;
    }
    config.*std::get<std::string SiteConfig::*>(row.member) = value;
    return std::nullopt;
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
            if (const Row* row = FindRow(name)) {
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

    // What no single key shows: keys left out, and keys that need each other.
    bool CheckWhole()
    {
        for (const Row& row : kRows) {
            const bool needed = row.kind == Kind::Path || row.kind == Kind::Port;
            if (needed && (m_config.*std::get<std::string SiteConfig::*>(row.member)).empty())
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

}  // namespace talvexd
