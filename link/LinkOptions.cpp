// Option parsing and the manual page.
#include "LinkOptions.h"

#include <algorithm>

#include "KnownStations.h"
#include "LoginDialogue.h"

namespace quintar::link {

const char kUsage[] =
    "NAME\n"
    "    quintar-link - the station's radio as a local serial port for any CAT program\n"
    "\n"
    "SYNOPSIS\n"
    "    quintar-link --user ID [--password-stdin | --password-file FILE] [--link PATH]\n"
    "                 [--tcp-port PORT] [--session-clock] [--keep-trying]\n"
    "                 [--voice [--sip-port PORT] [--audio-devices]]\n"
    "                 [--tls [--fingerprint FP]] HOST[:PORT] | tls://HOST[:PORT]\n"
    "    quintar-link --status [--link PATH]\n"
    "\n"
    "DESCRIPTION\n"
    "    Connects to the station at HOST (TCP port 50000 unless given), logs in, and offers the\n"
    "    station's radio as a pseudo-terminal reached through a stable symlink, so that a program\n"
    "    that opens a serial port operates the remote radio as if it were attached, for example:\n"
    "        rigctl -m 2028 -r ~/.local/state/quintar-link/radio f     (identity 20; 2014 for 19)\n"
    "    The radio's answers pass unchanged; the station's own \"@@\" reports never reach the\n"
    "    program, and \"@@\" commands from the program are dropped. The program gets a radio of its\n"
    "    own: its auto-information (\"AI\") is kept and answered by the link, off until the program\n"
    "    sets it (the station keeps the real radio reporting for its panel); while it is off only\n"
    "    the answers to the program's own queries reach it. A command the station refuses is\n"
    "    answered \"?;\" at once, as a radio answers one it does not take. While the program is\n"
    "    quiet the link keeps the session alive with \"@@ST;\" (answered by the station).\n"
    "\n"
    "    When the connection drops the link says why and tries again after 1, 2, 4 ... up to 60 s,\n"
    "    at least 30 s after the station closed the connection before greeting (another client\n"
    "    holds it, or its login protection blocks this address); while a station it was logged in\n"
    "    to refuses connections (it is restarting), every 4 s for about two minutes. The terminal\n"
    "    stays open meanwhile; what the program sends then is dropped, unanswered, as a\n"
    "    switched-off radio would. A refused login (wrong user id or password, disabled user) and\n"
    "    the station's session limit end the link, since retrying cannot help, unless\n"
    "    --keep-trying is given.\n"
    "\n"
    "    With --tls (or a station address tls://HOST[:PORT]) the session is encrypted: the link\n"
    "    speaks TLS 1.2 or 1.3 to the station's TLS port (50001 unless given) and never falls back to\n"
    "    clear text. The station's certificate is its own (self-signed); the link trusts it by its\n"
    "    SHA-256 fingerprint, which the station prints (quintar setup tls) and shows in its Setup\n"
    "    dialog. With --fingerprint the certificate must have that one. Without, the first contact\n"
    "    shows the fingerprint and stores it in the known-stations file (trust on first use: compare\n"
    "    it with the station's own before you rely on it), and later contacts must match it. A\n"
    "    certificate that does not match is refused before the login is sent, with both\n"
    "    fingerprints named, and the link stops, even with --keep-trying: if the station made a new\n"
    "    key, edit or remove its line in the known-stations file (the message names it).\n"
    "\n"
    "    With --voice the link also brings the radio's audio home: once the station reports voice\n"
    "    after login (\"@@VE1;\") the link calls the station's SIP port itself, hangs up when the\n"
    "    session ends and calls again after the next login (and, while the session goes on, 5 s\n"
    "    to 60 s after a call that ended otherwise). The audio is encrypted (DTLS-SRTP); a station\n"
    "    that does not take that gets no call. The call uses the system's default microphone and\n"
    "    speakers; with --audio-devices, two sound devices that the link makes on the sound server\n"
    "    (PulseAudio, or PipeWire's PulseAudio service) and removes when it stops: a decoding\n"
    "    program records the radio's audio from \"Monitor of Quintar RX\" and plays what is to be\n"
    "    sent into \"Quintar TX\" (the call takes it from \"Quintar TX to station\"). Keying the\n"
    "    transmitter stays with the CAT program. Voice needs the link's voice library\n"
    "    (libquintar-link-voice.so); without it the link says so and runs as without --voice.\n"
    "\n"
    "OPTIONS\n"
    "    -u, --user ID          the user id at the station (1 to 32 characters)\n"
    "    --password-stdin       read the password from the first line of standard input\n"
    "    --password-file FILE   read it from the first line of FILE, which must be a regular file\n"
    "                           of this user with mode 0600 or 0400\n"
    "                           (default: ask on the terminal without echo; a password is never\n"
    "                           taken from the command line)\n"
    "    --link PATH            the symlink to create (default $XDG_STATE_HOME/quintar-link/radio,\n"
    "                           i.e. ~/.local/state/quintar-link/radio); PATH.status holds the\n"
    "                           link's status, PATH.lock keeps a second link off the same path\n"
    "    --tcp-port PORT        instead of the terminal, carry the same raw stream on\n"
    "                           127.0.0.1:PORT, one program at a time (0: any free port, shown at\n"
    "                           start), e.g. rigctl -m 2028 -r 127.0.0.1:PORT\n"
    "    --session-clock        switch on the station's once-a-second session clock reports for\n"
    "                           the session (they matter only with a session limit); they are\n"
    "                           switched off again when the link stops\n"
    "    --keep-trying          also retry after a refused login or the session limit, once a minute\n"
    "    --voice                call the station's voice once it offers it (above)\n"
    "    --sip-port PORT        the station's SIP port (default 5060, the station's own default)\n"
    "    --audio-devices        the call's audio on \"Quintar RX\" and \"Quintar TX\" instead of the\n"
    "                           default microphone and speakers (needs pactl, Debian package\n"
    "                           pulseaudio-utils)\n"
    "    --tls                  encrypt the session with TLS (default port 50001)\n"
    "    --fingerprint FP       with --tls: trust only a station certificate with this SHA-256\n"
    "                           fingerprint (AB:CD:..., 32 hex pairs; any case, colons and a\n"
    "                           leading SHA256: optional)\n"
    "    --status               print the status of the link running on PATH and exit\n"
    "    -h, --help             this text\n"
    "    --version              the version\n"
    "\n"
    "OUTPUT\n"
    "    One line per event on standard output (connecting, logged in, session limit, voice on/off,\n"
    "    why a session ended and when the next attempt is due; with --voice the call's phases:\n"
    "    calling, ringing, connected, encrypted, ended and why). On a terminal a status line below\n"
    "    them shows the user, the session time (of the limit), the voice report and the call.\n"
    "\n"
    "FILES\n"
    "    PATH          symlink to the pseudo-terminal (removed when the link stops)\n"
    "    PATH.status   the link's status as key=value lines (state, station, user, port,\n"
    "                  session-elapsed and session-limit in seconds, voice, encryption,\n"
    "                  fingerprint, last-ending, and\n"
    "                  with --voice call, call-note, call-encryption, call-codec, ...)\n"
    "    PATH.lock     held while the link runs\n"
    "    PATH.voice/   with --voice, the SIP engine's own files (its DTLS key, its call history)\n"
    "    known-stations  beside PATH: with --tls and no --fingerprint, one line per station,\n"
    "                  \"HOST:PORT FINGERPRINT\" (lines starting with # are comments)\n"
    "\n"
    "EXIT STATUS\n"
    "    0  stopped by Ctrl-C, SIGTERM or SIGHUP\n"
    "    1  could not start (terminal, symlink, port), the other end is not a station, the TLS\n"
    "       handshake failed, or the station's certificate was refused\n"
    "    2  bad command line or password source\n"
    "    3  the station refused the login (wrong user id or password, user disabled)\n"
    "    4  the station's session limit ended the session\n";

namespace {

// A port number from `lowest` to 65535, in decimal digits only.
std::optional<unsigned> Port(const std::string& text, unsigned lowest)
{
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const unsigned long port = std::stoul(text);
    if (port < lowest || port > 65535)
        return std::nullopt;
    return static_cast<unsigned>(port);
}

// "host", "host:port", "[v6 address]" or "[v6 address]:port".
bool ParseStation(const std::string& text, LinkOptions& o, std::string& error)
{
    std::string host = text, port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':')) {
            error = "bad station address " + text + " (an IPv6 address goes in brackets: [::1]:50000)";
            return false;
        }
        host = text.substr(1, close - 1);
        if (close + 1 < text.size())
            port = text.substr(close + 2);
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        const std::size_t colon = text.find(':');
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) {
            error = "no port after the ':' in " + text;
            return false;
        }
    }
    if (host.empty() || std::any_of(host.begin(), host.end(), [](unsigned char c) { return c <= ' ' || c == 0x7F; })) {
        error = "bad station host \"" + host + "\"";
        return false;
    }
    o.host = host;
    if (!port.empty()) {
        const auto number = Port(port, 1);
        if (!number) {
            error = "bad station port \"" + port + "\" (1 to 65535)";
            return false;
        }
        o.port = *number;
    }
    return true;
}

