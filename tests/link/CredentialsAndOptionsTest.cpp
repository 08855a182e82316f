// Where the password may come from (and where not), the password file's ownership and mode
// checks, and the command line's checks.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "Credentials.h"
#include "LinkOptions.h"
#include "TestSupport.h"

namespace linktest {
namespace {

using quintar::link::LinkOptions;
using quintar::link::ParseOptions;
using quintar::link::PasswordSource;
using quintar::link::ReadPassword;
using quintar::link::ReadPasswordFile;

class PasswordFile : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& content, mode_t mode)
    {
        const std::string path = (dir.Path() / name).string();
        std::ofstream(path, std::ios::binary) << content;
        ::chmod(path.c_str(), mode);
        return path;
    }
    testsupport::TempDir dir;
    std::string error;
};

TEST_F(PasswordFile, takesTheFirstLineOfAFileOnlyItsOwnerCanRead)
{
    EXPECT_EQ(ReadPasswordFile(Write("a", "s3cret\nsecond line\n", 0600), error), "s3cret") << error;
    EXPECT_EQ(ReadPasswordFile(Write("b", "s3cret\r\n", 0400), error), "s3cret") << error;
    EXPECT_EQ(ReadPasswordFile(Write("c", "s3cret", 0600), error), "s3cret") << error;
}

TEST_F(PasswordFile, refusesAFileOthersCanReadOrChange)
{
    for (mode_t mode : {0640, 0604, 0620, 0602, 0666}) {
        SCOPED_TRACE(mode);
        const std::string path = Write("open", "s3cret\n", mode);
        EXPECT_FALSE(ReadPasswordFile(path, error));
        char shown[8];
        std::snprintf(shown, sizeof shown, "%04o", static_cast<unsigned>(mode));
        EXPECT_NE(error.find(std::string("mode is ") + shown), std::string::npos) << error;
        EXPECT_NE(error.find("chmod 600"), std::string::npos) << error;
        EXPECT_EQ(error.find("s3cret"), std::string::npos) << "the refusal shows the password: " << error;
    }
}

TEST_F(PasswordFile, refusesAFileOfAnotherUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file away";
    const std::string path = Write("theirs", "s3cret\n", 0600);
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ReadPasswordFile(path, error));
    EXPECT_NE(error.find("belongs to another user (uid 65534)"), std::string::npos) << error;
}

