// The back-off between attempts.
#include "Reconnect.h"

#include <algorithm>

namespace quintar::link {

Backoff::Decision Backoff::After(Ending ending, std::optional<Seconds> session, bool refused)
{
    const EndingRow& row = Row(ending);
    if (row.final) {
        if (!keepTrying_ || row.neverRetried)
            return {true, Seconds(0)};
        next_ = longest_;
        return {false, longest_};
    }
    if (session && *session >= longest_)
        next_ = first_;
    if (session && (ending == Ending::StationGone || ending == Ending::StationSilent))
        restartKnocks_ = kRestartKnocks;
    Seconds wait = std::max(next_, row.minimumWait);
    if (ending == Ending::Unreachable && refused && restartKnocks_ > 0) {
        --restartKnocks_;
        wait = std::min(wait, kRestartWait);
    }
    next_ = std::min(wait * 2, longest_);
    return {false, wait};
}

}  // namespace quintar::link
