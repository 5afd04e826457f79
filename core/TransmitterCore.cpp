#include "TransmitterCore.h"

#include "DeviceAccess.h"

#include "portlist/PortList.h"

#include <algorithm>
#include <iterator>

namespace {
// Line settings of every attempt: 57600 baud, no parity, 8 data bits, one stop bit.
constexpr int kBaud = 57600;
constexpr int kDataBits = 8;
constexpr auto kWatchdogPeriod = std::chrono::seconds(10);
constexpr int kWatchdogFailuresToWarn = 3;

// What one exchange came to, with its failure code read under the same hold
// of the device mutex.
struct Outcome {
    bool ok;
    int code;
};

template <typename Function, typename... Args>
Outcome Exchange(Function call, Args... args)
{
    CDeviceSession device;
    const bool ok = device.Call(call, args...);
    return {ok, ok ? TALVEX_OK : device.LastError()};
}
}  // namespace

// A quantity: its range, the member that holds what the transmitter last
// accepted, its setting and the operator's message when that fails.
struct CTransmitterCore::QuantityRow {
    Quantity quantity;
    int minimum;
    int maximum;
    int CTransmitterCore::*accepted;
    int (*set)(int value, int replyDelayMs);
    const char* failText;
};

// An on/off function: the flag holds the value the next press sends.
struct CTransmitterCore::ToggleRow {
    Function function;
    int CTransmitterCore::*flag;
    int (*set)(int on, int replyDelayMs);
    const char* onFailText;   // the press tried to switch the function on
    const char* offFailText;  // the press tried to switch it off
};

const CTransmitterCore::QuantityRow& CTransmitterCore::RowOf(Quantity quantity)
{
    static constexpr QuantityRow kRows[] = {
        {Quantity::Frequency, TALVEX_FREQ_MIN, TALVEX_FREQ_MAX, &CTransmitterCore::m_freq, SetFMFreq, "Set Freq Fail"},
        {Quantity::Power, TALVEX_POWER_MIN, TALVEX_POWER_MAX, &CTransmitterCore::m_power, SetLaunchPWR, "Set Pwr Fail"},
        {Quantity::LineVolume, TALVEX_LINE_VOL_MIN, TALVEX_LINE_VOL_MAX, &CTransmitterCore::m_lineVol, SetLINEVol,
         "Set Line Volume Fail"},
        {Quantity::MicVolume, TALVEX_MIC_VOL_MIN, TALVEX_MIC_VOL_MAX, &CTransmitterCore::m_micVol, SetMICVol,
         "Set Mic Volume Fail"},
    };
    static_assert(std::size(kRows) == 4);
    return kRows[static_cast<int>(quantity)];
}

const CTransmitterCore::ToggleRow& CTransmitterCore::RowOf(Function function)
{
    static constexpr ToggleRow kRows[] = {
        {Function::Line, &CTransmitterCore::m_bLineOff, SetLINE, "Line On Fail", "Line Off Fail"},
        {Function::Mic, &CTransmitterCore::m_bMicOff, SetMIC, "Mic On Fail", "Mic Off Fail"},
        {Function::Echo, &CTransmitterCore::m_bEchoOff, SetRBT, "Echo On Fail", "Echo Off Fail"},
        {Function::StereoMono, &CTransmitterCore::m_bMono, SetSoundChannel, "Set ST Fail", "Set Mono Fail"},
        {Function::BackLight, &CTransmitterCore::m_bBackLightOff, SetBackLight, "Open Backlight Fail",
         "Close Backlight Fail"},
    };
    static_assert(std::size(kRows) == 5);
    return kRows[static_cast<int>(function)];
}

CTransmitterCore::CTransmitterCore(QStringList namedPorts, QObject* parent)
    : QObject(parent), m_namedPorts(std::move(namedPorts))
{
    m_statusPoller.setObjectName(QStringLiteral("status"));
    m_rtVolPoller.setObjectName(QStringLiteral("level"));
    for (CDevicePoller* poller : {&m_statusPoller, &m_rtVolPoller}) {
        connect(poller, &CDevicePoller::reading, this, &CTransmitterCore::OnPollerReading);
    }
    m_watchdog.setInterval(kWatchdogPeriod);
    connect(&m_watchdog, &QTimer::timeout, this, &CTransmitterCore::OnTimer);
}

CTransmitterCore::~CTransmitterCore()
{
    // However the front end ended, nothing the core started may outlive it.
    Stop();
}

void CTransmitterCore::EnumSerialPorts()
{
    m_portNames.clear();
    if (!m_namedPorts.isEmpty()) {
        // Named ports replace the platform's list, which never holds
        // pseudo-terminals or network ports.
        for (const QString& port : std::as_const(m_namedPorts)) {
            if (!port.isEmpty()) {
                m_portNames.append(port);
            }
        }
        return;
    }
    for (const std::string& port : PresentPortNames()) {
        m_portNames.append(QString::fromLocal8Bit(port));
    }
}

