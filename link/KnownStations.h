// Whom the link trusts over TLS: a fingerprint given on the command line, or the one it stored on
// first contact in the known-stations file ("HOST:PORT FINGERPRINT" lines) in its private state
// folder. A certificate that differs is refused, never stored over.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quintar::link {

// A certificate fingerprint in its one written form: 32 upper-case hex pairs joined by colons. Taken
// in any case, with or without the colons, with or without a leading "SHA256:"; nothing else.
std::optional<std::string> ParseFingerprint(std::string_view text);
// The SHA-256 fingerprint of a certificate's DER bytes, in that form.
std::string FingerprintOf(const unsigned char* digest, std::size_t size);

// The known-stations file of the link whose path is `linkPath`: beside its status file.
std::string KnownStationsFileOf(const std::string& linkPath);

class KnownStations {
public:
    struct Entry {
        std::string station;      // "host:port", host in lower case
        std::string fingerprint;  // ParseFingerprint's form
        unsigned line = 0;
    };

    // The file's content; nothing with `error` naming the file and line when a line is malformed.
    // Empty lines and lines starting with '#' are kept as they are.
    static std::optional<KnownStations> Parse(const std::string& text, const std::string& file, std::string& error);
    // Reads `file` (none there: empty) without following a link.
    static std::optional<KnownStations> Load(const std::string& file, std::string& error);

    const Entry* Find(const std::string& station) const;
    // The file's text with a line for `station` added at the end.
    std::string WithAdded(const std::string& station, const std::string& fingerprint) const;

    // "host:port" as the file keys it.
    static std::string Key(const std::string& host, unsigned port);

private:
    std::string text_;
    std::vector<Entry> entries_;
};

// The trust decision on a station's certificate once the handshake is done.
struct TrustDecision {
    bool trusted = false;
    std::string event;    // trusted: a line to show (first contact), or empty
    std::string refusal;  // not trusted: why, naming both fingerprints and what to do
};
// With `pinned`, the certificate must match it; without, the known-stations `file` decides, and a
// station not in it yet is added (trust on first use).
TrustDecision DecideTrust(const std::string& host, unsigned port, const std::string& presented,
                          const std::optional<std::string>& pinned, const std::string& file);

}  // namespace quintar::link
