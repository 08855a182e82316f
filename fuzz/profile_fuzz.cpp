// Fuzz target: the station's profile loader (SettingsProfile) on a real file of arbitrary INI text.
// Properties besides the sanitizers':
//  - a file that is not a profile is never changed, and a write to it fails;
//  - a write that fails leaves the file as it was and says why;
//  - on a profile, every key reads the same twice (the loader is deterministic);
//  - a write that reports success leaves a file that is still a profile (the host can start on it
//    again), reads back as written and changes no other key, wherever Qt's own INI writer, saving
//    the same change, keeps the values (it cannot keep some that broken quoting makes).
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QSettings>

#include "FuzzSupport.h"
#include "SettingKeys.h"
#include "SettingsProfile.h"

using fuzzsupport::Fail;
using fuzzsupport::Shown;
using quintar::SettingsProfile;

namespace {

struct KeyRef {
    std::string section, key;
    bool isInt;
};

std::vector<KeyRef> AllKeys() {
    using namespace brenlow::server;
    std::vector<KeyRef> keys;
    for (const KeyRow& row : kKeys) {
        // Four user slots stand for all ten: every slot's keys are handled alike.
        const int slotCount = row.form == KeyForm::VexaSlot ? 4 : 1;
        for (int slot = 0; slot < slotCount; ++slot)
            keys.push_back({row.section, KeyName(row.key, slot), row.type == KeyType::Int});
    }
    for (int port = 1; port <= 3; ++port) keys.push_back({"Ports", "COM" + std::to_string(port), false});
    return keys;
}

const std::vector<KeyRef> kAllKeys = AllKeys();
std::filesystem::path folder, file;
unsigned long saves = 0;

std::string FileBytes() {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Every key's text as the host reads it, and as Qt's own reader gives it (a list joined with ","
// as the loader does).
std::vector<std::string> ReadAll(SettingsProfile& p) {
    std::vector<std::string> r;
    for (const KeyRef& k : kAllKeys) r.push_back(p.GetString(k.section, k.key, "\x01none"));
    return r;
}

std::vector<std::string> QtReadAll(const QString& path) {
    QSettings settings(path, QSettings::IniFormat);
    std::vector<std::string> r;
    for (const KeyRef& k : kAllKeys) {
        const QVariant v = settings.value(QString::fromStdString(k.section + "/" + k.key));
        r.push_back(!v.isValid() ? std::string("\x01none")
                    : v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(',')).toStdString()
                                                           : v.toString().toStdString());
    }
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // In memory where there is such a folder: each save syncs the file and its folder.
    std::string name = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    name += "/quintar-fuzz-profile-XXXXXX";
    if (!mkdtemp(name.data())) Fail("set-up", "no folder");
    folder = name;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const KeyRef& target = kAllKeys[in.ConsumeIntegralInRange<std::size_t>(0, kAllKeys.size() - 1)];
    // What the host and the library write: numbers, and texts of printable characters.
    std::string value = in.ConsumeRandomLengthString(40);
    for (char& c : value)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '_';
    const int number = in.ConsumeIntegral<int>();
    // A text file: NUL bytes are a corruption of another kind, and Qt's INI reader keeps no
    // value across them.
    std::string text = in.ConsumeRemainingBytesAsString();
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    // A path of its own for each input: Qt keeps what it read of a path and trusts it while the
    // file's size and time look the same, and two inputs a millisecond apart can look the same.
    if (!file.empty()) std::filesystem::remove(file);
    file = folder / ("Quintar-" + std::to_string(++saves) + ".ini");
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
    }

    SettingsProfile profile(QString::fromStdString(file.string()));
    const SettingsProfile::Inspection found = profile.Inspect();
    const std::string context = "profile " + Shown(text, 2000);
    if (found.kind != SettingsProfile::Kind::Profile) {
        if (profile.WriteString(target.section, target.key, value))
            Fail("a file that is not a profile is not written", context);
        if (FileBytes() != text) Fail("a file that is not a profile is never changed", context);
        return 0;
    }

    const std::vector<std::string> before = ReadAll(profile);
    const std::string number_text = std::to_string(number);
    const std::string& written_text = target.isInt ? number_text : value;
    const std::size_t at = static_cast<std::size_t>(&target - kAllKeys.data());

    // The same change saved by Qt itself on a copy: what Qt cannot save (it reports the "#" lines
    // the loader accepts as format errors) or cannot keep (NUL bytes, broken quoting) is Qt's limit.
    const QString copy = QString::fromStdString(file.string() + ".qt");
    std::filesystem::copy_file(file, copy.toStdString(), std::filesystem::copy_options::overwrite_existing);
    bool qtSaves;
    {
        QSettings settings(copy, QSettings::IniFormat);
        const QString key = QString::fromStdString(target.section + "/" + target.key);
        if (target.isInt)
            settings.setValue(key, number);
        else
            settings.setValue(key, QString::fromStdString(value));
        settings.sync();
        qtSaves = settings.status() == QSettings::NoError;
    }
    // Read from a path Qt has not seen: a QSettings of the copy's own path would be answered from
    // the writer's memory, not from what it wrote.
    const QString fresh = QString::fromStdString(file.string() + ".qt." + std::to_string(++saves));
    std::filesystem::rename(copy.toStdString(), fresh.toStdString());
    const std::vector<std::string> qtAfter = QtReadAll(fresh);
    std::filesystem::remove(fresh.toStdString());

    const bool written = target.isInt ? profile.WriteInt(target.section, target.key, number)
                                      : profile.WriteString(target.section, target.key, value);
    // Qt reports some files it reads as format errors only when it saves them ("#" lines, which
    // the loader takes for comments, among them); the loader then refuses the save.
    if (!written) {
        if (FileBytes() != text) Fail("a write that fails leaves the file as it was", context);
        if (profile.LastError().isEmpty()) Fail("a failed write says why", context);
        return 0;
    }
    const std::string saved = FileBytes();
    const std::string what = context + "\nwrote " + target.section + "/" + target.key + " = " + Shown(written_text) +
                             "\nsaved " + Shown(saved, 2000);
    if (profile.Inspect().kind != SettingsProfile::Kind::Profile) Fail("a saved profile is still a profile", what);

    const std::vector<std::string> after = ReadAll(profile);
    if (!qtSaves) return 0;
    if (after[at] != written_text && qtAfter[at] == written_text)
        Fail("a written value reads back", what + "\nread " + Shown(after[at]));
    if (target.isInt && qtAfter[at] == written_text && profile.GetInt(target.section, target.key, -7) != number)
        Fail("a written number reads back", what);
    for (std::size_t i = 0; i < kAllKeys.size(); ++i) {
        if (i == at || after[i] == before[i] || qtAfter[i] != before[i]) continue;
        Fail("a write changes no other key", what + "\n" + kAllKeys[i].section + "/" + kAllKeys[i].key + " was " +
                                                 Shown(before[i]) + " now " + Shown(after[i]));
    }
    return 0;
}
