// Port names: which backend a name belongs to, and the port that switches
// between them at each open.

#include "SerialPort.h"

#include <cstring>
#include <string_view>

namespace talvex {

namespace {

bool ValidPort(std::string_view port)
{
    if (port.empty() || port.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

std::optional<NetAddress> ParseRest(std::string_view rest, bool telnet)
{
    NetAddress address;
    address.telnet = telnet;
    std::string_view host;
    std::string_view port;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return std::nullopt;
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return std::nullopt;  // an IPv6 address without brackets
    }
    if (host.empty() || !ValidPort(port))
        return std::nullopt;
    for (const char c : host) {
        // Names and addresses only: no user part, path or control bytes.
        if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '@' || c == '?' || c == '#')
            return std::nullopt;
    }
    address.host = host;
    address.port = port;
    return address;
}

// Hands every call to the backend chosen at the last open.
class CPortByName final : public CSerialPort
{
public:
    bool Open(const char* device) override
    {
        if (m_port && m_port->IsOpen())
            m_port->Close();
        bool malformed = false;
        const bool network = ParseNetAddress(device, &malformed).has_value() || malformed;
        if (!m_port || network != m_network) {
            m_port = network ? CreateNetworkPort() : CreateSerialPort();
            m_network = network;
        }
        const bool opened = m_port->Open(device);
        SetOpenFailure(m_port->OpenFailure());
        return opened;
    }
    bool Configure(const LineSettings& settings) override
    {
        if (!m_port)
            return false;
        const bool configured = m_port->Configure(settings);
        SetOpenFailure(m_port->OpenFailure());
        return configured;
    }
    bool Close() override { return m_port && m_port->Close(); }
    bool IsOpen() const override { return m_port && m_port->IsOpen(); }
    void Purge() override
    {
        if (m_port)
            m_port->Purge();
    }
    IoResult Write(const std::uint8_t* data, std::size_t size, int guardMs) override
    {
        return m_port ? m_port->Write(data, size, guardMs) : IoResult{};
    }
    IoStatus WaitForInput(int timeoutMs) override
    {
        return m_port ? m_port->WaitForInput(timeoutMs) : IoStatus::Failed;
    }
    IoResult Read(std::uint8_t* data, std::size_t size, int guardMs) override
    {
        return m_port ? m_port->Read(data, size, guardMs) : IoResult{};
    }

private:
    std::unique_ptr<CSerialPort> m_port;
    bool m_network = false;
};

}  // namespace

std::optional<NetAddress> ParseNetAddress(const char* name, bool* malformed)
{
    if (malformed != nullptr)
        *malformed = false;
    if (name == nullptr)
        return std::nullopt;
    const std::string_view text(name);
    constexpr std::string_view kTelnet = "rfc2217://";
    constexpr std::string_view kRaw = "socket://";
    const bool telnet = text.starts_with(kTelnet);
    if (!telnet && !text.starts_with(kRaw))
        return std::nullopt;
    auto address = ParseRest(text.substr(telnet ? kTelnet.size() : kRaw.size()), telnet);
    if (!address && malformed != nullptr)
        *malformed = true;
    return address;
}

std::unique_ptr<CSerialPort> CreatePortByName() { return std::make_unique<CPortByName>(); }

}  // namespace talvex
