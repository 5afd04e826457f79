/*
 * Talvex: control library for the Vemra FM broadcast transmitter.
 *
 * The library owns one serial port per process and speaks the transmitter's
 * byte protocol: a request frame of 3 to 5 bytes (0x01, count, command code,
 * parameter) goes out, and the transmitter answers "OK" followed by a fixed
 * number of data bytes, or "ER". Every command below is exactly one such
 * request/reply exchange that blocks the calling thread.
 *
 * Error model (the same for every function in this header)
 * ---------------------------------------------------------
 *  - Every function returns an int: 1 (non-zero) on success, 0 on failure.
 *  - The reason for the last failure is kept in one library-wide code, read
 *    with GetLastCommError():
 *       0  the last exchange got a valid acknowledgement
 *       1  the transmitter refused the command ("ER")
 *       2  an exchange was attempted while no port is open (nothing was sent)
 *       3  the request could not be written within 2000 ms
 *       4  the reply could not be read within 2000 ms
 *       5  writing failed (including a line that hung up), or fewer bytes
 *          were written than the request holds
 *       6  reading failed (including a line that hung up)
 *      -1  set by every open and left there by it until the first exchange;
 *          no reply byte within 2000 ms; or a reply that is neither a valid
 *          acknowledgement of the expected length nor a refusal
 *    A code stays until the next exchange or open replaces it. A call that
 *    fails its own argument checks (a text buffer that is too small, a null
 *    output pointer) returns 0 without touching the line or the code.
 *  - An open that fails leaves -1 above for compatibility; why it failed is
 *    kept beside it in GetLastOpenError() (TALVEX_OPEN_* below), with an
 *    English text from GetOpenErrorText(). That reason changes only with the
 *    next open, and is TALVEX_OPEN_OK after one that succeeded.
 *  - Outputs are written only on success (GetSerialNum also empties its text
 *    on failure). Nothing is allocated across this boundary.
 *
 * Threads: the library has no lock. At most one call may be inside it at a
 * time, and GetLastCommError() belongs to the caller that made the failing
 * call only if nobody else called in between. Callers serialise.
 *
 * Timing: each exchange purges the port, pauses 50 ms, writes the request,
 * waits up to 2000 ms for the first reply byte, then waits the caller's
 * reply delay (the last argument of every command, in milliseconds) before
 * reading the reply.
 */
#ifndef TALVEX_H
#define TALVEX_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(TALVEX_BUILDING)
#define TALVEX_API __declspec(dllexport)
#else
#define TALVEX_API __declspec(dllimport)
#endif
#define TALVEX_CALL __cdecl
#else
#define TALVEX_API __attribute__((visibility("default")))
#define TALVEX_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Serial timeouts record, in milliseconds, laid out as the platform's
 * COMMTIMEOUTS. Pass null to the open functions for the library's default,
 * under which a reply read ends 50 ms after the last byte arrived (or after
 * 1000 ms when none does), so short replies come back without waiting out a
 * time-out. The record need not be aligned; it is copied. */
typedef struct TalvexCommTimeouts {
    uint32_t readIntervalTimeout;         /* longest gap between two bytes of a reply */
    uint32_t readTotalTimeoutMultiplier;  /* per byte requested */
    uint32_t readTotalTimeoutConstant;    /* added once per read */
    uint32_t writeTotalTimeoutMultiplier; /* per byte written */
    uint32_t writeTotalTimeoutConstant;   /* added once per write */
} TalvexCommTimeouts;

/* Parity codes. */
enum {
    TALVEX_PARITY_NONE = 0,
    TALVEX_PARITY_ODD = 1,
    TALVEX_PARITY_EVEN = 2,
    TALVEX_PARITY_MARK = 3,
    TALVEX_PARITY_SPACE = 4
};
/* Stop-bit codes. One and a half does not exist on every platform; where it
 * does not, an open asking for it fails. */
enum { TALVEX_STOPBITS_ONE = 0, TALVEX_STOPBITS_ONE_HALF = 1, TALVEX_STOPBITS_TWO = 2 };

/* Failure codes of GetLastCommError(). */
enum {
    TALVEX_OK = 0,
    TALVEX_E_REFUSED = 1,
    TALVEX_E_NOT_OPEN = 2,
    TALVEX_E_WRITE_TIMEOUT = 3,
    TALVEX_E_READ_TIMEOUT = 4,
    TALVEX_E_WRITE = 5,
    TALVEX_E_READ = 6,
    TALVEX_E_NO_REPLY = -1
};

/* Reasons of GetLastOpenError(). Every port kind uses the same codes, so a
 * caller explains a failure without knowing how the port is reached. */
