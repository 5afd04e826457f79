#include "FrameRules.h"

#include <cstdio>

namespace soak {

namespace {

// One entry of the command set: its parameter bytes and, for a setting, the
// range of values the panel may send.
struct CommandRule {
    int code;
    const char* name;
    int paramBytes;
    int low;
    int high;
};

constexpr CommandRule kRules[] = {
    {0x02, "ShutDown", 0, 0, 0},
    {0x03, "StartUp", 0, 0, 0},
    {0x04, "SetLINE(off)", 0, 0, 0},
    {0x05, "SetMIC(off)", 0, 0, 0},
    {0x06, "SetLINE(on)", 0, 0, 0},
    {0x07, "SetMIC(on)", 0, 0, 0},
    {0x08, "SetRBT(off)", 0, 0, 0},
    {0x09, "SetRBT(on)", 0, 0, 0},
    {0x0A, "SetBackLight(on)", 0, 0, 0},
    {0x0B, "SetBackLight(off)", 0, 0, 0},
    {0x0C, "SetSoundChannel(stereo)", 0, 0, 0},
    {0x0D, "SetSoundChannel(mono)", 0, 0, 0},
    {0x0E, "SetFMFreq", 2, 870, 1080},
    {0x0F, "SetLINEVol", 1, 1, 13},
    {0x10, "SetMICVol", 1, 1, 30},
    {0x11, "SetLaunchPWR", 1, 3, 150},
    {0x12, "SetStdyWavePt", 1, 20, 40},
    {0x13, "SetTmpPt", 1, 50, 70},
    {0x14, "GetFwdPWR", 0, 0, 0},
    {0x15, "GetRvrPWR", 0, 0, 0},
    {0x16, "GetStdyWaveRatio", 0, 0, 0},
    {0x17, "GetTemperature", 0, 0, 0},
    {0x18, "GetDevState", 0, 0, 0},
    {0x19, "GetSerialNum", 0, 0, 0},
    {0x1A, "GetVersionNum", 0, 0, 0},
    {0x1B, "GetDevType", 0, 0, 0},
    {0x1C, "GetFMFreq", 0, 0, 0},
    {0x1D, "GetLineVol", 0, 0, 0},
    {0x1E, "GetMicVol", 0, 0, 0},
    {0x1F, "GetLaunchPWR", 0, 0, 0},
    {0x20, "GetTmpPt", 0, 0, 0},
    {0x21, "GetStdyWavePt", 0, 0, 0},
    {0x22, "GetRtVol", 0, 0, 0},
};

const CommandRule* FindRule(int code)
{
    for (const CommandRule& rule : kRules) {
        if (rule.code == code) {
            return &rule;
        }
    }
    return nullptr;
}

std::string Hex(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

}  // namespace

std::string CheckRequestFrame(const FrameBytes& frame)
{
    if (frame.size() < 3) {
        return "shorter than lead, count and code";
    }
    if (frame[0] != 0x01) {
        return "lead byte " + Hex(frame[0]) + " instead of 0x01";
    }
    if (frame[1] + 2u != frame.size()) {
        return "count " + std::to_string(frame[1]) + " for " + std::to_string(frame.size()) + " bytes";
    }
    const CommandRule* rule = FindRule(frame[2]);
    if (!rule) {
        return "unknown command code " + Hex(frame[2]);
    }
    if (frame[1] != 1 + rule->paramBytes) {
        return std::string(rule->name) + " takes " + std::to_string(rule->paramBytes) + " parameter bytes, got " +
               std::to_string(frame[1] - 1);
    }
    if (rule->paramBytes == 0) {
        return {};
    }
    const int value = rule->paramBytes == 2 ? (frame[3] << 8) | frame[4] : frame[3];
    if (value < rule->low || value > rule->high) {
        return std::string(rule->name) + " with " + std::to_string(value) + " outside " + std::to_string(rule->low) +
               ".." + std::to_string(rule->high);
    }
    return {};
}

std::string CommandName(int code)
{
    const CommandRule* rule = FindRule(code);
    return rule ? std::string(rule->name) : "code " + Hex(code);
}

}  // namespace soak