TEST_F(PasswordFile, refusesWhatIsNoRegularFileWithoutHanging)
{
    EXPECT_FALSE(ReadPasswordFile(dir.Path().string(), error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;

    const std::string fifo = (dir.Path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadPasswordFile(fifo, error));  // would block for ever if opened for a read
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;

    EXPECT_FALSE(ReadPasswordFile((dir.Path() / "missing").string(), error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;

    EXPECT_FALSE(ReadPasswordFile(Write("empty", "", 0600), error));
    EXPECT_NE(error.find("is empty"), std::string::npos) << error;
}

TEST_F(PasswordFile, standardInputGivesOneLine)
{
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ASSERT_EQ(::write(pipeFds[1], "pw1\r\nnext\n", 10), 10);
    ::close(pipeFds[1]);
    const int savedStdin = ::dup(STDIN_FILENO);
    ::dup2(pipeFds[0], STDIN_FILENO);
    ::close(pipeFds[0]);
    const auto password = ReadPassword({PasswordSource::Kind::Stdin, {}}, "", error);
    const auto second = ReadPassword({PasswordSource::Kind::Stdin, {}}, "", error);
    const auto none = ReadPassword({PasswordSource::Kind::Stdin, {}}, "", error);
    ::dup2(savedStdin, STDIN_FILENO);
    ::close(savedStdin);
    EXPECT_EQ(password, "pw1");
    EXPECT_EQ(second, "next");
    EXPECT_FALSE(none);
    EXPECT_EQ(error, "no password on standard input");
}

std::optional<LinkOptions> Parse(std::vector<std::string> args, std::string& error)
{
    return ParseOptions(args, error);
}

TEST(Options, neverTakeAPasswordFromTheCommandLineNorRepeatIt)
{
    std::string error;
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"--user", "op1", "--password", "hunter22", "host"},
             {"--user", "op1", "--password=hunter22", "host"},
             {"--user", "op1", "-phunter22", "host"},
             {"--user", "op1", "--passwd", "hunter22", "host"}}) {
        SCOPED_TRACE(args[2]);
        EXPECT_FALSE(Parse(args, error));
        EXPECT_NE(error.find("never taken from the command line"), std::string::npos) << error;
        EXPECT_EQ(error.find("hunter22"), std::string::npos) << error;
    }
}

TEST(Options, readTheStationAddressWithItsDefaultPort)
{
    std::string error;
    auto o = Parse({"-u", "op1", "station.example"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->host, "station.example");
    EXPECT_EQ(o->port, 50000u);
    EXPECT_EQ(o->password.kind, PasswordSource::Kind::Terminal);

    o = Parse({"--user=op1", "192.0.2.7:50123", "--password-file", "/home/op/pw", "--session-clock"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->host, "192.0.2.7");
    EXPECT_EQ(o->port, 50123u);
    EXPECT_EQ(o->password.kind, PasswordSource::Kind::File);
    EXPECT_EQ(o->password.file, "/home/op/pw");
    EXPECT_TRUE(o->sessionClock);

    o = Parse({"-u", "op1", "[::1]:7000"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->host, "::1");
    EXPECT_EQ(o->port, 7000u);

    o = Parse({"-u", "op1", "--tcp-port", "0", "h"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->useTcp);
    EXPECT_EQ(o->tcpPort, 0u);
    EXPECT_FALSE(o->voice);

    // Voice calls the station's default SIP port unless told otherwise.
    o = Parse({"-u", "op1", "--voice", "h"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->voice);
    EXPECT_EQ(o->sipPort, 5060u);
    EXPECT_FALSE(o->audioDevices);
    for (const char* port : {"1", "65535"}) {
        o = Parse({"-u", "op1", "--voice", "--audio-devices", "--sip-port", port, "h"}, error);
        ASSERT_TRUE(o) << error;
        EXPECT_EQ(o->sipPort, std::stoul(port));
        EXPECT_TRUE(o->audioDevices);
    }
}

TEST(Options, takeTlsByOptionOrAddressWithItsOwnDefaultPortAndAPin)
{
    const std::string pin = std::string(62, 'a') + "0f";
    struct Case {
        std::vector<std::string> args;
        std::string host;
        unsigned port;
        bool tls;
        bool pinned;
    };
    const Case cases[] = {
        {{"-u", "op1", "h"}, "h", 50000, false, false},
        {{"-u", "op1", "--tls", "h"}, "h", 50001, true, false},
        {{"-u", "op1", "tls://h"}, "h", 50001, true, false},
        {{"-u", "op1", "tls://[::1]:6000", "--fingerprint", pin}, "::1", 6000, true, true},
        {{"-u", "op1", "--tls", "--fingerprint=SHA256:" + pin, "h:7000"}, "h", 7000, true, true},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto o = Parse(c.args, error);
        ASSERT_TRUE(o) << error;
        EXPECT_EQ(o->host, c.host);
        EXPECT_EQ(o->port, c.port);
        EXPECT_EQ(o->tls, c.tls);
        EXPECT_EQ(o->fingerprint.has_value(), c.pinned);
        if (c.pinned) {
            EXPECT_EQ(o->fingerprint->substr(o->fingerprint->size() - 5), "AA:0F");
        }
    }
}

TEST(Options, refuseWhatCannotWork)
{
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"-u", "op1", "host:0"}, "bad station port"},
        {{"-u", "op1", "host:65536"}, "bad station port"},
        {{"-u", "op1", "host:"}, "no port after"},
        {{"-u", "op1", "[::1"}, "bad station address"},
        {{"-u", "op1"}, "which station?"},
        {{"-u", "op1", "a", "b"}, "one station only"},
        {{"host"}, "--user is missing"},
        {{"-u", std::string(33, 'x'), "host"}, "1 to 32 characters"},
        {{"-u", "a;b", "host"}, "1 to 32 characters"},
        {{"-u", "op1", "--password-stdin", "--password-file", "f", "host"}, "exclude each other"},
        {{"-u", "op1", "--tcp-port", "65536", "host"}, "bad --tcp-port"},
        {{"-u", "op1", "--tcp-port", "x", "host"}, "bad --tcp-port"},
        {{"-u", "op1", "--link", "", "host"}, "--link needs a path"},
        {{"-u", "op1", "--voice", "--sip-port", "0", "host"}, "bad --sip-port"},
        {{"-u", "op1", "--voice", "--sip-port", "65536", "host"}, "bad --sip-port"},
        {{"-u", "op1", "--voice", "--sip-port", "5o60", "host"}, "bad --sip-port"},
        {{"-u", "op1", "--sip-port", "5070", "host"}, "--sip-port goes with --voice"},
        {{"-u", "op1", "--audio-devices", "host"}, "--audio-devices goes with --voice"},
        {{"-u", "op1", "--frobnicate", "host"}, "unknown option --frobnicate"},
        {{"-u"}, "-u needs a value"},
        {{"--status", "host"}, "--status takes no station"},
        {{"-u", "op1", "--fingerprint", std::string(95, 'A'), "host"}, "bad --fingerprint"},
        {{"-u", "op1", "--fingerprint", std::string(64, 'A'), "host"}, "--fingerprint goes with --tls"},
        {{"-u", "op1", "--tls", "tls://host:0"}, "bad station port"},
    };
    for (const Case& c : cases) {
        std::string error;
        SCOPED_TRACE(c.says);
        EXPECT_FALSE(Parse(c.args, error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace linktest