enum {
    TALVEX_OPEN_OK = 0,
    TALVEX_OPEN_NO_DEVICE = 1,      /* no such device, or no name given */
    TALVEX_OPEN_PERMISSION = 2,     /* the user may not open the device */
    TALVEX_OPEN_BUSY = 3,           /* another program (or an open in this one) holds it */
    TALVEX_OPEN_NOT_SERIAL = 4,     /* it exists but is not a serial line */
    TALVEX_OPEN_SETTINGS = 5,       /* the line settings asked for are not available */
    TALVEX_OPEN_HOST_NOT_FOUND = 6, /* network port: the host name does not resolve */
    TALVEX_OPEN_CANNOT_CONNECT = 7, /* network port: refused, unreachable or timed out */
    TALVEX_OPEN_OTHER = -1          /* anything else the platform reported */
};

/* ---- Device facts -------------------------------------------------------- */

/* The ranges the transmitter accepts for its settings, both ends included.
 * It refuses a value outside them. */
enum {
    TALVEX_FREQ_MIN = 870,
    TALVEX_FREQ_MAX = 1080, /* 0.1 MHz */
    TALVEX_POWER_MIN = 3,
    TALVEX_POWER_MAX = 150, /* 0.1 W */
    TALVEX_LINE_VOL_MIN = 1,
    TALVEX_LINE_VOL_MAX = 13,
    TALVEX_MIC_VOL_MIN = 1,
    TALVEX_MIC_VOL_MAX = 30,
    TALVEX_TEMP_POINT_MIN = 50,
    TALVEX_TEMP_POINT_MAX = 70, /* degrees */
    TALVEX_SWR_POINT_MIN = 20,
    TALVEX_SWR_POINT_MAX = 40 /* SWR tenths */
};

/* Bits of the state byte (GetDevState); the other bits carry nothing. */
enum {
    TALVEX_STATE_STANDBY = 0x01, /* not transmitting */
    TALVEX_STATE_MONO = 0x04,    /* mono sound (clear: stereo) */
    TALVEX_STATE_ECHO_OFF = 0x10,
    TALVEX_STATE_LINE_ON = 0x20,
    TALVEX_STATE_MIC_OFF = 0x40
};

/* Reply delays, in milliseconds, that the transmitter needs: every command
 * and reading, and the real-time audio level (GetRtVol), which it answers
 * sooner and which is read ten times a second. */
enum { TALVEX_REPLY_DELAY_MS = 100, TALVEX_LEVEL_REPLY_DELAY_MS = 20 };

/* ---- Port ---------------------------------------------------------------- */

/* Opens port number `port` (COMn: "\\.\COMn" on Windows, /dev/ttyS{n-1}
 * elsewhere; 0 and below fail). Closes an open port first, also when the new
 * open fails. Only the low byte of parity, dataBits and stopBits is used.
 * `timeouts` may be null. The code is -1 afterwards until the first exchange. */
TALVEX_API int TALVEX_CALL OpenComm(int port, int baud, int parity, int dataBits, int stopBits, const void* timeouts);
/* As OpenComm, for a device path ("/dev/ttyUSB0", "COM3", ...); a null or
 * empty path fails. The port is used exclusively: one that another process
 * (or another open in this one) holds fails to open.
 * A network port is named by URL:
 *   "rfc2217://HOST:PORT"  Telnet with the RFC 2217 com-port option (ser2net's
 *                          telnet(rfc2217) accepter): the line settings are
 *                          sent to the server, and the open fails unless it
 *                          confirms them;
 *   "socket://HOST:PORT"   raw TCP: the server's own line settings apply.
 * IPv6 hosts go in brackets. Connecting gives up after 2000 ms; a refused
 * connection or an unknown host fails the open. A connection that drops
 * fails the exchange that meets it with code 5 or 6, as a line that hangs up
 * does. The failure codes and guards are otherwise those of a local port. */
TALVEX_API int TALVEX_CALL OpenCommPath(const char* device, int baud, int parity, int dataBits, int stopBits,
                                        const void* timeouts);
/* Closes the open port. 0 when none is open, else the close's result. */
TALVEX_API int TALVEX_CALL CloseComm(void);
/* 1 while a port is open. Touches neither the line nor the failure code. */
TALVEX_API int TALVEX_CALL IsOpen(void);
/* The last failure code (see the error model above). */
TALVEX_API int TALVEX_CALL GetLastCommError(void);
/* Why the last OpenComm or OpenCommPath failed (TALVEX_OPEN_*), or
 * TALVEX_OPEN_OK when it succeeded or none was made yet. Touches nothing. */
