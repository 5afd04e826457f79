// TALVEX-MIB's latency as a manager sees it: synchronous GETs of one scalar
// and complete GETNEXT walks of a subtree, over one SNMPv2c session to
// snmpd, which hands every request on to talvexd over AgentX. The session
// stays open throughout, so the figures are the two agents' and the
// loopback's; what a client program's own start costs is timed apart, by
// bench/snmp-perf.py.
//
// Usage: snmp_latency HOST:PORT COMMUNITY GETS OID_OF_SCALAR WALK_ROOT WALKS
//
// OIDs are numeric: no MIB module is read, as a site's manager may have
// none of ours installed and the agents deal in numbers anyway.

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// net-snmp's headers last: they define macros of their own.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kName[] = "snmp_latency";
// Enough for the session, snmpd's AgentX hand-over and talvexd's first
// requests to have run once before anything is timed.
constexpr int kWarmUpGets = 10;
// A loaded master waits for its subagent up to its own timeout (1 s by
// default); one longer than that is an answer that will not come.
constexpr long kTimeoutMicroseconds = 2'000'000;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", kName, what.c_str());
    std::exit(1);
}

std::string Text(const oid* name, std::size_t length)
{
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += "." + std::to_string(name[i]);
    return text;
}

std::vector<oid> ParseOid(std::string_view text)
{
    if (text.starts_with('.'))
        text.remove_prefix(1);
    std::vector<oid> name;
    while (!text.empty()) {
        // Sub-identifiers are 32 bits on the wire, whatever width oid has here.
        std::uint32_t part = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), part);
        if (error != std::errc() || end == text.data())
            Fail("not a numeric OID: " + std::string(text));
        name.push_back(part);
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
        if (text.starts_with('.')) {
            text.remove_prefix(1);
            if (text.empty())
                Fail("an OID ends with a dot");
        } else if (!text.empty()) {
            Fail("not a numeric OID: " + std::string(text));
        }
    }
    if (name.size() < 2 || name.size() > MAX_OID_LEN)
        Fail("an OID of " + std::to_string(name.size()) + " parts");
    return name;
}

int ParseCount(const char* text, const char* what)
{
    int count = 0;
    const std::string_view view(text);
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), count);
    if (error != std::errc() || end != view.data() + view.size() || count < 1)
        Fail(std::string(what) + " is not a positive number: " + text);
    return count;
}

std::string SessionError(netsnmp_session* session)
{
    int library = 0;
    int snmp = 0;
    char* text = nullptr;
    snmp_error(session, &library, &snmp, &text);
    std::string out = text != nullptr ? text : "unknown error";
    SNMP_FREE(text);
    return out;
}

// One request and its answer, timed from the send to the answer's arrival;
// anything but a clean answer ends the run, since a figure that includes a
// retry or an error would not be the one wanted.
netsnmp_pdu* Exchange(netsnmp_session* session, int command, const std::vector<oid>& name, double* milliseconds)
{
    netsnmp_pdu* request = snmp_pdu_create(command);
    snmp_add_null_var(request, name.data(), name.size());
    netsnmp_pdu* response = nullptr;
    const auto start = Clock::now();
    const int status = snmp_synch_response(session, request, &response);
    const auto end = Clock::now();
    const char* kind = command == SNMP_MSG_GET ? "GET" : "GETNEXT";
    if (status == STAT_TIMEOUT)
        Fail(std::string(kind) + " " + Text(name.data(), name.size()) + ": no answer within " +
             std::to_string(kTimeoutMicroseconds / 1000) + " ms");
    if (status != STAT_SUCCESS || response == nullptr)
        Fail(std::string(kind) + " " + Text(name.data(), name.size()) + ": " + SessionError(session));
    if (response->errstat != SNMP_ERR_NOERROR)
        Fail(std::string(kind) + " " + Text(name.data(), name.size()) + ": " + snmp_errstring(response->errstat) +
             " (index " + std::to_string(response->errindex) + ")");
    if (response->variables == nullptr)
        Fail(std::string(kind) + " " + Text(name.data(), name.size()) + ": an answer without a variable");
    *milliseconds = std::chrono::duration<double, std::milli>(end - start).count();
    return response;
}

double Get(netsnmp_session* session, const std::vector<oid>& scalar)
{
    double milliseconds = 0;
    netsnmp_pdu* response = Exchange(session, SNMP_MSG_GET, scalar, &milliseconds);
    const netsnmp_variable_list* var = response->variables;
    // In SNMPv2 a missing object is an exception in the varbind, not an error status.
    if (var->type == SNMP_NOSUCHOBJECT || var->type == SNMP_NOSUCHINSTANCE || var->type == SNMP_ENDOFMIBVIEW)
        Fail("GET " + Text(scalar.data(), scalar.size()) + ": no such object");
    snmp_free_pdu(response);
    return milliseconds;
}

