// The back-off between attempts.
#include "Reconnect.h"

#include <algorithm>

namespace quintar::link {

Backoff::Decision Backoff::After(Ending ending, Seconds lasted)
{
    const EndingRow& row = Row(ending);
    if (row.final) {
        if (!keepTrying_)
            return {true, Seconds(0)};
        next_ = longest_;
        return {false, longest_};
    }
    if (lasted >= longest_)
        next_ = first_;
    const Seconds wait = std::max(next_, row.minimumWait);
    next_ = std::min(wait * 2, longest_);
    return {false, wait};
}

}  // namespace quintar::link
