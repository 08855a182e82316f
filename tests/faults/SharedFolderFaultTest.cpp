// The access log in a folder that other users can write, with the host run as an account of its
// own ("nobody"; the test is the other user): at today's file name the other user puts a link to
// a file of the host's account, then a file of its own, then a FIFO. The host writes through none,
// waits on none, alerts for each lost entry, serves on and ends on SIGTERM; at start it says that
// others can write the folder.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "FaultSupport.h"

namespace faulttest {
namespace {

class SharedFolder : public stationtest::Headless {
protected:
    bool ServeOneClient()
    {
        Client client;
        const bool served = client.Connect(static_cast<unsigned>(settings.tcpPort), 5000) &&
                            client.LogIn("op1", "pw1", 5000) && client.Send("FA;") &&
                            client.ReadUntil("FA00014074000;", 5000);
        client.Close();
        return served;
    }
};

TEST_F(SharedFolder, logFileNamePlantedByAnotherUserIsNeverWrittenThroughOrWaitedOn)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to run the host as another account (nobody) than the one planting files";
    settings.users = {{"op1", "pw1", "", 0}};
    StartRadio();
    const QStringList arguments = Arguments();
    // A start-up file of the host's account, which a write through the link would extend.
    const std::filesystem::path home = dir.Path() / "home";
    std::filesystem::create_directory(home);
    const std::filesystem::path startup = home / ".profile";
    const std::string text = "PATH=/usr/bin:/bin\n";
    std::ofstream(startup) << text;
    Program host(arguments, Environment());
    RunUnprivileged(host, {dir.Path(), profileFile, logFolder, radio->SlavePath(), home, startup});
    ASSERT_EQ(::chmod(logFolder.c_str(), 0777), 0);
    const std::filesystem::path day = logFolder / LogFileName();
    std::filesystem::create_symlink(startup, day);

    ASSERT_TRUE(Serving(host));
    EXPECT_NE(host.Err().find("quintar: the access log folder " + logFolder.string() +
                              " can be written by other users (mode 0777"),
              std::string::npos)
        << host.Err();
    const std::string alert = "quintar: VEXA Log:File Open Error!! (cannot open " + day.string() + ": ";
    EXPECT_TRUE(ServeOneClient());
    EXPECT_TRUE(PumpUntil([&] { return Count(host.Err(), alert + "it is a symbolic link)\n") >= 4; }, 10000))
        << "start, open, login and close are lost: " << host.Err();
    EXPECT_EQ(stationtest::FileBytes(startup), text);

    // A file of the other user's own, writable by all.
    std::filesystem::remove(day);
    std::ofstream(day) << "";
    ASSERT_EQ(::chmod(day.c_str(), 0666), 0);
    EXPECT_TRUE(ServeOneClient());
    EXPECT_TRUE(PumpUntil([&] { return Count(host.Err(), alert + "it belongs to another user)\n") >= 3; }, 10000))
        << host.Err();
    EXPECT_EQ(std::filesystem::file_size(day), 0u);

    // A FIFO nobody reads: opening it for writing would wait for a reader for ever.
    std::filesystem::remove(day);
    ASSERT_EQ(::mkfifo(day.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(day.c_str(), 0666), 0);
    EXPECT_TRUE(ServeOneClient());
    EXPECT_TRUE(PumpUntil([&] { return Count(host.Err(), alert + "it is not a regular file)\n") >= 3; }, 10000))
        << host.Err();
    host.Signal(SIGTERM);
    ASSERT_TRUE(host.WaitForExit(15000)) << "the stop's END line must not wait on the FIFO";
    EXPECT_EQ(host.ExitStatus(), 0);
    EXPECT_EQ(stationtest::FileBytes(startup), text);
}

}  // namespace
}  // namespace faulttest
