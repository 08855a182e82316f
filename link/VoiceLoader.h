// Finds and loads the link's voice library at run time (dlopen), so that the link builds, installs
// and runs without the SIP engine: voice is then unavailable, with a one-line reason.
#pragma once

#include <string>
#include <vector>

#include "VoiceEngine.h"

namespace quintar::link {

struct VoiceModule {
    VoiceCreateFn create = nullptr;  // null: voice unavailable
    std::string path;                // the file that was loaded
    std::string reason;              // one line, when create is null
    explicit operator bool() const { return create != nullptr; }
};

// The places looked at, in order: the running program's folder, the private library folder found
// from it (bin/../lib/<arch>/quintar when installed; the build tree keeps the same layout), then
// the bare name, which the system's library search resolves.
std::vector<std::string> VoiceCandidates();

// Tries the candidates in order (a path that does not exist is skipped); the first that loads and
// has the entry points of this interface version wins. The library stays loaded.
VoiceModule LoadVoice(const std::vector<std::string>& candidates);

}  // namespace quintar::link
