#include "Curl.h"

#include <curl/curl.h>

#include <mutex>

namespace talvexd {

namespace {

std::once_flag g_curlInit;

int Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* abort = static_cast<const std::atomic<bool>*>(data);
    return abort && abort->load() ? 1 : 0;
}

}  // namespace

CCurl::CCurl(const std::atomic<bool>* abort) : m_abort(abort)
{
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_curl = curl_easy_init();
    if (!m_curl)
        return;
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_error);
    // No signals: the service has threads, and a timeout must not raise one.
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &Progress);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(m_abort));
}

CCurl::~CCurl()
{
    if (m_curl)
        curl_easy_cleanup(m_curl);
}

void CCurl::SetTimeouts(std::chrono::seconds connect, std::chrono::seconds whole)
{
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connect.count()));
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, static_cast<long>(whole.count()));
}

bool CCurl::Perform(std::string* error)
{
    if (!m_curl) {
        *error = "libcurl could not start a transfer";
        return false;
    }
    m_error[0] = '\0';
    const CURLcode rc = curl_easy_perform(m_curl);
    if (rc == CURLE_OK)
        return true;
    if (m_abort && m_abort->load())
        *error = "cut short: the service is stopping";
    else
        *error = m_error[0] ? m_error : curl_easy_strerror(rc);
    return false;
}

}  // namespace talvexd