// Options without a value, each setting one member.
struct Switch {
    const char* name;
    bool LinkOptions::*member;
};
constexpr Switch kSwitches[] = {
    {"--session-clock", &LinkOptions::sessionClock},
    {"--keep-trying", &LinkOptions::keepTrying},
    {"--voice", &LinkOptions::voice},
    {"--audio-devices", &LinkOptions::audioDevices},
    {"--tls", &LinkOptions::tls},
};

// Options taking a port number, with the lowest they accept.
struct PortOption {
    const char* name;
    unsigned lowest;
    unsigned LinkOptions::*member;
};
constexpr PortOption kPortOptions[] = {
    {"--tcp-port", 0, &LinkOptions::tcpPort},
    {"--sip-port", 1, &LinkOptions::sipPort},
};

constexpr std::string_view kTlsScheme = "tls://";

// What the options say together: voice's options only with --voice, one station, a valid user id.
bool CheckTogether(LinkOptions& o, const std::vector<std::string>& positional, bool sipPortGiven, std::string& error)
{
    if (!o.voice && (sipPortGiven || o.audioDevices)) {
        error = std::string(sipPortGiven ? "--sip-port" : "--audio-devices") + " goes with --voice";
        return false;
    }
    if (o.action == LinkOptions::Action::Status) {
        if (!positional.empty())
            error = "--status takes no station";
        return positional.empty();
    }
    if (positional.size() != 1) {
        error = positional.empty() ? "which station? (HOST[:PORT])" : "one station only, not " + positional[1];
        return false;
    }
    std::string station = positional[0];
    if (station.rfind(kTlsScheme, 0) == 0) {
        station.erase(0, kTlsScheme.size());
        o.tls = true;
    }
    if (o.fingerprint && !o.tls) {
        error = "--fingerprint goes with --tls (or a tls:// station address)";
        return false;
    }
    if (o.tls)
        o.port = kDefaultTlsPort;
    if (!ParseStation(station, o, error))
        return false;
    if (o.user.empty()) {
        error = "--user is missing";
        return false;
    }
    if (!LoginDialogue::IsValidLogin(o.user)) {
        error = "the user id must be 1 to 32 characters from '!' to DEL (0x21..0x7F), without ';'";
        return false;
    }
    return true;
}

}  // namespace

