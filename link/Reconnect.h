// Why a session ended, as one table (the reason the link gives, whether retrying can help, the
// shortest wait before the next attempt), and the back-off that spaces the attempts.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quintar::link {

using Seconds = std::chrono::seconds;

enum class Ending : std::uint8_t {
    Unreachable,           // no TCP connection (refused, no route, name not found, timed out)
    ClosedBeforeGreeting,  // another client holds the station, or this address is blocked
    NoGreeting,
    NotAStation,
    NoLoginAnswer,
    WrongPassword,
    UserDisabled,
    LoginRejected,
    LoginTimeout,
    SessionLimit,
    IdleLimit,
    CommandTooLong,
    StationSilent,         // the link's probe went unanswered
    StationGone,           // the station closed the connection, or it broke
    TlsFailed,             // no TLS at the other end, or none both sides speak
    CertificateRefused,    // TLS: the station's certificate is not the one trusted
    Count
};

struct EndingRow {
    Ending ending;
    std::string_view reason;
    bool final;       // retrying cannot help; the link stops unless told to keep trying
    Seconds minimumWait;
    bool neverRetried = false;  // final even with --keep-trying: the operator must decide
};

inline constexpr EndingRow kEndings[] = {
    {Ending::Unreachable, "cannot reach the station", false, Seconds(0)},
    // The station's login protection refuses an address for 30 s after repeated failed logins;
    // knocking sooner only shows up in its log.
    {Ending::ClosedBeforeGreeting,
     "the station closed the connection before its greeting (another client is connected, or this "
     "address is blocked after failed logins)",
     false, Seconds(30)},
    {Ending::NoGreeting, "no greeting from the station", false, Seconds(0)},
    {Ending::NotAStation, "the other end did not greet as a station (wrong port?)", true, Seconds(0)},
    {Ending::NoLoginAnswer, "no answer to the login", false, Seconds(0)},
    {Ending::WrongPassword, "login refused: wrong user id or password", true, Seconds(0)},
    {Ending::UserDisabled, "login refused: the user is disabled at the station", true, Seconds(0)},
    {Ending::LoginRejected, "login refused: the station did not take the user id or password", true, Seconds(0)},
    {Ending::LoginTimeout, "the station's login time limit ran out", false, Seconds(0)},
    {Ending::SessionLimit, "session limit reached", true, Seconds(0)},
    {Ending::IdleLimit, "the station's idle limit ended the session", false, Seconds(0)},
    {Ending::CommandTooLong, "the station ended the session: a command from the program was too long", false,
     Seconds(0)},
    {Ending::StationSilent, "the station stopped answering", false, Seconds(0)},
    {Ending::StationGone, "the station closed the connection", false, Seconds(0)},
    {Ending::TlsFailed, "the TLS handshake failed (is it the station's TLS port?)", true, Seconds(0)},
    // Someone may be in between; retrying into a certificate not trusted would only hide that.
    {Ending::CertificateRefused, "certificate refused", true, Seconds(0), true},
};

constexpr bool RowsInOrder()
{
    for (std::size_t i = 0; i < std::size(kEndings); ++i)
        if (static_cast<std::size_t>(kEndings[i].ending) != i)
            return false;
    return std::size(kEndings) == static_cast<std::size_t>(Ending::Count);
}
static_assert(RowsInOrder(), "one row per ending, in the enum's order");

constexpr const EndingRow& Row(Ending e)
{
    return kEndings[static_cast<std::size_t>(e)];
}

// Waits 1, 2, 4 ... up to 60 s between attempts. A session that lasted at least the longest wait
// starts the sequence again; a shorter one does not, so a station that drops the link at once is
// never knocked on faster than once a minute. After a session that ended with the station gone, a
// refused connection (the machine answers, nothing listens yet) is a station restarting: for a
// while the link knocks every few seconds, so that it is back within moments of the station.
class Backoff {
public:
    struct Decision {
        bool stop;
        Seconds wait;
    };
    static constexpr Seconds kRestartWait{4};
    static constexpr unsigned kRestartKnocks = 30;  // about two minutes of them

    explicit Backoff(bool keepTrying, Seconds first = Seconds(1), Seconds longest = Seconds(60))
        : keepTrying_(keepTrying), first_(first), longest_(longest), next_(first)
    {
    }
    // `session`: how long the session was logged in (none when it never was); `refused`: the
    // connection was refused.
    Decision After(Ending ending, std::optional<Seconds> session, bool refused = false);

private:
    bool keepTrying_;
    Seconds first_;
    Seconds longest_;
    Seconds next_;
    unsigned restartKnocks_ = 0;
};

}  // namespace quintar::link
