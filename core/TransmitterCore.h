#pragma once
// The transmitter as every front end runs it, with no window: the values it
// last accepted, the toggle flags, every operator command with its exchange,
// the start-up reads, the two pollers, the watchdog and the scheduled
// start-up and shut-down. It lives on one thread (the front end's); the
// pollers hand their readings to that thread over a queued connection, and
// the core reports what it learns through its signals.
//
// The commands are synchronous: each returns once its exchange is over, with
// the text the operator is shown when it failed. Showing that text is the
// front end's business.

#include "DevicePoller.h"
#include "Readings.h"

#include <Talvex.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class CTransmitterCore : public QObject
{
    Q_OBJECT
public:
    // A value set by a slider, its wheel step and its two step buttons.
    enum class Quantity { Frequency, Power, LineVolume, MicVolume };
    // An on/off function with a button of its own (ON/OFF has PressPower).
    enum class Function { Line, Mic, Echo, StereoMono, BackLight };

    // What a command came to.
    struct Result {
        bool ok = false;
        const char* failText = nullptr;  // the operator's message when it failed
        int code = TALVEX_OK;            // the failed exchange's failure code
    };
    // What a press of ON/OFF came to.
    struct PowerResult {
        bool ok = false;
        bool notConnected = false;  // it reconnected through the port list and found no transmitter
        const char* failText = nullptr;
        int code = TALVEX_OK;
    };
    struct Range {
        int minimum;
        int maximum;
    };

    // `namedPorts` (the command line's) replace the platform's list of ports.
    explicit CTransmitterCore(QStringList namedPorts = {}, QObject* parent = nullptr);
    ~CTransmitterCore() override;

    // ---- Connection
    // Makes the port list anew: the named ports, or the platform's.
    void EnumSerialPorts();
    // Probes the port list under the device mutex; false when no transmitter
    // answered.
    bool ConnectDevice();
    // Opens each port of the list in order (57600 8N1) and sends StartUp; the
    // first that answers (an acknowledgement or a refusal) stays open. The
    // caller holds the device mutex. A named port that cannot be opened is
    // reported through portOpenFailed.
    bool ProbePortList();
    // Opens `path` with the transmitter's line settings; the caller holds the
    // device mutex. false with the reason in GetLastOpenError().
    static bool OpenLine(const QString& path);
    const QStringList& PortNames() const { return m_portNames; }
    // Reads device type, state flags, frequency, power and volumes under the
    // device mutex; `withPowerBit` also takes the standby flag from the state.
    void ReadDeviceSettings(bool withPowerBit);
    const QString& DeviceType() const { return m_deviceType; }

    // ---- Running
    // Starts the status and level pollers and the watchdog.
    void Start();
    // Closes the port, so that no thread stays caught in a long exchange,
    // then stops the watchdog and ends the pollers. Nothing is reported
    // afterwards. Safe to call more than once.
    void Stop();
    bool IsStopped() const { return m_stopped; }
    bool IsPolling() const { return m_statusPoller.IsRunning() || m_rtVolPoller.IsRunning(); }
    // The watchdog's check, every 10 s while running: one temperature read;
    // the third failure since start-up or the last warning emits
    // watchdogWarning. Skipped while a warning is being shown.
    void OnTimer();

    // ---- The operator's commands
    // Sends `value`; on success it becomes the accepted value.
    Result SetQuantity(Quantity quantity, int value);
    // Sends the accepted value moved by `delta`, wrapping round at the end it
    // moves towards only; on success it becomes the accepted value.
    Result StepQuantity(Quantity quantity, int delta);
    // Sends the function's flag; on success the flag flips.
    Result Toggle(Function function);
    // ON/OFF: shuts down, or starts up, reconnecting through the port list
    // when no port is open. A failed shut-down closes the port.
    PowerResult PressPower();

    // ---- The schedule's rows, when due (failures are silent)
    // Walks the port list from its first name, as connecting does.
    void ScheduledStartUp();
    void ScheduledShutDown();

    // The value the transmitter last accepted, in device units.
    int Accepted(Quantity quantity) const;
    // The function is on now (its flag, the value the next press sends, is 0).
    bool IsActive(Function function) const;
    bool IsPowerOn() const { return m_bPowerOff == 0; }
    static Range RangeOf(Quantity quantity);
    // Takes every flag, both ways, from a state byte the caller read, for a
    // front end that follows the transmitter rather than its own presses.
    void AdoptState(int state);
    // Sets that many of the values the transmitter accepted, as read from it
    // by the caller (a reconnect's reading), without an exchange.
    void AdoptAccepted(Quantity quantity, int value);

    // ---- The protection points
    enum class Point { Temperature, Swr };
    // Sends `value` (degrees, or SWR tenths); the failure text is the
    // protection dialog's.
    static Result SetProtectionPoint(Point point, int value);
    static Range RangeOf(Point point);

    // Cycles each poller completed; a count stops growing while its thread
    // is caught in an exchange. Safe to read from any thread.
    std::uint64_t StatusCycles() const { return m_statusPoller.Cycles(); }
    std::uint64_t LevelCycles() const { return m_rtVolPoller.Cycles(); }

signals:
    // A reading of a poller, on the core's thread; never after Stop().
    void readingArrived(ReadingKind kind, int value);
    // An accepted value, a flag or the device type may have changed.
    void stateChanged();
    // A named port could not be opened; `reason` is a TALVEX_OPEN_* code.
    void portOpenFailed(const QString& port, int reason);
    // The watchdog's third failure; the count starts again once the
    // listeners have returned.
    void watchdogWarning();

private:
    struct QuantityRow;
    struct ToggleRow;
    static const QuantityRow& RowOf(Quantity quantity);
    static const ToggleRow& RowOf(Function function);
    void OnPollerReading(ReadingKind kind, int value);

    // Last values the transmitter accepted, in device units.
    int m_freq = TALVEX_FREQ_MIN;    // 0.1 MHz
    int m_power = TALVEX_POWER_MIN;  // 0.1 W
    int m_lineVol = TALVEX_LINE_VOL_MIN;
    int m_micVol = TALVEX_MIC_VOL_MIN;
    // Toggle flags: the value the next press sends; 1 = the function is off now.
    int m_bPowerOff = 1;
    int m_bLineOff = 1;
    int m_bMicOff = 1;
    int m_bEchoOff = 1;
    int m_bMono = 1;
    int m_bBackLightOff = 0;

    QStringList m_namedPorts;
    QStringList m_portNames;
    QString m_deviceType;  // as the transmitter names itself; empty until read

    // Children, so that a front end (or a test) can find them by name:
    // "status" and "level".
    CDevicePoller m_statusPoller{kStatusPeriod, ReadStatus, this};
    CDevicePoller m_rtVolPoller{kLevelPeriod, ReadLevel, this};
    QTimer m_watchdog{this};
    int m_watchdogFailures = 0;      // failed checks since start-up or the last warning
    bool m_watchdogWarning = false;  // listeners are handling a warning
    bool m_stopped = false;
};
