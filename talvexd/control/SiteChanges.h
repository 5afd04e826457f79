#pragma once
// Changes reach the transmitter here, whoever asked for them: on the link's
// thread, one at a time in the order given, through the same core calls as
// the panel's handlers, each logged with who, what and how it ended, and
// stopping at the first failure. The status board shows the result at once.

#include "SiteChange.h"

#include "talvexd/site/Journal.h"
#include "talvexd/site/SiteLink.h"

#include <string>
#include <vector>

namespace talvexd {

// How a list of changes ended.
struct ChangeOutcome {
    enum class Status {
        Done,      // every change was applied
        LinkDown,  // nothing was sent: the link is down
        Busy,      // the link's thread did not get to it in time
        Refused,   // the transmitter refused one; those before it stand
    };
    Status status = Status::Done;
    const char* failText = nullptr;  // Refused: the panel's failure text
    int code = 0;                    // Refused: the failure code
    std::string key;                 // Refused: the change that failed
    std::size_t applied = 0;         // how many were applied
};

// The value as the log shows it: "100.0", "standby", "stereo", "true".
std::string SettingText(const SettingChange& change);
std::string PointText(const PointChange& change);

// `user` is who the log names.
ChangeOutcome ApplySettings(CSiteLink& link, const CJournal& journal, const std::string& user,
                            const std::vector<SettingChange>& changes);
ChangeOutcome ApplyPoints(CSiteLink& link, const CJournal& journal, const std::string& user,
                          const std::vector<PointChange>& changes);

}  // namespace talvexd
