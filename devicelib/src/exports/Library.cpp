#include "Library.h"

namespace talvex {

CCommLink& Library()
{
    // The port outlives the link that refers to it: statics are destroyed
    // in reverse order of construction.
    static const std::unique_ptr<CSerialPort> port = CreatePortByName();
    static CCommLink link(*port);
    return link;
}

}  // namespace talvex
