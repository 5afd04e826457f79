// Exported transmitter commands: each builds its frame, runs one exchange
// and, for readings, decodes the reply data into the caller's output.
// Outputs are written only on success; a null output is refused before
// anything touches the line.

#include "Library.h"
#include "Protocol.h"
#include "Talvex.h"

#include <array>
#include <cstdint>

namespace cmd = talvex::commands;
using talvex::Command;
using talvex::Frame;
using talvex::Guarded;
using talvex::Library;

namespace {

int Send(const Frame& frame, int replyDelayMs)
{
    return Library().CommTransact(frame.View(), nullptr, 0, replyDelayMs) ? 1 : 0;
}

template <Command C>
using ReplyData = std::array<std::uint8_t, C.replyBytes>;

// Runs the reading `C` and fills `data` on success.
template <Command C>
bool Query(ReplyData<C>& data, int replyDelayMs)
{
    return Library().CommTransact(talvex::CommandFrame(C.code).View(), data.data(), data.size(), replyDelayMs);
}

template <Command C>
int ReadNumber(int* out, int replyDelayMs)
{
    if (out == nullptr)
        return 0;
    ReplyData<C> data{};
    if (!Query<C>(data, replyDelayMs))
        return 0;
    if constexpr (C.replyBytes == 1)
        *out = talvex::DecodeByte(data);
    else
        *out = talvex::DecodeWord(data);
    return 1;
}

// Version and device type: the data bytes as they came, terminated.
template <Command C>
int ReadText(char* text, unsigned size, int replyDelayMs)
{
    if (text == nullptr || size < C.replyBytes + 1)
        return 0;
    ReplyData<C> data{};
    if (!Query<C>(data, replyDelayMs))
        return 0;
    talvex::CopyText(data, text);
    return 1;
}

}  // namespace

int ShutDown(int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::CommandFrame(cmd::kShutDown.code), replyDelayMs); });
}

int StartUp(int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::CommandFrame(cmd::kStartUp.code), replyDelayMs); });
}

int SetLINE(int on, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::CommandFrame(cmd::kLine.CodeFor(on)), replyDelayMs); });
}

int SetMIC(int on, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::CommandFrame(cmd::kMic.CodeFor(on)), replyDelayMs); });
}

int SetRBT(int on, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::CommandFrame(cmd::kEcho.CodeFor(on)), replyDelayMs); });
}

int SetBackLight(int on, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::CommandFrame(cmd::kBackLight.CodeFor(on)), replyDelayMs); });
}

int SetSoundChannel(int stereo, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::CommandFrame(cmd::kSoundChannel.CodeFor(stereo)), replyDelayMs); });
}

int SetFMFreq(int freq, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::WordFrame(cmd::kSetFMFreq.code, freq), replyDelayMs); });
}

int SetLINEVol(int volume, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::ByteFrame(cmd::kSetLineVol.code, volume), replyDelayMs); });
}

int SetMICVol(int volume, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::ByteFrame(cmd::kSetMicVol.code, volume), replyDelayMs); });
}

int SetLaunchPWR(int power, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::ByteFrame(cmd::kSetLaunchPower.code, power), replyDelayMs); });
}

int SetStdyWavePt(int point, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::ByteFrame(cmd::kSetSwrPoint.code, point), replyDelayMs); });
}

int SetTmpPt(int point, int replyDelayMs)
{
    return Guarded([&] { return Send(talvex::ByteFrame(cmd::kSetTempPoint.code, point), replyDelayMs); });
}

int GetFwdPWR(int* power, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetFwdPower>(power, replyDelayMs); });
}

int GetRvrPWR(int* power, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetRvrPower>(power, replyDelayMs); });
}

int GetStdyWaveRatio(int* ratio, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetSwr>(ratio, replyDelayMs); });
}

int GetTemperature(int* degrees, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetTemperature>(degrees, replyDelayMs); });
}

int GetDevState(unsigned char* state, int replyDelayMs)
{
    return Guarded([&] {
        if (state == nullptr)
            return 0;
        ReplyData<cmd::kGetDevState> data{};
        if (!Query<cmd::kGetDevState>(data, replyDelayMs))
            return 0;
        *state = data[0];
        return 1;
    });
}

int GetSerialNum(char* text, unsigned size, int replyDelayMs)
{
    return Guarded([&] {
        if (text == nullptr || size < talvex::kSerialTextSize)
            return 0;
        ReplyData<cmd::kGetSerialNum> data{};
        const bool ok = Query<cmd::kGetSerialNum>(data, replyDelayMs);
        // Emptied either way, so a failed read never leaves an old number behind.
        text[0] = '\0';
        if (!ok)
            return 0;
        talvex::FormatSerialNumber(data, std::span<char, talvex::kSerialTextSize>(text, talvex::kSerialTextSize));
        return 1;
    });
}

int GetVersionNum(char* text, unsigned size, int replyDelayMs)
{
    return Guarded([&] { return ReadText<cmd::kGetVersionNum>(text, size, replyDelayMs); });
}

int GetDevType(char* text, unsigned size, int replyDelayMs)
{
    return Guarded([&] { return ReadText<cmd::kGetDevType>(text, size, replyDelayMs); });
}

int GetFMFreq(int* freq, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetFMFreq>(freq, replyDelayMs); });
}

int GetLineVol(int* volume, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetLineVol>(volume, replyDelayMs); });
}

int GetMicVol(int* volume, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetMicVol>(volume, replyDelayMs); });
}

int GetLaunchPWR(int* power, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetLaunchPower>(power, replyDelayMs); });
}

int GetTmpPt(int* point, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetTempPoint>(point, replyDelayMs); });
}

int GetStdyWavePt(int* point, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetSwrPoint>(point, replyDelayMs); });
}

int GetRtVol(int* level, int replyDelayMs)
{
    return Guarded([&] { return ReadNumber<cmd::kGetRtVol>(level, replyDelayMs); });
}