std::optional<LinkOptions> ParseOptions(const std::vector<std::string>& arguments, std::string& error)
{
    LinkOptions o;
    bool passwordGiven = false;
    bool sipPortGiven = false;
    std::vector<std::string> positional;
    auto setPassword = [&](PasswordSource source) {
        if (passwordGiven) {
            error = "--password-stdin and --password-file exclude each other";
            return false;
        }
        passwordGiven = true;
        o.password = std::move(source);
        return true;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string a = arguments[i];
        std::optional<std::string> inlineValue;
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            inlineValue = a.substr(a.find('=') + 1);
            a = a.substr(0, a.find('='));
        }
        // The option's value: after its '=' or the next argument.
        auto take = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 >= arguments.size()) {
                error = a + " needs a value";
                return std::nullopt;
            }
            return arguments[++i];
        };
        const auto isSwitch = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                           [&](const Switch& s) { return a == s.name; });
        const auto portOption = std::find_if(std::begin(kPortOptions), std::end(kPortOptions),
                                             [&](const PortOption& p) { return a == p.name; });
        // Anything that looks like a password option is refused without being echoed.
        if (a != "--password-stdin" && a != "--password-file" && (a.rfind("--pass", 0) == 0 || a.rfind("-p", 0) == 0)) {
            error = "a password is never taken from the command line, where other users can see it; let the link "
                    "ask for it, or use --password-stdin or --password-file";
            return std::nullopt;
        } else if (a == "-h" || a == "--help") {
            o.action = LinkOptions::Action::Help;
            return o;
        } else if (a == "--version") {
            o.action = LinkOptions::Action::Version;
            return o;
        } else if (a == "--status") {
            o.action = LinkOptions::Action::Status;
        } else if (isSwitch != std::end(kSwitches)) {
            o.*(isSwitch->member) = true;
        } else if (portOption != std::end(kPortOptions)) {
            const auto v = take();
            if (!v)
                return std::nullopt;
            const auto port = Port(*v, portOption->lowest);
            if (!port) {
                error = "bad " + a + " \"" + *v + "\" (" + std::to_string(portOption->lowest) + " to 65535)";
                return std::nullopt;
            }
            o.*(portOption->member) = *port;
            if (portOption->member == &LinkOptions::tcpPort)
                o.useTcp = true;  // the raw stream on a TCP port instead of the terminal
            else
                sipPortGiven = true;
        } else if (a == "-u" || a == "--user") {
            const auto v = take();
            if (!v)
                return std::nullopt;
            o.user = *v;
        } else if (a == "--password-stdin") {
            if (!setPassword({PasswordSource::Kind::Stdin, {}}))
                return std::nullopt;
        } else if (a == "--password-file") {
            const auto v = take();
            if (!v || !setPassword({PasswordSource::Kind::File, *v}))
                return std::nullopt;
        } else if (a == "--fingerprint") {
            const auto v = take();
            if (!v)
                return std::nullopt;
            o.fingerprint = ParseFingerprint(*v);
            if (!o.fingerprint) {
                error = "bad --fingerprint \"" + *v +
                        "\" (the certificate's SHA-256: 32 hex pairs, colons and a leading SHA256: optional)";
                return std::nullopt;
            }
        } else if (a == "--link") {
            const auto v = take();
            if (!v)
                return std::nullopt;
            if (v->empty()) {
                error = "--link needs a path";
                return std::nullopt;
            }
            o.linkPath = *v;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    if (!CheckTogether(o, positional, sipPortGiven, error))
        return std::nullopt;
    return o;
}

}  // namespace quintar::link
