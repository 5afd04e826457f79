#pragma once
// A notice as one signed JSON POST to the site's webhook, with libcurl. The
// header X-Talvex-Signature is "sha256=" and the hex HMAC-SHA256 of the
// exact body under the shared secret; the body's "timestamp" (Unix seconds
// at sending) lets a receiver refuse an old one played again, and its "id"
// (the same through every retry) a duplicate.

#include "talvexd/config/SiteConfig.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <string>
#include <string_view>

namespace talvexd {

class CWebhookSender
{
public:
    CWebhookSender(SiteConfig::Webhook settings, std::string siteName);

    // POSTs `notice` (Notice.h); an answer of 2xx is delivery, anything
    // else, or no answer within 10 s, false with the reason in `error`.
    bool Send(const nlohmann::json& notice, std::string* error, const std::atomic<bool>* abort = nullptr) const;
    // The body sent at `now`.
    std::string Body(const nlohmann::json& notice, WallClock::time_point now) const;

private:
    SiteConfig::Webhook m_settings;
    std::string m_siteName;
};

// "sha256=" + the lower-case hex HMAC-SHA256 of `body` under `secret`.
std::string WebhookSignature(std::string_view secret, std::string_view body);

}  // namespace talvexd
