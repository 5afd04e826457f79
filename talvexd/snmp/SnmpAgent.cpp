#include "SnmpAgent.h"

#include "talvexd/control/SiteChanges.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <unistd.h>

// net-snmp's headers last, as they define macros of their own, and in
// this order: the configuration first.
// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>
#include <net-snmp/agent/agent_callbacks.h>
// clang-format on

namespace talvexd {

namespace {

// The name the library reads its configuration under: it reads none, but
// the name shows in its own messages.
constexpr char kAgentName[] = "talvexd";
// snmpTrapOID.0, which every notification names first.
const oid kSnmpTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};

// While the library starts: it looks for the MIB modules its tools would
// print names with, which a subagent that deals in numbers has no use for,
// and says so for each one it misses.
bool g_starting = false;

// The agent that the library's hooks serve; one per process, as the
// library's state is.
CSnmpAgent* g_agent = nullptr;

std::vector<oid> ToNetSnmp(std::span<const std::uint32_t> from) { return {from.begin(), from.end()}; }

// The varbind's name as the MIB's numbers; a part beyond 32 bits is no
// number of ours, and is kept out of range.
Oid FromNetSnmp(const oid* name, std::size_t length)
{
    Oid out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i)
        out.push_back(name[i] > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(name[i]));
    return out;
}

void SetValue(netsnmp_variable_list* var, const MibValue& value)
{
    switch (value.type) {
    case MibValue::Type::Integer: {
        const long number = static_cast<long>(value.number);
        snmp_set_var_typed_value(var, ASN_INTEGER, &number, sizeof number);
        break;
    }
    case MibValue::Type::Unsigned: {
        const u_long number = static_cast<u_long>(value.number);
        snmp_set_var_typed_value(var, ASN_GAUGE, &number, sizeof number);
        break;
    }
    case MibValue::Type::Octets:
    case MibValue::Type::Other:
        snmp_set_var_typed_value(var, ASN_OCTET_STR, value.octets.data(), value.octets.size());
        break;
    }
}

// What a SET brought, in the MIB's syntaxes; a type the MIB does not use is
// Other, which no object takes.
MibValue ValueOf(const netsnmp_variable_list* var)
{
    MibValue value;
    switch (var->type) {
    case ASN_INTEGER:
        value.type = var->val_len == sizeof(long) ? MibValue::Type::Integer : MibValue::Type::Other;
        value.number = value.type == MibValue::Type::Integer ? *var->val.integer : 0;
        break;
    case ASN_GAUGE:  // also Unsigned32
        value.type = var->val_len == sizeof(u_long) ? MibValue::Type::Unsigned : MibValue::Type::Other;
        value.number = value.type == MibValue::Type::Unsigned ? static_cast<u_long>(*var->val.integer) : 0;
        break;
    case ASN_OCTET_STR:
        value.type = MibValue::Type::Octets;
        value.octets.assign(reinterpret_cast<const char*>(var->val.string), var->val_len);
        break;
    default: value.type = MibValue::Type::Other; break;
    }
    return value;
}

int ErrorStatus(MibSetError error)
{
    switch (error) {
    case MibSetError::NotWritable: return SNMP_ERR_NOTWRITABLE;
    case MibSetError::NoCreation: return SNMP_ERR_NOCREATION;
    case MibSetError::WrongType: return SNMP_ERR_WRONGTYPE;
    case MibSetError::WrongValue: return SNMP_ERR_WRONGVALUE;
    }
    return SNMP_ERR_GENERR;
}

}  // namespace

struct CSnmpAgent::Hooks {
    static int Handle(netsnmp_mib_handler*, netsnmp_handler_registration*, netsnmp_agent_request_info* info,
                      netsnmp_request_info* requests)
    {
        CSnmpAgent* agent = g_agent;
        if (agent == nullptr)
            return SNMP_ERR_GENERR;
        switch (info->mode) {
        case MODE_GET:
        case MODE_GETNEXT: Read(*agent, info, requests); break;
        case MODE_SET_RESERVE1: Check(info, requests); break;
        case MODE_SET_RESERVE2:
            // Refused before the commit, while nothing has been sent yet.
            if (!agent->m_link.IsUp())
                netsnmp_set_request_error(info, requests, SNMP_ERR_RESOURCEUNAVAILABLE);
            break;
        case MODE_SET_ACTION: Apply(*agent, info, requests); break;
        default: break;  // COMMIT, FREE, UNDO: a transmitter has no undo
        }
        return SNMP_ERR_NOERROR;
    }

    static void Check(netsnmp_agent_request_info* info, netsnmp_request_info* requests)
    {
        for (netsnmp_request_info* r = requests; r != nullptr; r = r->next) {
            const netsnmp_variable_list* var = r->requestvb;
            const auto checked = CheckMibSet(FromNetSnmp(var->name, var->name_length), ValueOf(var));
            if (const auto* error = std::get_if<MibSetError>(&checked)) {
                netsnmp_set_request_error(info, r, ErrorStatus(*error));
            }
        }
    }

