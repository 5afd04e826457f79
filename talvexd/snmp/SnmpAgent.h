#pragma once
// TALVEX-MIB through the site's own snmpd: an AgentX subagent on net-snmp's
// agent library, on a thread of its own (the library is not thread-safe,
// so every call into it is made there). snmpd owns port 161, the
// communities, the v3 users, the access rules and where notifications go;
// this only answers for the subtree and hands snmpd the notifications.
//
// GETs and walks are served from the status board and the alarms: no
// request causes an exchange on the line. A SET goes to the transmitter
// through the same path as the HTTP API's changes, and is logged like
// them. When snmpd goes away, the subagent registers again by itself once
// it is back.

#include "TalvexMib.h"

#include "talvexd/alarms/Alarms.h"
#include "talvexd/site/Journal.h"
#include "talvexd/site/SiteLink.h"
#include "talvexd/site/StatusBoard.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace talvexd {

class CSnmpAgent
{
public:
    // How often the subagent pings snmpd, and tries again while it is away.
    static constexpr int kPingSeconds = 5;
    // Notifications waiting for the agent's thread, at most; beyond, the
    // oldest go (a flood of them would tell an NMS nothing more).
    static constexpr std::size_t kMaxQueued = 100;
    // The name SETs are logged under: AgentX does not tell a subagent the
    // SNMP security name of a request.
    static constexpr char kUser[] = "snmp";

    // `agentx`: snmpd's AgentX address, "tcp:HOST:PORT" or a socket path.
    CSnmpAgent(std::string agentx, CSiteLink& link, const CStatusBoard& board, const CAlarms& alarms,
               const CJournal& journal);
    ~CSnmpAgent();
    CSnmpAgent(const CSnmpAgent&) = delete;
    CSnmpAgent& operator=(const CSnmpAgent&) = delete;

    // Starts the agent's thread, which connects to snmpd (now, or once it
    // is there); false with a reason when it cannot start at all.
    bool Start(std::string* error);
    // Unregisters and ends the thread. Safe to call more than once; a
    // notification after it is dropped.
    void Stop();

    // From any thread: a notification for snmpd to send. Sent only while
    // snmpd is connected; the alarm table still shows what is up.
    void Notify(const AlarmTransition& transition);
    void NotifyLink(bool up);

    // Called by the library's hooks, on the agent's thread.
    struct Hooks;

private:
    void Run();
    void Wake();
    void SendQueued();
    void Connected(bool connected);
    void Queue(MibTrap trap);

    const std::string m_agentx;
    CSiteLink& m_link;
    const CStatusBoard& m_board;
    const CAlarms& m_alarms;
    const CJournal& m_journal;
    int m_wake = -1;  // an eventfd: a notification is queued, or Stop; set before the thread starts
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_queueLock;  // guards m_queue
    std::deque<MibTrap> m_queue;
    bool m_connected = false;  // on the agent's thread
    bool m_everConnected = false;
};

}  // namespace talvexd