bool CTransmitterCore::ProbePortList()
{
    for (const QString& name : std::as_const(m_portNames)) {
        if (!OpenLine(name)) {
            // A port the user named deserves a reason; discovered ports that
            // cannot be opened are skipped silently.
            if (!m_namedPorts.isEmpty()) {
                emit portOpenFailed(name, GetLastOpenError());
            }
            continue;
        }
        CDeviceSession device;
        if (device.Call(StartUp)) {
            return true;
        }
        // A refusal is an answer too: the transmitter is there.
        if (device.LastError() == TALVEX_E_REFUSED) {
            return true;
        }
        CloseComm();
    }
    return false;
}

bool CTransmitterCore::OpenLine(const QString& path)
{
    const QByteArray name = path.toLocal8Bit();
    return OpenCommPath(name.constData(), kBaud, TALVEX_PARITY_NONE, kDataBits, TALVEX_STOPBITS_ONE, nullptr) != 0;
}

bool CTransmitterCore::ConnectDevice()
{
    DeviceAccess lock(g_csDevice);
    return ProbePortList();
}

void CTransmitterCore::ReadDeviceSettings(bool withPowerBit)
{
    {
        CDeviceSession device;
        char type[20] = {};
        if (device.Call(GetDevType, type, static_cast<int>(sizeof type))) {
            m_deviceType = QString::fromLatin1(type);
        }
        unsigned char state = 0;
        if (device.Call(GetDevState, &state)) {
            // Flags are only cleared here: each starts as "off".
            if (withPowerBit && !(state & TALVEX_STATE_STANDBY)) {
                m_bPowerOff = 0;
            }
            if (state & TALVEX_STATE_LINE_ON) {
                m_bLineOff = 0;
            }
            if (!(state & TALVEX_STATE_MIC_OFF)) {
                m_bMicOff = 0;
            }
            if (!(state & TALVEX_STATE_ECHO_OFF)) {
                m_bEchoOff = 0;
            }
            if (!(state & TALVEX_STATE_MONO)) {
                m_bMono = 0;
            }
        }
        const std::pair<int (*)(int*, int), int CTransmitterCore::*> reads[] = {
            {GetFMFreq, &CTransmitterCore::m_freq},
            {GetLaunchPWR, &CTransmitterCore::m_power},
            {GetLineVol, &CTransmitterCore::m_lineVol},
            {GetMicVol, &CTransmitterCore::m_micVol},
        };
        for (const auto& [read, member] : reads) {
            int value = 0;
            if (device.Call(read, &value)) {
                this->*member = value;
            }
        }
    }
    emit stateChanged();
}

void CTransmitterCore::Start()
{
    if (m_stopped) {
        return;
    }
    m_statusPoller.Start();
    m_rtVolPoller.Start();
    m_watchdog.start();
}

void CTransmitterCore::Stop()
{
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    m_watchdog.stop();
    // With the port closed every device call fails at once, so no thread can
    // stay caught in a long transaction.
    {
        DeviceAccess lock(g_csDevice);
        CloseComm();
    }
    // Each poller ends at its next wait, which the stop cuts short; waiting
    // for that rather than for a fixed time means nothing can outlive the
    // objects it uses.
    m_rtVolPoller.Stop();
    m_statusPoller.Stop();
}

void CTransmitterCore::OnPollerReading(ReadingKind kind, int value)
{
    // Readings still queued when the core stopped are dropped, as they
    // would be for a front end that is gone.
    if (!m_stopped) {
        emit readingArrived(kind, value);
    }
}

void CTransmitterCore::OnTimer()
{
    if (m_watchdogWarning || m_stopped) {
        return;
    }
    {
        CDeviceSession device;
        int temperature = 0;
        if (!device.Call(GetTemperature, &temperature)) {
            ++m_watchdogFailures;
        }
    }
    if (m_watchdogFailures >= kWatchdogFailuresToWarn) {
        m_watchdogWarning = true;
        emit watchdogWarning();
        m_watchdogFailures = 0;
        m_watchdogWarning = false;
    }
}

CTransmitterCore::Result CTransmitterCore::SetQuantity(Quantity quantity, int value)
{
    const QuantityRow& row = RowOf(quantity);
    if (const Outcome sent = Exchange(row.set, value); !sent.ok) {
        return {false, row.failText, sent.code};
    }
    this->*row.accepted = value;
    emit stateChanged();
    return {true, nullptr};
}

