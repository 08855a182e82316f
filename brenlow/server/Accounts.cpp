// User accounts and the voice setting on the application profile: key names from the key table,
// the user lookup shared by the account operations, and the host's voice-capability hook.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "Brenlow.h"
#include "SettingKeys.h"
#include "RadioState.h"

namespace brenlow::server {

std::string KeyName(Key key, int slot) {
    const KeyRow& row = Row(key);
    char name[96];
    switch (row.form) {
    case KeyForm::Plain: return row.word;
    case KeyForm::Vexa: std::snprintf(name, sizeof name, "%s %s", kVexa, row.word); break;
    case KeyForm::VexaSlot: std::snprintf(name, sizeof name, "%s %03d %s", kVexa, slot, row.word); break;
    }
    return name;
}

int ReadInt(Key key, int slot) {
    const KeyRow& row = Row(key);
    Profile* p = State().profile.load();
    return p ? p->GetInt(row.section, KeyName(key, slot), row.intDefault) : row.intDefault;
}

std::string ReadString(Key key, int slot) {
    const KeyRow& row = Row(key);
    Profile* p = State().profile.load();
    return p ? p->GetString(row.section, KeyName(key, slot), row.textDefault) : std::string(row.textDefault);
}

bool WriteInt(Key key, int value, int slot) {
    Profile* p = State().profile.load();
    return p && p->WriteInt(Row(key).section, KeyName(key, slot), value);
}

bool WriteString(Key key, const std::string& value, int slot) {
    Profile* p = State().profile.load();
    return p && p->WriteString(Row(key).section, KeyName(key, slot), value);
}

std::optional<int> FindUser(const char* userId) {
    if (!userId) return std::nullopt;
    for (int slot = 0; slot < kUserSlots; ++slot) {
        std::string id = ReadString(Key::UserId, slot);
        if (!id.empty() && id == userId) return slot;
    }
    return std::nullopt;
}

}  // namespace brenlow::server

namespace {

using namespace brenlow::server;

// Takes the same time wherever the texts differ, so a wrong password's reply time tells nothing
// about how much of it was right.
bool SameSecret(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() > b.size() ? a.size() : b.size();
    std::size_t diff = a.size() ^ b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        diff |= static_cast<std::size_t>(x ^ y);
    }
    return diff == 0;
}

// Whether this machine can carry the voice channel; the host sets it, none means "cannot".
std::atomic<int (*)()> voiceCapable{nullptr};

}  // namespace

int CBrenlow::CheckVexaUserPassword(const char* userId, const char* password) {
    auto slot = FindUser(userId);
    if (!slot || !password) return 0;
    return SameSecret(ReadString(Key::Password, *slot), password) ? 1 : 0;
}

int CBrenlow::ChangeUserPassword(const char* userId, const char* newPassword) {
    auto slot = FindUser(userId);
    if (!slot || !newPassword) return 0;
    // A password that could not be saved must not be reported as changed.
    return WriteString(Key::Password, newPassword, *slot) ? 1 : 0;
}

int CBrenlow::GetUserDisabled(const char* userId) {
    auto slot = FindUser(userId);
    return slot && ReadInt(Key::UserDisabled, *slot) != 0 ? 1 : 0;
}

int CBrenlow::GetUserDescription(const char* userId, char* description) {
    if (!description) return 0;
    std::memset(description, 0, 4);
    auto slot = FindUser(userId);
    if (!slot) return 0;
    // The caller's buffer holds the longest description the user editor allows; a longer one
    // written into the profile by other means is cut there.
    std::string text = ReadString(Key::Description, *slot);
    std::snprintf(description, kMaxDescription + 1, "%s", text.c_str());
    return 1;
}

int CBrenlow::GetVoiceEnable() {
    if (ReadInt(Key::Voice) == 0) return 0;
    int (*check)() = voiceCapable.load();
    return check && check() ? 1 : 0;
}

void CBrenlow::SetVoiceCapabilityCheck(int (*check)()) { voiceCapable = check; }
