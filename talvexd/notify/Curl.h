#pragma once
// One libcurl transfer (Debian's libcurl4) for the senders: curl's own error
// text, the two timeouts, lists that live as long as the transfer, and a
// flag that cuts a transfer short when the service stops.
//
// libcurl is loaded when the first transfer is made, not with the program:
// its dependencies (LDAP, Kerberos, GnuTLS...) would otherwise take some
// 4 MB of every site's memory, also at the sites that send no notification.

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace talvexd {

// Loads libcurl once per process; false with the reason when it cannot be.
bool LoadCurl(std::string* error);

class CCurl
{
public:
    // `abort`, when given, ends the transfer soon after it turns true.
    explicit CCurl(const std::atomic<bool>* abort);
    ~CCurl();
    CCurl(const CCurl&) = delete;
    CCurl& operator=(const CCurl&) = delete;

    // curl_easy_setopt with the type each option takes: a long, a pointer
    // (a string, a callback's data), a callback, or a curl_off_t (_LARGE).
    void Set(CURLoption option, long value);
    void Set(CURLoption option, const void* value);
    template <typename Result, typename... Arguments>
    void Set(CURLoption option, Result (*callback)(Arguments...))
    {
        SetCallback(option, reinterpret_cast<void (*)()>(callback));
    }
    void SetLarge(CURLoption option, curl_off_t value);
    // A list option (headers, recipients), kept until the transfer ends.
    void SetList(CURLoption option, const std::vector<std::string>& items);
    // Connect within `connect`, finish within `whole`.
    void SetTimeouts(std::chrono::seconds connect, std::chrono::seconds whole);
    // Runs the transfer; false with curl's reason in `error`.
    bool Perform(std::string* error);
    // The HTTP status of the answer; 0 without one.
    long ResponseCode() const;

private:
    void SetCallback(CURLoption option, void (*callback)());

    CURL* m_curl = nullptr;
    const std::atomic<bool>* m_abort = nullptr;
    std::vector<curl_slist*> m_lists;
    char m_error[CURL_ERROR_SIZE] = {};
};

}  // namespace talvexd
