#pragma once
// A notice as one mail, sent through the site's SMTP relay with libcurl:
// smtp://HOST:PORT with STARTTLS required, or smtps://HOST:PORT, logged in
// with the account of [notify.email] when it names a user.

#include "talvexd/config/SiteConfig.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <string>

namespace talvexd {

class CEmailSender
{
public:
    CEmailSender(SiteConfig::Email settings, std::string siteName);

    // Sends `notice` (Notice.h); false with the reason (curl's text) in
    // `error`. `abort` cuts it short.
    bool Send(const nlohmann::json& notice, std::string* error, const std::atomic<bool>* abort = nullptr) const;
    // The whole message, headers and body with CRLF line ends, as sent at
    // `now`.
    std::string Compose(const nlohmann::json& notice, WallClock::time_point now) const;
    // "[Talvex SITE] CRITICAL: swr raised: 3.2 over 2.8".
    std::string Subject(const nlohmann::json& notice) const;

private:
    SiteConfig::Email m_settings;
    std::string m_siteName;
};

}  // namespace talvexd
