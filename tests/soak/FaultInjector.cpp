#include "FaultInjector.h"

namespace soak {

std::atomic<const char*> g_lastFault{"(none yet)"};

namespace {

enum class Kind { RefuseOne, RefuseAll, ShortAck, Drop, Extra, Garbage, Delay, HangUp };

struct Choice {
    Kind kind;
    const char* name;
    int weight;
};

constexpr Choice kChoices[] = {
    {Kind::RefuseOne, "refuse (one command)", 3},
    {Kind::RefuseAll, "refuse (everything, for a while)", 1},
    {Kind::ShortAck, "K form", 2},
    {Kind::Drop, "drop data", 2},
    {Kind::Extra, "extra bytes", 2},
    {Kind::Garbage, "garbage", 2},
    {Kind::Delay, "late answer", 2},
    {Kind::HangUp, "hang-up", 1},
};

constexpr int kMinGapMs = 1200;
constexpr int kMaxGapMs = 4000;

}  // namespace

CFaultInjector::CFaultInjector(SimTransmitter& sim, std::mt19937& rng) : m_sim(sim), m_rng(rng)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CFaultInjector::InjectOne);
    m_refusalEnd.setSingleShot(true);
    connect(&m_refusalEnd, &QTimer::timeout, this, &CFaultInjector::EndRefusals);
}

void CFaultInjector::Start() { m_timer.start(std::uniform_int_distribution<int>(kMinGapMs, kMaxGapMs)(m_rng)); }

void CFaultInjector::Stop()
{
    m_timer.stop();
    m_refusalEnd.stop();
    m_sim.ClearFaults();
    if (!m_sim.IsLineUp()) {
        m_sim.ComeBack();
    }
}

void CFaultInjector::EndRefusals() { m_sim.ClearFaults(); }

int CFaultInjector::RandomCode()
{
    // Half the faults hit whatever request comes next, the others one command.
    if (std::bernoulli_distribution(0.5)(m_rng)) {
        return kSimAllCommands;
    }
    return std::uniform_int_distribution<int>(0x02, 0x22)(m_rng);
}

void CFaultInjector::InjectOne()
{
    int total = 0;
    for (const Choice& c : kChoices) {
        total += c.weight;
    }
    int pick = std::uniform_int_distribution<int>(0, total - 1)(m_rng);
    const Choice* choice = &kChoices[0];
    for (const Choice& c : kChoices) {
        if (pick < c.weight) {
            choice = &c;
            break;
        }
        pick -= c.weight;
    }

    SimFault fault;
    fault.code = RandomCode();
    switch (choice->kind) {
    case Kind::RefuseOne: fault.kind = SimFaultKind::Refuse; break;
    case Kind::RefuseAll:
        fault.kind = SimFaultKind::Refuse;
        fault.code = kSimAllCommands;
        fault.persistent = true;
        m_refusalEnd.start(std::uniform_int_distribution<int>(500, 2500)(m_rng));
        break;
    case Kind::ShortAck: fault.kind = SimFaultKind::ShortAck; break;
    case Kind::Drop:
        // One byte: an answer cut by two could be nothing at all ("OK" of a
        // setting), which is silence in disguise (see above).
        fault.kind = SimFaultKind::DropData;
        fault.bytes = 1;
        break;
    case Kind::Extra:
        fault.kind = SimFaultKind::ExtraBytes;
        fault.bytes = std::uniform_int_distribution<int>(1, 3)(m_rng);
        break;
    case Kind::Garbage: fault.kind = SimFaultKind::Garbage; break;
    case Kind::Delay:
        // Only for the very next request, and short: late answers left
        // waiting for a rarely used command would pile up and then hold the
        // device mutex one after another, and reconnecting through ON/OFF
        // already keeps the user-interface thread for over a second with its
        // seven requests in a row (plus the wait for the lock); longer
        // delays there are slowness, not a deadlock. The end-to-end fault
        // tests answer 600 ms late.
        fault.kind = SimFaultKind::Delay;
        fault.code = kSimAllCommands;
        fault.delay = std::chrono::milliseconds(std::uniform_int_distribution<int>(50, 150)(m_rng));
        break;
    case Kind::HangUp: break;
    }
    if (choice->kind == Kind::HangUp) {
        m_sim.HangUp(std::chrono::milliseconds(std::uniform_int_distribution<int>(200, 3000)(m_rng)));
    } else {
        m_sim.InjectFault(fault);
    }
    ++m_injected[choice->name];
    g_lastFault = choice->name;
    m_timer.start(std::uniform_int_distribution<int>(kMinGapMs, kMaxGapMs)(m_rng));
}

}  // namespace soak
