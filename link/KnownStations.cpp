// Fingerprint text, the known-stations file and the trust decision. The file is read without
// following a link and replaced whole under a fresh name, as the status file is.
#include "KnownStations.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <sstream>

#include "LinkStatus.h"

namespace quintar::link {

namespace {

constexpr std::size_t kDigestBytes = 32;
constexpr char kHex[] = "0123456789ABCDEF";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// "host:port" or "[v6]:port", with a port from 1 to 65535.
bool IsStationKey(const std::string& key)
{
    const std::size_t colon = key.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == key.size() || key.size() - colon > 6)
        return false;
    const std::string port = key.substr(colon + 1);
    if (!std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    const unsigned long number = std::stoul(port);
    if (number < 1 || number > 65535)
        return false;
    const std::string host = key.substr(0, colon);
    if (host.find(':') != std::string::npos)
        return host.size() > 2 && host.front() == '[' && host.back() == ']';
    return true;
}

// Held while a link reads the file and adds its first contact: two links meeting new stations at
// the same moment would otherwise each replace the file with only their own line. The lock is on
// the folder, since the file itself is replaced under a new name. Without it (a folder that cannot
// be opened) the link goes on as before.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

}  // namespace

std::optional<std::string> ParseFingerprint(std::string_view text)
{
    if (text.size() >= 7 && Lower(std::string(text.substr(0, 7))) == "sha256:")
        text.remove_prefix(7);
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        } else if (c != ':' || i % 3 != 2) {
            return std::nullopt;  // colons only between pairs
        }
    }
    const bool colons = text.find(':') != std::string_view::npos;
    if (digits.size() != kDigestBytes * 2 || (colons && text.size() != kDigestBytes * 3 - 1))
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out += (i ? ":" : "") + digits.substr(i, 2);
    return out;
}

std::string FingerprintOf(const unsigned char* digest, std::size_t size)
{
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        if (i)
            out += ':';
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0xF];
    }
    return out;
}

std::string KnownStationsFileOf(const std::string& linkPath)
{
    return FolderOf(linkPath) + "/known-stations";
}

std::string KnownStations::Key(const std::string& host, unsigned port)
{
    const bool v6 = host.find(':') != std::string::npos;
    return Lower(v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<KnownStations> KnownStations::Parse(const std::string& text, const std::string& file,
                                                  std::string& error)
{
    KnownStations k;
    k.text_ = text;
    std::istringstream in(text);
    std::string line;
    unsigned number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        std::istringstream fields(line);
        std::string station, fingerprint, more;
        fields >> station >> fingerprint >> more;
        const auto parsed = ParseFingerprint(fingerprint);
        if (fingerprint.empty() || !more.empty() || !IsStationKey(station) || !parsed) {
            error = file + " line " + std::to_string(number) +
                    " is not \"HOST:PORT FINGERPRINT\" (a SHA-256 fingerprint, 32 hex pairs): " + line +
                    "; correct or remove that line";
            return std::nullopt;
        }
        station = Lower(station);
        if (k.Find(station)) {
            error = file + " line " + std::to_string(number) + " names " + station +
                    " a second time; remove one of its lines";
            return std::nullopt;
        }
        k.entries_.push_back({station, *parsed, number});
    }
    return k;
}

std::optional<KnownStations> KnownStations::Load(const std::string& file, std::string& error)
{
    std::string text;
    if (!ReadOwnFile(file, text, error))
        return std::nullopt;
    return Parse(text, file, error);
}

const KnownStations::Entry* KnownStations::Find(const std::string& station) const
{
    const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.station == station; });
    return it == entries_.end() ? nullptr : &*it;
}

std::string KnownStations::WithAdded(const std::string& station, const std::string& fingerprint) const
{
    std::string text = text_;
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    return text + station + " " + fingerprint + "\n";
}

TrustDecision DecideTrust(const std::string& host, unsigned port, const std::string& presented,
                          const std::optional<std::string>& pinned, const std::string& file)
{
    TrustDecision d;
    if (pinned) {
        d.trusted = *pinned == presented;
        if (!d.trusted)
            d.refusal = "the station's certificate does not match --fingerprint: expected " + *pinned +
                        ", the station presented " + presented;
        return d;
    }
    const FolderLock lock(FolderOf(file));
    std::string error;
    const std::optional<KnownStations> known = KnownStations::Load(file, error);
    if (!known) {
        d.refusal = "cannot check the station's certificate: " + error;
        return d;
    }
    const std::string key = KnownStations::Key(host, port);
    if (const KnownStations::Entry* e = known->Find(key)) {
        d.trusted = e->fingerprint == presented;
        if (!d.trusted)
            d.refusal = "the station's certificate has CHANGED: " + key + " presented " + presented + ", but " +
                        file + " line " + std::to_string(e->line) + " holds " + e->fingerprint +
                        "; if the station made a new key, edit or remove that line (or give --fingerprint)";
        return d;
    }
    d.trusted = true;
    if (WriteFileAtomically(file, known->WithAdded(key, presented), &error))
        d.event = "new station " + key + ", fingerprint " + presented + ", stored in " + file;
    else
        d.event = "new station " + key + ", fingerprint " + presented + ", NOT stored (" + error + ")";
    return d;
}

}  // namespace quintar::link
