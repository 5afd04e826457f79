#include "PtyPair.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

bool Fail(std::string* error, const char* what)
{
    if (error)
        *error = std::string(what) + ": " + std::strerror(errno);
    return false;
}

}  // namespace

PtyPair::~PtyPair() { Close(); }

bool PtyPair::Open(std::string* error)
{
    Close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return Fail(error, "posix_openpt");
    char name[128] = {};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || ptsname_r(m_master, name, sizeof name) != 0) {
        Fail(error, "preparing the pseudo-terminal");
        Close();
        return false;
    }
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_slave < 0) {
        Fail(error, "opening the pseudo-terminal's slave");
        Close();
        return false;
    }
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0) {
        Fail(error, "tcgetattr");
        Close();
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B57600);
    cfsetospeed(&tio, B57600);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0) {
        Fail(error, "tcsetattr");
        Close();
        return false;
    }
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        Fail(error, "making the master non-blocking");
        Close();
        return false;
    }
    m_slavePath = name;
    return true;
}

void PtyPair::Close()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
    m_slavePath.clear();
}

}  // namespace sim
