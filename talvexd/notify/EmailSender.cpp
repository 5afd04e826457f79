#include "EmailSender.h"

#include "Curl.h"
#include "Notice.h"
#include "SecretFile.h"

#include <curl/curl.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

namespace talvexd {

using namespace std::chrono_literals;

namespace {

constexpr char kAdvice[] = "What to do: open the site's status page and its event log, and see the operator's "
                           "guide, section Alarms, for this alarm.";

// An address must not carry a line end (a header of its own) nor the
// brackets that frame it on the envelope.
bool PlainAddress(const std::string& address)
{
    return !address.empty() && address.find_first_of("\r\n<>, \t") == std::string::npos &&
           address.find('@') != std::string::npos;
}

// A header's text: RFC 2047's UTF-8 Base64 form when it is not plain ASCII.
std::string HeaderText(const std::string& text)
{
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
    if (plain)
        return text;
    std::string encoded(4 * ((text.size() + 2) / 3) + 1, '\0');
    const int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    encoded.resize(static_cast<std::size_t>(length));
    return "=?utf-8?B?" + encoded + "?=";
}

// "Tue, 09 Dec 2026 13:05:07 +0000", in the C locale's names.
std::string MailDate(WallClock::time_point now)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t seconds = WallClock::to_time_t(now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[utc.tm_wday], utc.tm_mday,
                  months[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The lines that describe one alarm event.
std::string EventLines(const nlohmann::json& e, const std::string& indent)
{
    std::string lines = indent + "Alarm:     " + e.value("alarm", "") + " " + e.value("event", "") + "\r\n";
    lines += indent + "Severity:  " + e.value("severity", "") + "\r\n";
    lines += indent + "Value:     " + FormatReading(e.value("value", 0.0)) + "\r\n";
    if (e.value("event", "") == "raised")
        lines += indent + "Threshold: " + FormatReading(e.value("threshold", 0.0)) + "\r\n";
    lines += indent + "Time:      " + e.value("at", "") + "\r\n";
    return lines;
}

struct Upload {
    const std::string* text = nullptr;
    std::size_t sent = 0;
};

std::size_t ReadPayload(char* buffer, std::size_t size, std::size_t count, void* data)
{
    auto* upload = static_cast<Upload*>(data);
    const std::size_t n = std::min(size * count, upload->text->size() - upload->sent);
    std::memcpy(buffer, upload->text->data() + upload->sent, n);
    upload->sent += n;
    return n;
}

}  // namespace

CEmailSender::CEmailSender(SiteConfig::Email settings, std::string siteName)
    : m_settings(std::move(settings)), m_siteName(std::move(siteName))
{
    // The site's name goes into a header: it keeps no line end.
    std::erase_if(m_siteName, [](char c) { return c == '\r' || c == '\n'; });
}

std::string CEmailSender::Subject(const nlohmann::json& notice) const
{
    const std::string prefix = "[Talvex " + m_siteName + "] ";
    if (notice.value("event", "") == "summary") {
        const std::size_t count = EventsOf(notice).size();
        return prefix + Upper(notice.value("severity", "")) + ": " + std::to_string(count) +
               " alarm events in a short time (summary)";
    }
    const bool raised = notice.value("event", "") == "raised";
    return prefix + (raised ? Upper(notice.value("severity", "")) : std::string("OK")) + ": " +
           notice.value("text", "");
}

std::string CEmailSender::Compose(const nlohmann::json& notice, WallClock::time_point now) const
{
    const std::size_t at = m_settings.from.find('@');
    const std::string domain = at == std::string::npos ? "talvex.invalid" : m_settings.from.substr(at + 1);
    std::string to;
    for (const std::string& address : m_settings.to)
        to += (to.empty() ? "" : ", ") + address;

    std::string message = "Date: " + MailDate(now) + "\r\n";
    message += "From: " + m_settings.from + "\r\n";
    message += "To: " + to + "\r\n";
    message += "Subject: " + HeaderText(Subject(notice)) + "\r\n";
    // The notice's id: a mail sent again after a lost answer is known as the
    // same one.
    message += "Message-ID: <" + notice.value("id", NewNoticeId()) + "@" + domain + ">\r\n";
    message += "MIME-Version: 1.0\r\n";
    message += "Content-Type: text/plain; charset=utf-8\r\n";
    message += "Content-Transfer-Encoding: 8bit\r\n";
    message += "\r\n";
    message += "Site:      " + m_siteName + "\r\n";
    if (notice.value("event", "") == "summary") {
        const std::vector<nlohmann::json> events = EventsOf(notice);
        message += "Too many alarm events in a short time for one mail each; these " + std::to_string(events.size()) +
                   " came together:\r\n\r\n";
        for (const nlohmann::json& event : events)
            message += EventLines(event, "  ") + "\r\n";
    } else {
        message += EventLines(notice, "") + "\r\n";
    }
    message += std::string(kAdvice) + "\r\n";
    return message;
}

bool CEmailSender::Send(const nlohmann::json& notice, std::string* error, const std::atomic<bool>* abort) const
{
    const std::string& url = m_settings.url;
    if (url.rfind("smtp://", 0) != 0 && url.rfind("smtps://", 0) != 0) {
        *error = "the mail url is neither smtp:// nor smtps://";
        return false;
    }
    if (!PlainAddress(m_settings.from) || m_settings.to.empty() ||
        !std::all_of(m_settings.to.begin(), m_settings.to.end(), PlainAddress)) {
        *error = "the mail's from or to is not one plain address each (name@host)";
        return false;
    }
    std::string password;
    if (!m_settings.user.empty() && !ReadSecretFile(m_settings.passwordFile, &password, error)) {
        *error = "password_file: " + *error;
        return false;
    }

    CCurl curl(abort);
    curl.SetTimeouts(10s, 30s);
    curl.Set(CURLOPT_URL, url.c_str());
    curl.Set(CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    // Plain smtp:// goes no further than STARTTLS: never a password or a
    // mail in the clear.
    curl.Set(CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    if (!m_settings.caFile.empty())
        curl.Set(CURLOPT_CAINFO, m_settings.caFile.c_str());
    if (!m_settings.user.empty()) {
        curl.Set(CURLOPT_USERNAME, m_settings.user.c_str());
        curl.Set(CURLOPT_PASSWORD, password.c_str());
    }
    const std::string from = "<" + m_settings.from + ">";
    curl.Set(CURLOPT_MAIL_FROM, from.c_str());
    std::vector<std::string> recipients;
    for (const std::string& address : m_settings.to)
        recipients.push_back("<" + address + ">");
    curl.SetList(CURLOPT_MAIL_RCPT, recipients);

    const std::string message = Compose(notice, WallClock::now());
    Upload upload{&message, 0};
    curl.Set(CURLOPT_READFUNCTION, &ReadPayload);
    curl.Set(CURLOPT_READDATA, &upload);
    curl.Set(CURLOPT_UPLOAD, 1L);
    curl.SetLarge(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    const bool sent = curl.Perform(error);
    std::fill(password.begin(), password.end(), '\0');
    return sent;
}

}  // namespace talvexd