struct Walk {
    double milliseconds = 0;
    int varbinds = 0;
};

Walk WalkOnce(netsnmp_session* session, const std::vector<oid>& root)
{
    Walk walk;
    std::vector<oid> last = root;
    const auto start = Clock::now();
    for (;;) {
        double ignored = 0;
        netsnmp_pdu* response = Exchange(session, SNMP_MSG_GETNEXT, last, &ignored);
        const netsnmp_variable_list* var = response->variables;
        const bool past = var->type == SNMP_ENDOFMIBVIEW ||
                          snmp_oidtree_compare(root.data(), root.size(), var->name, var->name_length) != 0;
        if (past) {
            snmp_free_pdu(response);
            break;
        }
        // An agent that answers with the same name or an earlier one would
        // keep a walk going for ever.
        if (snmp_oid_compare(var->name, var->name_length, last.data(), last.size()) <= 0)
            Fail("GETNEXT " + Text(last.data(), last.size()) + " answered " + Text(var->name, var->name_length) +
                 ", not a later name");
        last.assign(var->name, var->name + var->name_length);
        ++walk.varbinds;
        snmp_free_pdu(response);
    }
    walk.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (walk.varbinds == 0)
        Fail("a walk of " + Text(root.data(), root.size()) + " found nothing");
    return walk;
}

double Median(const std::vector<double>& sorted)
{
    const std::size_t n = sorted.size();
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

// Nearest rank: a value that was measured, never one between two.
double Percentile(const std::vector<double>& sorted, double fraction)
{
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s HOST:PORT COMMUNITY GETS OID_OF_SCALAR WALK_ROOT WALKS\n", kName);
        return 2;
    }
    std::string peer = argv[1];
    std::string community = argv[2];
    const int gets = ParseCount(argv[3], "GETS");
    const std::vector<oid> scalar = ParseOid(argv[4]);
    const std::vector<oid> root = ParseOid(argv[5]);
    const int walks = ParseCount(argv[6], "WALKS");

    // Nothing of the machine's own net-snmp set-up: no snmp.conf, no MIB
    // modules, no state written back on exit. The empty MIBS is what
    // `-m ''` does for the library's own tools.
    snmp_enable_stderrlog();
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIBDIRS, "");
    setenv("MIBS", "", 1);
    init_snmp(kName);

    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.peername = peer.data();
    settings.version = SNMP_VERSION_2c;
    settings.community = reinterpret_cast<u_char*>(community.data());
    settings.community_len = community.size();
    settings.timeout = kTimeoutMicroseconds;
    settings.retries = 0;  // a retry would hide a lost answer inside a slow one
    netsnmp_session* session = snmp_open(&settings);
    if (session == nullptr)
        Fail("cannot open a session to " + peer + ": " + SessionError(&settings));

    for (int i = 0; i < kWarmUpGets; ++i)
        Get(session, scalar);

    std::vector<double> getTimes;
    getTimes.reserve(static_cast<std::size_t>(gets));
    for (int i = 0; i < gets; ++i)
        getTimes.push_back(Get(session, scalar));

    std::vector<double> walkTimes;
    walkTimes.reserve(static_cast<std::size_t>(walks));
    int fewest = 0;
    int most = 0;
    for (int i = 0; i < walks; ++i) {
        const Walk walk = WalkOnce(session, root);
        walkTimes.push_back(walk.milliseconds);
        fewest = i == 0 ? walk.varbinds : std::min(fewest, walk.varbinds);
        most = std::max(most, walk.varbinds);
    }
    snmp_close(session);

    std::sort(getTimes.begin(), getTimes.end());
    std::sort(walkTimes.begin(), walkTimes.end());
    std::printf("get: n=%d median=%.3f p99=%.3f max=%.3f ms\n", gets, Median(getTimes), Percentile(getTimes, 0.99),
                getTimes.back());
    // The walks see the alarms that are up at the time: their length may change mid-run.
    const std::string varbinds =
        fewest == most ? std::to_string(most) : std::to_string(fewest) + ".." + std::to_string(most);
    std::printf("walk: n=%d varbinds=%s median=%.3f max=%.3f ms\n", walks, varbinds.c_str(), Median(walkTimes),
                walkTimes.back());
    snmp_shutdown(kName);
    return 0;
}