    static void Read(CSnmpAgent& agent, netsnmp_agent_request_info* info, netsnmp_request_info* requests)
    {
        // One view for every variable of the request: a walk's step sees one
        // moment of the board.
        const std::vector<MibInstance> instances =
            MibInstances(agent.m_board.Current(), agent.m_alarms.Active(), WallClock::now());
        for (netsnmp_request_info* r = requests; r != nullptr; r = r->next) {
            if (r->processed)
                continue;
            netsnmp_variable_list* var = r->requestvb;
            const Oid asked = FromNetSnmp(var->name, var->name_length);
            if (info->mode == MODE_GET) {
                if (const MibInstance* found = FindMibInstance(instances, asked))
                    SetValue(var, found->value);
                else
                    netsnmp_set_request_error(info, r, SNMP_NOSUCHINSTANCE);
            } else if (const MibInstance* next = NextMibInstance(instances, asked, r->inclusive != 0)) {
                const std::vector<oid> name = ToNetSnmp(next->oid);
                snmp_set_var_objid(var, name.data(), name.size());
                SetValue(var, next->value);
            }
            // Nothing after it here: the agent goes on past the subtree.
        }
    }

    static void Apply(CSnmpAgent& agent, netsnmp_agent_request_info* info, netsnmp_request_info* requests)
    {
        std::vector<SettingChange> settings;
        std::vector<PointChange> points;
        for (netsnmp_request_info* r = requests; r != nullptr; r = r->next) {
            const netsnmp_variable_list* var = r->requestvb;
            const auto checked = CheckMibSet(FromNetSnmp(var->name, var->name_length), ValueOf(var));
            if (const auto* change = std::get_if<MibChange>(&checked)) {
                if (const auto* setting = std::get_if<SettingChange>(change))
                    settings.push_back(*setting);
                else
                    points.push_back(std::get<PointChange>(*change));
            }
        }
        // The settings first, then the points, as the HTTP API has them.
        ChangeOutcome outcome;
        if (!settings.empty())
            outcome = ApplySettings(agent.m_link, agent.m_journal, kUser, settings);
        if (outcome.status == ChangeOutcome::Status::Done && !points.empty())
            outcome = ApplyPoints(agent.m_link, agent.m_journal, kUser, points);
        if (outcome.status == ChangeOutcome::Status::Done)
            return;
        // The error goes with the variable that failed, or the first.
        netsnmp_request_info* failed = requests;
        for (netsnmp_request_info* r = requests; r != nullptr; r = r->next) {
            const netsnmp_variable_list* var = r->requestvb;
            const auto checked = CheckMibSet(FromNetSnmp(var->name, var->name_length), ValueOf(var));
            if (const auto* change = std::get_if<MibChange>(&checked)) {
                const char* key = std::visit([](const auto& c) { return c.key; }, *change);
                if (outcome.key == key) {
                    failed = r;
                    break;
                }
            }
        }
        netsnmp_set_request_error(info, failed,
                                  outcome.status == ChangeOutcome::Status::Refused ? SNMP_ERR_COMMITFAILED
                                                                                   : SNMP_ERR_RESOURCEUNAVAILABLE);
    }

    // Connected to snmpd and registered, or gone from it.
    static int Started(int, int, void*, void*)
    {
        if (g_agent)
            g_agent->Connected(true);
        return SNMPERR_SUCCESS;
    }
    static int Stopped(int, int, void*, void*)
    {
        if (g_agent)
            g_agent->Connected(false);
        return SNMPERR_SUCCESS;
    }

    // The library's own messages, warnings and worse, to standard error
    // like every other line of the service; its notes of connecting and
    // disconnecting are told by Connected instead.
    static int Log(int, int, void* serverArgument, void*)
    {
        const auto* message = static_cast<const snmp_log_message*>(serverArgument);
        if (message != nullptr && message->priority <= LOG_WARNING && message->msg != nullptr) {
            std::string text = message->msg;
            if (g_starting && (text.starts_with("Cannot find module") || text.starts_with("MIB search path")))
                return SNMPERR_SUCCESS;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            std::fprintf(stderr, "talvexd: snmp: %s\n", text.c_str());
        }
        return SNMPERR_SUCCESS;
    }
};

CSnmpAgent::CSnmpAgent(std::string agentx, CSiteLink& link, const CStatusBoard& board, const CAlarms& alarms,
                       const CJournal& journal)
    : m_agentx(std::move(agentx)), m_link(link), m_board(board), m_alarms(alarms), m_journal(journal)
{}

CSnmpAgent::~CSnmpAgent()
{
    Stop();
    // Only now: the watcher may still hand over a notification after Stop.
    if (m_wake >= 0)
        ::close(m_wake);
}

bool CSnmpAgent::Start(std::string* error)
{
    if (g_agent != nullptr) {
        *error = "SNMP: only one agent per process";
        return false;
    }
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) {
        *error = std::string("SNMP: eventfd: ") + std::strerror(errno);
        return false;
    }
    g_agent = this;
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "talvexd-snmp");
        Run();
    });
    return true;
}

void CSnmpAgent::Stop()
{
    m_stop = true;
    if (m_thread.joinable()) {
        Wake();
        m_thread.join();
    }
    if (g_agent == this)
        g_agent = nullptr;
}