TALVEX_API int TALVEX_CALL GetLastOpenError(void);
/* A short English text for an open-failure reason ("no such device", ...),
 * never null; static storage, not to be freed. Unknown codes give the text
 * of TALVEX_OPEN_OTHER. */
TALVEX_API const char* TALVEX_CALL GetOpenErrorText(int reason);

/* ---- Commands without data (reply "OK") ---------------------------------- */

TALVEX_API int TALVEX_CALL ShutDown(int replyDelayMs);                    /* 01 01 02: standby */
TALVEX_API int TALVEX_CALL StartUp(int replyDelayMs);                     /* 01 01 03: transmit */
TALVEX_API int TALVEX_CALL SetLINE(int on, int replyDelayMs);             /* 06 on, 04 off */
TALVEX_API int TALVEX_CALL SetMIC(int on, int replyDelayMs);              /* 07 on, 05 off */
TALVEX_API int TALVEX_CALL SetRBT(int on, int replyDelayMs);              /* echo: 09 on, 08 off */
TALVEX_API int TALVEX_CALL SetBackLight(int on, int replyDelayMs);        /* 0A on, 0B off */
TALVEX_API int TALVEX_CALL SetSoundChannel(int stereo, int replyDelayMs); /* 0C stereo, 0D mono */
/* Frequency in 0.1 MHz (TALVEX_FREQ_*); the low 16 bits go out, high byte first. */
TALVEX_API int TALVEX_CALL SetFMFreq(int freq, int replyDelayMs);
/* The following send the low 8 bits of their argument. */
TALVEX_API int TALVEX_CALL SetLINEVol(int volume, int replyDelayMs);   /* TALVEX_LINE_VOL_* */
TALVEX_API int TALVEX_CALL SetMICVol(int volume, int replyDelayMs);    /* TALVEX_MIC_VOL_* */
TALVEX_API int TALVEX_CALL SetLaunchPWR(int power, int replyDelayMs);  /* 0.1 W, TALVEX_POWER_* */
TALVEX_API int TALVEX_CALL SetStdyWavePt(int point, int replyDelayMs); /* SWR tenths, TALVEX_SWR_POINT_* */
TALVEX_API int TALVEX_CALL SetTmpPt(int point, int replyDelayMs);      /* degrees, TALVEX_TEMP_POINT_* */

/* ---- Readings ------------------------------------------------------------ */

/* One data byte, zero-extended (0..255). */
TALVEX_API int TALVEX_CALL GetFwdPWR(int* power, int replyDelayMs);        /* 0.1 W */
TALVEX_API int TALVEX_CALL GetRvrPWR(int* power, int replyDelayMs);        /* 0.1 W */
TALVEX_API int TALVEX_CALL GetStdyWaveRatio(int* ratio, int replyDelayMs); /* tenths */
TALVEX_API int TALVEX_CALL GetTemperature(int* degrees, int replyDelayMs);
TALVEX_API int TALVEX_CALL GetLineVol(int* volume, int replyDelayMs);
TALVEX_API int TALVEX_CALL GetMicVol(int* volume, int replyDelayMs);
TALVEX_API int TALVEX_CALL GetLaunchPWR(int* power, int replyDelayMs); /* 0.1 W */
TALVEX_API int TALVEX_CALL GetTmpPt(int* point, int replyDelayMs);
TALVEX_API int TALVEX_CALL GetStdyWavePt(int* point, int replyDelayMs);
/* The state byte (TALVEX_STATE_* bits); only that one byte is written. */
TALVEX_API int TALVEX_CALL GetDevState(unsigned char* state, int replyDelayMs);
/* Two data bytes, high first (0..65535). */
TALVEX_API int TALVEX_CALL GetFMFreq(int* freq, int replyDelayMs); /* 0.1 MHz */
TALVEX_API int TALVEX_CALL GetRtVol(int* level, int replyDelayMs); /* raw audio level */

/* Text readings: `size` is tested first; a smaller buffer returns 0 at once. */
/* Serial number as 14 upper-case hex digits; needs 15 chars. Emptied on failure. */
TALVEX_API int TALVEX_CALL GetSerialNum(char* text, unsigned size, int replyDelayMs);
/* Firmware version, the two characters sent; needs 3 chars. */
TALVEX_API int TALVEX_CALL GetVersionNum(char* text, unsigned size, int replyDelayMs);
/* Device type, the three characters sent; needs 4 chars. */
TALVEX_API int TALVEX_CALL GetDevType(char* text, unsigned size, int replyDelayMs);

#ifdef __cplusplus
}
#endif

#endif /* TALVEX_H */
