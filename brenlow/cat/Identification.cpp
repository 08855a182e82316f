// Radio identification: the identity query "ID;", the accessor that reports a supported identity,
// and the names of the twenty models the radio's ID answer can announce.
#include <cstring>
#include <string_view>

#include "Brenlow.h"
#include "Models.h"
#include "RadioState.h"

namespace {

// By identity, 1 to 20.
constexpr std::string_view kModelNames[] = {
    "Eddrin",   "Fenmarch",  "Glasswyn",  "Hollick",  "Ivering", "Jorvane",   "Kestrow", "Lumbrey",  "Marrowby", "Norcaster",
    "Oakhollow", "Pennard",  "Quillon",   "Rosemere", "Selwick", "Thornavel", "Ulverby", "Vantrey",  "Dunmore",  "Corrin",
};
constexpr std::size_t kModelCount = sizeof kModelNames / sizeof kModelNames[0];
constexpr std::size_t kHostNameBuffer = 25;

constexpr bool NamesFitHostBuffer() {
    for (std::string_view n : kModelNames)
        if (n.size() + 1 > kHostNameBuffer) return false;
    return true;
}
static_assert(kModelCount == 20 && NamesFitHostBuffer(), "model names: twenty, each fitting the host's 25 bytes");
static_assert(kModelNames[brenlow::kDunmore - 1] == "Dunmore" && kModelNames[brenlow::kCorrin - 1] == "Corrin");

}  // namespace

// The identity is unknown from the query until its answer is parsed; every encoder but this one
// and TC refuses meanwhile.
int CBrenlow::ConnID() {
    brenlow::RadioState& s = brenlow::State();
    if (!s.comPortOpen.load() || s.terminalMode.load()) return 0;
    {
        std::scoped_lock g(s.cacheLock);
        s.cache[brenlow::Answer::ID].valid = 0;
        s.modelId = 0;
    }
    return brenlow::WriteRadio(s, "ID;");
}

int CBrenlow::RcvDataID(unsigned* id) {
    if (!id) return 0;
    *id = 0;
    brenlow::RadioState& s = brenlow::State();
    std::scoped_lock g(s.cacheLock);
    const std::uint32_t model = s.modelId.load();
    if ((model != brenlow::kDunmore && model != brenlow::kCorrin) || s.cache[brenlow::Answer::ID].valid != 1) return 0;
    *id = model;
    return 1;
}

int CBrenlow::GetRadioName(unsigned id, unsigned char* name) {
    if (!name) return 0;
    if (id < 1 || id > kModelCount) {
        std::memset(name, 0, 4);
        return 0;
    }
    std::string_view n = kModelNames[id - 1];
    std::memcpy(name, n.data(), n.size());
    name[n.size()] = '\0';
    return 1;
}
