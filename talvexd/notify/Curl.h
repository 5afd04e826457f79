#pragma once
// One libcurl transfer (Debian's libcurl4-openssl-dev) for the senders: the
// library set up once per process, curl's own error text, the two timeouts,
// and a flag that cuts a transfer short when the service stops.

#include <atomic>
#include <chrono>
#include <string>

typedef void CURL;

namespace talvexd {

class CCurl
{
public:
    // `abort`, when given, ends the transfer soon after it turns true.
    explicit CCurl(const std::atomic<bool>* abort);
    ~CCurl();
    CCurl(const CCurl&) = delete;
    CCurl& operator=(const CCurl&) = delete;

    CURL* Handle() const { return m_curl; }
    // Connect within `connect`, finish within `whole`.
    void SetTimeouts(std::chrono::seconds connect, std::chrono::seconds whole);
    // Runs the transfer; false with curl's reason in `error`.
    bool Perform(std::string* error);

private:
    CURL* m_curl = nullptr;
    const std::atomic<bool>* m_abort = nullptr;
    char m_error[256] = {};
};

}  // namespace talvexd
