#include "Curl.h"

#include <dlfcn.h>

#include <mutex>

namespace talvexd {

namespace {

// The part of libcurl the senders use, looked up in libcurl.so.4.
struct CurlLibrary {
    CURLcode (*globalInit)(long) = nullptr;
    CURL* (*easyInit)() = nullptr;
    void (*easyCleanup)(CURL*) = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyPerform)(CURL*) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    const char* (*easyStrerror)(CURLcode) = nullptr;
    curl_slist* (*slistAppend)(curl_slist*, const char*) = nullptr;
    void (*slistFreeAll)(curl_slist*) = nullptr;
};

constexpr char kLibrary[] = "libcurl.so.4";

std::once_flag g_loadOnce;
CurlLibrary g_curl;
bool g_loaded = false;
std::string g_loadError;

template <typename Function>
bool Find(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

void Load()
{
    void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        g_loadError = std::string("cannot load ") + kLibrary + " (package libcurl4): " + dlerror();
        return;
    }
    CurlLibrary api;
    const bool found =
        Find(library, "curl_global_init", api.globalInit) && Find(library, "curl_easy_init", api.easyInit) &&
        Find(library, "curl_easy_cleanup", api.easyCleanup) && Find(library, "curl_easy_setopt", api.easySetopt) &&
        Find(library, "curl_easy_perform", api.easyPerform) && Find(library, "curl_easy_getinfo", api.easyGetinfo) &&
        Find(library, "curl_easy_strerror", api.easyStrerror) && Find(library, "curl_slist_append", api.slistAppend) &&
        Find(library, "curl_slist_free_all", api.slistFreeAll);
    if (!found) {
        g_loadError = std::string(kLibrary) + " lacks a function it should have: " + dlerror();
        return;
    }
    if (api.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        g_loadError = std::string(kLibrary) + " could not start";
        return;
    }
    g_curl = api;
    g_loaded = true;  // the library stays loaded for the rest of the process
}

int Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* abort = static_cast<const std::atomic<bool>*>(data);
    return abort && abort->load() ? 1 : 0;
}

}  // namespace

bool LoadCurl(std::string* error)
{
    std::call_once(g_loadOnce, Load);
    if (!g_loaded && error)
        *error = g_loadError;
    return g_loaded;
}

CCurl::CCurl(const std::atomic<bool>* abort) : m_abort(abort)
{
    if (!LoadCurl(nullptr))
        return;
    m_curl = g_curl.easyInit();
    if (!m_curl)
        return;
    Set(CURLOPT_ERRORBUFFER, static_cast<void*>(m_error));
    // No signals: the service has threads, and a timeout must not raise one.
    Set(CURLOPT_NOSIGNAL, 1L);
    Set(CURLOPT_NOPROGRESS, 0L);
    Set(CURLOPT_XFERINFOFUNCTION, &Progress);
    Set(CURLOPT_XFERINFODATA, static_cast<const void*>(m_abort));
}

CCurl::~CCurl()
{
    if (m_curl)
        g_curl.easyCleanup(m_curl);
    for (curl_slist* list : m_lists)
        g_curl.slistFreeAll(list);
}

void CCurl::Set(CURLoption option, long value)
{
    if (m_curl)
        g_curl.easySetopt(m_curl, option, value);
}

void CCurl::Set(CURLoption option, const void* value)
{
    if (m_curl)
        g_curl.easySetopt(m_curl, option, value);
}

void CCurl::SetCallback(CURLoption option, void (*callback)())
{
    if (m_curl)
        g_curl.easySetopt(m_curl, option, callback);
}

void CCurl::SetLarge(CURLoption option, curl_off_t value)
{
    if (m_curl)
        g_curl.easySetopt(m_curl, option, value);
}

void CCurl::SetList(CURLoption option, const std::vector<std::string>& items)
{
    if (!m_curl)
        return;
    curl_slist* list = nullptr;
    for (const std::string& item : items)
        list = g_curl.slistAppend(list, item.c_str());
    m_lists.push_back(list);
    Set(option, static_cast<const void*>(list));
}

void CCurl::SetTimeouts(std::chrono::seconds connect, std::chrono::seconds whole)
{
    Set(CURLOPT_CONNECTTIMEOUT, static_cast<long>(connect.count()));
    Set(CURLOPT_TIMEOUT, static_cast<long>(whole.count()));
}

bool CCurl::Perform(std::string* error)
{
    if (!m_curl) {
        *error = g_loaded ? "libcurl could not start a transfer" : g_loadError;
        return false;
    }
    m_error[0] = '\0';
    const CURLcode rc = g_curl.easyPerform(m_curl);
    if (rc == CURLE_OK)
        return true;
    if (m_abort && m_abort->load())
        *error = "cut short: the service is stopping";
    else
        *error = m_error[0] ? m_error : g_curl.easyStrerror(rc);
    return false;
}

long CCurl::ResponseCode() const
{
    long status = 0;
    if (m_curl)
        g_curl.easyGetinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

}  // namespace talvexd
