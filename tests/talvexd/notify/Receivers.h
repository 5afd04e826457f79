#pragma once
// The receivers of the notifications, real ones on the loopback: an SMTP
// server with STARTTLS and a login (smtp_receiver.py, on Debian's
// python3-aiosmtpd) and a webhook receiver of cpp-httplib that checks every
// signature with its own HMAC.

#include "sim/SimTestSupport.h"
#include "support/Child.h"

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <openssl/hmac.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace notifytest {

using namespace std::chrono_literals;
using Json = nlohmann::json;

// Takes the webhook's posts on one port, through stops and starts (bound
// is listening: a client's connection waits for the accepting thread).
class CHookReceiver
{
public:
    explicit CHookReceiver(std::string secret) : m_secret(std::move(secret)) {}
    ~CHookReceiver() { Stop(); }
    void Start()
    {
        m_server = std::make_unique<httplib::Server>();
        m_server->Post("/hook", [this](const httplib::Request& request, httplib::Response& response) {
            unsigned char digest[32];
            unsigned int length = 0;
            HMAC(EVP_sha256(), m_secret.data(), static_cast<int>(m_secret.size()),
                 reinterpret_cast<const unsigned char*>(request.body.data()), request.body.size(), digest, &length);
            std::string expected = "sha256=";
            for (unsigned int i = 0; i < length; ++i)
                expected += "0123456789abcdef"[digest[i] >> 4], expected += "0123456789abcdef"[digest[i] & 15];
            const std::lock_guard lock(m_lock);
            m_badSignatures += request.get_header_value("X-Talvex-Signature") != expected;
            m_bodies.push_back(Json::parse(request.body));
            response.set_content("{}", "application/json");
        });
        m_port =
            m_port ? (m_server->bind_to_port("127.0.0.1", m_port), m_port) : m_server->bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server->listen_after_bind(); });
        nettest::WaitFor([&] { return m_server->is_running(); }, 5s);  // a stop before it runs is lost
    }
    void Stop()
    {
        if (m_server)
            m_server->stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/hook"; }
    std::vector<Json> Bodies()
    {
        const std::lock_guard lock(m_lock);
        return m_bodies;
    }
    int BadSignatures()
    {
        const std::lock_guard lock(m_lock);
        return m_badSignatures;
    }

private:
    const std::string m_secret;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_lock;
    std::vector<Json> m_bodies;
    int m_badSignatures = 0;
};

// The SMTP server, with a certificate for 127.0.0.1 made for it; each mail
// it takes is a file in DIR/mail.
class CSmtpReceiver
{
public:
    bool Start(const simtest::TempDir& dir, const std::string& user, const std::string& password)
    {
        m_dir = dir.Path();
        std::filesystem::create_directories(m_dir + "/mail");
        const std::string make = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
                                 "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
                                 m_dir + "/key.pem -out " + CertificateFile() + " 2>/dev/null";
        if (std::system(make.c_str()) != 0)
            return false;
        if (!m_child.Start(
                {TALVEX_PYTHON3, SMTP_RECEIVER, CertificateFile(), m_dir + "/key.pem", user, password, m_dir + "/mail"},
                m_dir + "/smtp.log"))
            return false;
        std::string line;
        if (!nettest::WaitFor(
                [&] { return std::getline(std::ifstream(m_dir + "/smtp.log"), line) && line.rfind("ready ", 0) == 0; },
                10s))
            return false;
        m_port = line.substr(6);
        return true;
    }
    std::string Url() const { return "smtp://127.0.0.1:" + m_port; }
    std::string CertificateFile() const { return m_dir + "/cert.pem"; }
    // Every mail so far, in the order they came.
    std::vector<std::string> Mails() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir + "/mail"))
            if (entry.path().extension() == ".eml")
                names.insert(entry.path().string());
        std::vector<std::string> mails;
        for (const std::string& name : names) {
            std::ifstream in(name, std::ios::binary);
            mails.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return mails;
    }

private:
    std::string m_dir;
    std::string m_port;
    nettest::Child m_child;
};

}  // namespace notifytest
