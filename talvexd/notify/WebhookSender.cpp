#include "WebhookSender.h"

#include "Curl.h"
#include "SecretFile.h"

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace talvexd {

using namespace std::chrono_literals;

namespace {

// The answer's body is not needed; it is read and dropped.
std::size_t Discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

}  // namespace

std::string WebhookSignature(std::string_view secret, std::string_view body)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
         reinterpret_cast<const unsigned char*>(body.data()), body.size(), digest, &length);
    std::string text = "sha256=";
    char hex[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", digest[i]);
        text += hex;
    }
    return text;
}

CWebhookSender::CWebhookSender(SiteConfig::Webhook settings, std::string siteName)
    : m_settings(std::move(settings)), m_siteName(std::move(siteName))
{}

std::string CWebhookSender::Body(const nlohmann::json& notice, WallClock::time_point now) const
{
    nlohmann::ordered_json body;
    body["id"] = notice.value("id", "");
    body["timestamp"] = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    body["site"] = m_siteName;
    body["event"] = notice.value("event", "");
    body["severity"] = notice.value("severity", "");
    const auto event = [](const nlohmann::json& e) {
        return nlohmann::ordered_json{{"id", e.value("id", "")},        {"event", e.value("event", "")},
                                      {"alarm", e.value("alarm", "")},  {"severity", e.value("severity", "")},
                                      {"value", e.value("value", 0.0)}, {"threshold", e.value("threshold", 0.0)},
                                      {"at", e.value("at", "")}};
    };
    if (notice.value("event", "") == "summary") {
        body["alarms"] = nlohmann::ordered_json::array();
        for (const nlohmann::json& e : notice.value("alarms", nlohmann::json::array()))
            body["alarms"].push_back(event(e));
    } else {
        body["alarm"] = notice.value("alarm", "");
        body["value"] = notice.value("value", 0.0);
        body["threshold"] = notice.value("threshold", 0.0);
        body["at"] = notice.value("at", "");
    }
    return body.dump();
}

bool CWebhookSender::Send(const nlohmann::json& notice, std::string* error, const std::atomic<bool>* abort) const
{
    const std::string& url = m_settings.url;
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
        *error = "the webhook url is neither http:// nor https://";
        return false;
    }
    std::string secret;
    if (!ReadSecretFile(m_settings.secretFile, &secret, error)) {
        *error = "secret_file: " + *error;
        return false;
    }
    const std::string body = Body(notice, WallClock::now());
    const std::string signature = "X-Talvex-Signature: " + WebhookSignature(secret, body);
    std::fill(secret.begin(), secret.end(), '\0');

    CCurl curl(abort);
    curl.SetTimeouts(10s, 10s);
    curl.Set(CURLOPT_URL, url.c_str());
    curl.Set(CURLOPT_PROTOCOLS_STR, "http,https");
    if (!m_settings.caFile.empty())
        curl.Set(CURLOPT_CAINFO, m_settings.caFile.c_str());
    // No "Expect: 100-continue" round trip for a small body.
    curl.SetList(CURLOPT_HTTPHEADER, {"Content-Type: application/json", signature, "Expect:"});
    curl.Set(CURLOPT_POSTFIELDS, body.c_str());
    curl.SetLarge(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl.Set(CURLOPT_WRITEFUNCTION, &Discard);
    if (!curl.Perform(error))
        return false;
    const long status = curl.ResponseCode();
    if (status < 200 || status > 299) {
        *error = "the receiver answered HTTP " + std::to_string(status);
        return false;
    }
    return true;
}

}  // namespace talvexd
