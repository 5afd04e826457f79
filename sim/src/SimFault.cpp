#include "SimFault.h"

#include <charconv>

namespace {

struct KindName {
    SimFaultKind kind;
    std::string_view name;
    bool takesNumber;
};

constexpr KindName kKinds[] = {
    {SimFaultKind::Refuse, "refuse", false},   {SimFaultKind::Silent, "silent", false},
    {SimFaultKind::ShortAck, "short", false},  {SimFaultKind::DropData, "drop", true},
    {SimFaultKind::ExtraBytes, "extra", true}, {SimFaultKind::Garbage, "garbage", false},
    {SimFaultKind::Delay, "delay", true},      {SimFaultKind::HangUp, "hangup", true},
};

bool Fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return false;
}

bool ParseNumber(std::string_view text, int base, int& value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && ptr == end;
}

}  // namespace

std::string_view SimFaultKindName(SimFaultKind kind)
{
    for (const KindName& k : kKinds)
        if (k.kind == kind)
            return k.name;
    return "?";
}

std::optional<SimFault> ParseSimFault(std::string_view text, std::string* error)
{
    SimFault fault;
    fault.persistent = true;

    constexpr std::string_view kOnce = ",once";
    if (text.size() >= kOnce.size() && text.substr(text.size() - kOnce.size()) == kOnce) {
        fault.persistent = false;
        text.remove_suffix(kOnce.size());
    }

    if (const auto at = text.find('@'); at != std::string_view::npos) {
        std::string_view code = text.substr(at + 1);
        if (code.starts_with("0x") || code.starts_with("0X"))
            code.remove_prefix(2);
        int value = 0;
        if (!ParseNumber(code, 16, value) || value < 0 || value > 0xFF) {
            Fail(error, "bad command code in fault: " + std::string(text.substr(at + 1)));
            return std::nullopt;
        }
        fault.code = value;
        text = text.substr(0, at);
    }

    std::string_view number;
    if (const auto eq = text.find('='); eq != std::string_view::npos) {
        number = text.substr(eq + 1);
        text = text.substr(0, eq);
    }

    const KindName* kind = nullptr;
    for (const KindName& k : kKinds)
        if (k.name == text)
            kind = &k;
    if (!kind) {
        Fail(error, "unknown fault: " + std::string(text));
        return std::nullopt;
    }
    fault.kind = kind->kind;

    if (!number.empty()) {
        int value = 0;
        if (!kind->takesNumber || !ParseNumber(number, 10, value) || value < 0) {
            Fail(error, "bad number for fault " + std::string(text) + ": " + std::string(number));
            return std::nullopt;
        }
        if (fault.kind == SimFaultKind::Delay)
            fault.delay = std::chrono::milliseconds(value);
        else if (fault.kind == SimFaultKind::HangUp)
            fault.downFor = std::chrono::milliseconds(value);
        else
            fault.bytes = value;
    }
    return fault;
}