void CSnmpAgent::Notify(const AlarmTransition& transition) { Queue(AlarmTrap(transition)); }

void CSnmpAgent::NotifyLink(bool up) { Queue(LinkTrap(up)); }

void CSnmpAgent::Queue(MibTrap trap)
{
    {
        std::lock_guard lock(m_queueLock);
        m_queue.push_back(std::move(trap));
        while (m_queue.size() > kMaxQueued)
            m_queue.pop_front();
    }
    Wake();
}

void CSnmpAgent::Wake()
{
    const std::uint64_t one = 1;
    if (m_wake >= 0 && ::write(m_wake, &one, sizeof one) < 0 && errno != EAGAIN)
        std::perror("talvexd: snmp: eventfd");
}

void CSnmpAgent::Run()
{
    // A subagent of the master at m_agentx that reads no configuration
    // files and keeps no state on disk, whose timers run off the loop
    // below rather than off SIGALRM (a signal in a threaded service), and
    // that keeps trying to reach snmpd until it is there.
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 1);
    netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_X_SOCKET, m_agentx.c_str());
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_NO_CONNECTION_WARNINGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_ALARM_DONT_USE_SIG, 1);
    netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIBDIRS, "");  // numbers are all it uses
    snmp_disable_log();
    snmp_enable_calllog();
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, &Hooks::Log, nullptr);
    snmp_register_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_INDEX_START, &Hooks::Started, nullptr);
    snmp_register_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_INDEX_STOP, &Hooks::Stopped, nullptr);
    init_agent(kAgentName);
    // After init_agent, which sets its own defaults (a ping every 15 s).
    netsnmp_ds_set_int(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_PING_INTERVAL, kPingSeconds);

    const std::vector<oid> objects = ToNetSnmp(MibObjectsOid());
    netsnmp_handler_registration* registration = netsnmp_create_handler_registration(
        "talvexObjects", &Hooks::Handle, objects.data(), objects.size(), HANDLER_CAN_RWRITE);
    if (registration == nullptr || netsnmp_register_handler(registration) != MIB_REGISTERED_OK) {
        std::fprintf(stderr, "talvexd: snmp: cannot register talvexObjects\n");
    }
    g_starting = true;
    init_snmp(kAgentName);  // connects, or starts trying every kPingSeconds
    g_starting = false;
    if (!m_connected) {
        m_journal.Record(EventKind::Service, "",
                         "SNMP: snmpd is not there at " + m_agentx + " yet; trying every " +
                             std::to_string(kPingSeconds) + " s");
    }

    while (!m_stop) {
        int fds = 0;
        int block = 0;
        fd_set readable;
        FD_ZERO(&readable);
        // At most a second, so that a timer the library set is never late.
        timeval timeout{1, 0};
        snmp_select_info(&fds, &readable, &timeout, &block);
        FD_SET(m_wake, &readable);
        fds = std::max(fds, m_wake + 1);
        const int ready = ::select(fds, &readable, nullptr, nullptr, &timeout);
        if (ready > 0) {
            if (FD_ISSET(m_wake, &readable)) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto drained = ::read(m_wake, &count, sizeof count);
                FD_CLR(m_wake, &readable);
            }
            snmp_read(&readable);
        } else if (ready == 0) {
            snmp_timeout();
        } else if (errno != EINTR) {
            std::perror("talvexd: snmp: select");
            break;
        }
        run_alarms();
        netsnmp_check_outstanding_agent_requests();
        SendQueued();
    }
    snmp_shutdown(kAgentName);
    shutdown_agent();
}

void CSnmpAgent::SendQueued()
{
    std::deque<MibTrap> traps;
    {
        std::lock_guard lock(m_queueLock);
        traps.swap(m_queue);
    }
    if (!m_connected)
        return;  // nobody to hand them to
    for (const MibTrap& trap : traps) {
        netsnmp_variable_list* vars = nullptr;
        const std::vector<oid> trapOid = ToNetSnmp(trap.trap);
        snmp_varlist_add_variable(&vars, kSnmpTrapOid, OID_LENGTH(kSnmpTrapOid), ASN_OBJECT_ID, trapOid.data(),
                                  trapOid.size() * sizeof(oid));
        for (const MibInstance& variable : trap.variables) {
            const std::vector<oid> name = ToNetSnmp(variable.oid);
            netsnmp_variable_list* var =
                snmp_varlist_add_variable(&vars, name.data(), name.size(), ASN_NULL, nullptr, 0);
            if (var != nullptr)
                SetValue(var, variable.value);
        }
        send_v2trap(vars);
        snmp_free_varbind(vars);
    }
}

void CSnmpAgent::Connected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    if (connected) {
        m_journal.Record(EventKind::Service, "",
                         std::string("SNMP: registered with snmpd at ") + m_agentx + (m_everConnected ? " again" : ""));
        m_everConnected = true;
    } else {
        m_journal.Record(EventKind::Service, "",
                         "SNMP: snmpd at " + m_agentx + " went away; registering again once it is back");
    }
}

}  // namespace talvexd