CTransmitterCore::Result CTransmitterCore::StepQuantity(Quantity quantity, int delta)
{
    const QuantityRow& row = RowOf(quantity);
    // Each direction wraps only at its own end: a value the transmitter
    // reported below the range steps up into it, not round to the top.
    int next = this->*row.accepted + delta;
    if (delta > 0 && next > row.maximum) {
        next = row.minimum;
    } else if (delta < 0 && next < row.minimum) {
        next = row.maximum;
    }
    return SetQuantity(quantity, next);
}

CTransmitterCore::Result CTransmitterCore::Toggle(Function function)
{
    const ToggleRow& row = RowOf(function);
    int& flag = this->*row.flag;
    if (const Outcome sent = Exchange(row.set, flag); !sent.ok) {
        return {false, flag ? row.onFailText : row.offFailText, sent.code};
    }
    flag = flag ? 0 : 1;
    emit stateChanged();
    return {true, nullptr};
}

CTransmitterCore::PowerResult CTransmitterCore::PressPower()
{
    const bool wasOff = m_bPowerOff != 0;
    PowerResult result;
    if (!wasOff) {
        const Outcome sent = Exchange(ShutDown);
        result.ok = sent.ok;
        result.code = sent.code;
    } else {
        bool open = false;
        {
            CDeviceSession device;
            open = IsOpen() != 0;
            if (open) {
                result.ok = device.Call(StartUp);
                result.code = result.ok ? TALVEX_OK : device.LastError();
                if (!result.ok) {
                    CloseComm();  // the next press reconnects from the port list
                }
            }
        }
        if (!open) {
            EnumSerialPorts();
            result.ok = ConnectDevice();
            result.notConnected = !result.ok;
            result.code = result.ok ? TALVEX_OK : TALVEX_E_NOT_OPEN;
            if (result.ok) {
                ReadDeviceSettings(false);
            }
        }
    }

    if (result.ok) {
        m_bPowerOff = wasOff ? 0 : 1;
    } else if (wasOff) {
        result.failText = "Power On Fail";
    } else {
        result.failText = "Power Off Fail";
        {
            DeviceAccess lock(g_csDevice);
            CloseComm();
        }
        m_bPowerOff = 1;
    }
    emit stateChanged();
    return result;
}

void CTransmitterCore::ScheduledStartUp()
{
    if (m_stopped) {
        return;
    }
    DeviceAccess lock(g_csDevice);
    if (ProbePortList()) {
        m_bPowerOff = 0;
        emit stateChanged();
    }
}

void CTransmitterCore::ScheduledShutDown()
{
    if (m_stopped) {
        return;
    }
    if (CDeviceSession().Call(ShutDown)) {
        m_bPowerOff = 1;
        emit stateChanged();
    }
}

void CTransmitterCore::AdoptState(int state)
{
    const int before[] = {m_bPowerOff, m_bLineOff, m_bMicOff, m_bEchoOff, m_bMono};
    m_bPowerOff = (state & TALVEX_STATE_STANDBY) ? 1 : 0;
    m_bLineOff = (state & TALVEX_STATE_LINE_ON) ? 0 : 1;
    m_bMicOff = (state & TALVEX_STATE_MIC_OFF) ? 1 : 0;
    m_bEchoOff = (state & TALVEX_STATE_ECHO_OFF) ? 1 : 0;
    m_bMono = (state & TALVEX_STATE_MONO) ? 1 : 0;
    const int after[] = {m_bPowerOff, m_bLineOff, m_bMicOff, m_bEchoOff, m_bMono};
    if (!std::equal(std::begin(before), std::end(before), std::begin(after))) {
        emit stateChanged();
    }
}

void CTransmitterCore::AdoptAccepted(Quantity quantity, int value)
{
    int& accepted = this->*RowOf(quantity).accepted;
    if (accepted != value) {
        accepted = value;
        emit stateChanged();
    }
}

CTransmitterCore::Result CTransmitterCore::SetProtectionPoint(Point point, int value)
{
    const bool temperature = point == Point::Temperature;
    if (const Outcome sent = Exchange(temperature ? SetTmpPt : SetStdyWavePt, value); !sent.ok) {
        return {false, temperature ? "Set Temperature protection Fail" : "Set Standing-wave  protection Fail",
                sent.code};
    }
    return {true, nullptr};
}

CTransmitterCore::Range CTransmitterCore::RangeOf(Point point)
{
    if (point == Point::Temperature) {
        return {TALVEX_TEMP_POINT_MIN, TALVEX_TEMP_POINT_MAX};
    }
    return {TALVEX_SWR_POINT_MIN, TALVEX_SWR_POINT_MAX};
}

int CTransmitterCore::Accepted(Quantity quantity) const { return this->*RowOf(quantity).accepted; }

bool CTransmitterCore::IsActive(Function function) const { return this->*RowOf(function).flag == 0; }

CTransmitterCore::Range CTransmitterCore::RangeOf(Quantity quantity)
{
    const QuantityRow& row = RowOf(quantity);
    return {row.minimum, row.maximum};
}
