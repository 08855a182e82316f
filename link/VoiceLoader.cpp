// Loading the link's voice library by name: search order, entry points, interface version.
#include "VoiceLoader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace quintar::link {

std::vector<std::string> VoiceCandidates()
{
    std::vector<std::string> candidates;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path folder = self.parent_path();
        candidates.push_back((folder / kVoiceLibrary).string());
        candidates.push_back((folder / QUINTAR_BIN_TO_PRIVATE_LIBDIR / kVoiceLibrary).lexically_normal().string());
    }
    candidates.emplace_back(kVoiceLibrary);
    return candidates;
}

VoiceModule LoadVoice(const std::vector<std::string>& candidates)
{
    VoiceModule module;
    for (const std::string& candidate : candidates) {
        std::error_code error;
        if (candidate.find('/') != std::string::npos && !std::filesystem::exists(candidate, error))
            continue;
        void* library = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            // The first real failure (a missing SIP engine) says more than a later "not found";
            // the bare name not found by the system's search is that.
            const char* said = ::dlerror();
            const std::string why = said ? said : candidate + ": cannot be loaded";
            const bool absent = candidate.find('/') == std::string::npos &&
                                why.rfind(candidate + ": cannot open shared object file", 0) == 0;
            if (module.reason.empty() && !absent)
                module.reason = why;
            continue;
        }
        const auto version = reinterpret_cast<VoiceAbiVersionFn>(::dlsym(library, kVoiceAbiVersionSymbol));
        const auto create = reinterpret_cast<VoiceCreateFn>(::dlsym(library, kVoiceCreateSymbol));
        if (!version || !create) {
            module.reason = candidate + ": not the link's voice library (no entry point)";
            ::dlclose(library);
            continue;
        }
        if (version() != kVoiceAbiVersion) {
            module.reason = candidate + ": interface version " + std::to_string(version()) + ", expected " +
                            std::to_string(kVoiceAbiVersion);
            ::dlclose(library);
            continue;
        }
        char path[PATH_MAX] = {};
        Dl_info info{};
        if (::dladdr(reinterpret_cast<void*>(create), &info) != 0 && info.dli_fname)
            std::snprintf(path, sizeof path, "%s", info.dli_fname);
        return {create, path[0] ? path : candidate, {}};
    }
    if (module.reason.empty())
        module.reason = std::string(kVoiceLibrary) + " is not installed";
    return module;
}

}  // namespace quintar::link
