// The station's TLS port through the real host process: a session inside TLS, the start report's
// fingerprint, the plain port switched off, bad input on either port ending that connection only,
// the throttle across both ports, the start refused without usable keys, and `quintar setup tls`.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>

#include <QSysInfo>

#include "HeadlessFixture.h"
#include "SettingsModel.h"
#include "TlsSessionClient.h"

namespace stationtest {
namespace {

using quintar::settings::Id;
using quintar::settings::MakeEntry;
using testsupport::TlsSessionClient;

// A raw TCP connection from `source` (127.x); -1 when refused.
int RawConnect(unsigned port, const char* source = "127.0.0.1")
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// True when the server closes `fd` within timeoutMs (what it sent before is dropped).
bool ClosedByServer(int fd, int timeoutMs)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char buffer[512];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno == ECONNRESET))
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

std::string LineOf(const std::string& text, const std::string& start)
{
    const auto at = text.find(start);
    return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
}

class TlsStation : public Headless {
protected:
    void SetUp() override
    {
        Headless::SetUp();
        settings.users = {{"op1", "pw1", "", 0}};
        tlsPort = FreeTcpPort();
        while (tlsPort == static_cast<unsigned>(settings.tcpPort))
            tlsPort = FreeTcpPort();
    }
    // Runs `quintar setup --profile <file> args...`; its exit status.
    int RunSetup(QStringList args)
    {
        args = QStringList{"setup", "--profile", QString::fromStdString(profileFile.string())} + args;
        setup = std::make_unique<Program>(args);
        EXPECT_TRUE(setup->Run());
        return setup->ExitStatus();
    }
    // The host's command line on a profile with TLS on `tlsPort` (keys made unless `makeKeys` is
    // false) and the plain port on or off.
    QStringList TlsArguments(bool plain = true, bool makeKeys = true)
    {
        QStringList a = Arguments();
        if (makeKeys) {
            EXPECT_EQ(RunSetup({"tls"}), 0) << setup->Err();
        }
        EXPECT_TRUE(profile->Write({MakeEntry(Id::Tls, 1), MakeEntry(Id::TlsPort, static_cast<int>(tlsPort)),
                                    MakeEntry(Id::Plain, plain ? 1 : 0)}));
        return a;
    }
    ::testing::AssertionResult ServingTls(Program& host)
    {
        if (auto serving = Serving(host); !serving)
            return serving;
        if (!host.WaitForOutput("TLS port " + std::to_string(tlsPort) + ", certificate SHA-256 ", 5000))
            return ::testing::AssertionFailure() << "no TLS line: " << host.Out();
        return ::testing::AssertionSuccess();
    }
    // A TLS client from `source` logs in and reads the frequency.
    ::testing::AssertionResult ServedOverTls(const char* source = "127.0.0.1")
    {
        TlsSessionClient client;
        client.SetSourceAddress(source);
        if (!client.Connect(tlsPort, 10000))
            return ::testing::AssertionFailure() << client.LastError();
        if (!client.LogIn("op1", "pw1", 10000) || !client.Send("FA;") || !client.ReadUntil("FA00014074000;", 5000))
            return ::testing::AssertionFailure() << "received: " << client.Received();
        return ::testing::AssertionSuccess();
    }
    unsigned tlsPort = 0;
    std::unique_ptr<Program> setup;
};

TEST_F(TlsStation, sessionInsideTlsBesideThePlainPortWithTheFingerprintReported)
{
    StartRadio();
    Program host(TlsArguments(), Environment());
    ASSERT_TRUE(ServingTls(host));
    const std::string printed = setup->Out().substr(setup->Out().find("fingerprint ") + 12, 95);
    EXPECT_EQ(LineOf(host.Out(), "TLS port "),
              "TLS port " + std::to_string(tlsPort) + ", certificate SHA-256 " + printed);

    TlsSessionClient tls;
    ASSERT_TRUE(tls.Connect(tlsPort, 10000)) << tls.LastError();
    EXPECT_EQ(tls.PeerFingerprint(), printed);
    ASSERT_TRUE(tls.LogIn("op1", "pw1", 10000)) << tls.Received();
    ASSERT_TRUE(tls.Send("FA;"));
    EXPECT_TRUE(tls.ReadUntil("FA00014074000;", 5000)) << tls.Received();
    tls.Close();
    ASSERT_TRUE(PumpUntil([&] { return Log().find("CLOSE op1 Connection Close") != std::string::npos; }, 5000));

    Client plain;  // the plain port serves as before, its lines unchanged
    ASSERT_TRUE(LogIn(plain));
    plain.Close();
    ASSERT_TRUE(PumpUntil([&] { return Count(Log(), "CLOSE op1 Connection Close") == 2; }, 5000));
    const std::string log = Log();
    EXPECT_EQ(Count(log, LogEntry("127.0.0.1 OPEN - Connection Open (TLS)")), 1u) << log;
    EXPECT_EQ(Count(log, LogEntry("127.0.0.1 OPEN - Connection Open")), 1u) << log;
    EXPECT_EQ(Count(log, LogEntry("127.0.0.1 LOGIN op1 Password OK.")), 2u) << log;
    EXPECT_EQ(Count(log, LogEntry("- START - Successful COM1, Socket:" + std::to_string(settings.tcpPort) + ".")), 1u);
    EXPECT_TRUE(StoppedBySigterm(host));
}

TEST_F(TlsStation, plainPortSwitchedOffRefusesConnectionsWhileTlsServes)
{
    StartRadio();
    Program host(TlsArguments(false), Environment());
    ASSERT_TRUE(ServingTls(host));
    EXPECT_EQ(RawConnect(static_cast<unsigned>(settings.tcpPort)), -1);
    EXPECT_TRUE(ServedOverTls());
    EXPECT_TRUE(StoppedBySigterm(host));
}

struct BadInput {
    const char* name;
    // Does the harm on a connection of its own, which the station must end with `line` logged;
    // returns a connection to hold open until the next client is served, or -1.
    std::function<int(unsigned plainPort, unsigned tlsPort)> harm;
    const char* line;
    const char* nextFrom;  // where the next client comes from
};

class BadTlsInput : public TlsStation, public ::testing::WithParamInterface<BadInput> {};

TEST_P(BadTlsInput, endsThatConnectionOnlyWithOneLineAndTheNextClientIsServed)
{
    StartRadio();
    Program host(TlsArguments(), Environment());
    ASSERT_TRUE(ServingTls(host));
    const int held = GetParam().harm(static_cast<unsigned>(settings.tcpPort), tlsPort);
    EXPECT_TRUE(ServedOverTls(GetParam().nextFrom));
    if (held >= 0) {
        EXPECT_TRUE(ClosedByServer(held, 5000));
        close(held);
    }
    ASSERT_TRUE(PumpUntil([&] { return Log().find("LOGIN op1 Password OK.") != std::string::npos; }, 5000));
    const std::string log = Log();
    if (GetParam().line[0]) {
        EXPECT_EQ(Count(log, LogEntry(std::string("127.0.0.1 ") + GetParam().line)), 1u) << log;
    }
    // The bad connection ended with its close line before the next one opened.
    EXPECT_LT(log.find("127.0.0.1 CLOSE - Connection Close"), log.find("LOGIN op1 Password OK.")) << log;
    EXPECT_TRUE(StoppedBySigterm(host));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadTlsInput,
    ::testing::Values(
        BadInput{"clearTextOnTheTlsPort",
                 [](unsigned, unsigned tls) {
                     const int fd = RawConnect(tls);
                     EXPECT_GT(send(fd, "UID:op1;PWD:pw1;\r\n", 18, MSG_NOSIGNAL), 0);
                     EXPECT_TRUE(ClosedByServer(fd, 10000));
                     close(fd);
                     return -1;
                 },
                 "TLS - Handshake Failed", "127.0.0.1"},
        BadInput{"tlsClientOnThePlainPort",
                 [](unsigned plain, unsigned) {
                     TlsSessionClient client;  // takes the clear greeting for a bad record and leaves
                     EXPECT_FALSE(client.Connect(plain, 10000));
                     return -1;
                 },
                 "OPEN - Connection Open", "127.0.0.1"},
        BadInput{"garbageRecordsAfterTheHandshake",
                 [](unsigned, unsigned tls) {
                     TlsSessionClient client;
                     EXPECT_TRUE(client.Connect(tls, 10000)) << client.LastError();
                     EXPECT_TRUE(client.ReadUntil(">", 5000));
                     // An application-data record whose bytes no key made.
                     const std::string record = std::string("\x17\x03\x03\x00\x20", 5) + std::string(32, '\x5a');
                     EXPECT_GT(send(client.Fd(), record.data(), record.size(), MSG_NOSIGNAL), 0);
                     EXPECT_TRUE(ClosedByServer(client.Fd(), 10000));
                     return -1;
                 },
                 "TLS - Bad Record", "127.0.0.1"},
        BadInput{"handshakeThatDripsGivesWayToANewcomer",
                 [](unsigned, unsigned tls) {
                     // The start of a client hello, then silence: the station keeps serving, and
                     // the dripping connection gives way as any that tries no password does.
                     const int fd = RawConnect(tls);
                     EXPECT_GT(send(fd, "\x16\x03\x01", 3, MSG_NOSIGNAL), 0);
                     return fd;
                 },
                 "", "127.0.0.2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TlsStation, throttleCountsWrongPasswordsAcrossBothPorts)
{
    StartRadio();
    Program host(TlsArguments(), Environment());
    ASSERT_TRUE(ServingTls(host));
    auto guess = [](auto& client, int times) {
        for (int i = 0; i < times; ++i)
            if (!client.Send("PWD:wrong;") || !client.ReadUntil("PWD:NG;", 5000))
                return false;
        return true;
    };
    // 2 on the plain port, 2 over TLS, then the fifth on the plain port blocks the address.
    for (int round = 0; round < 3; ++round) {
        const int guesses = round < 2 ? 2 : 1;
        if (round == 1) {
            TlsSessionClient tls;
            ASSERT_TRUE(tls.Connect(tlsPort, 10000)) << tls.LastError();
            ASSERT_TRUE(tls.Send("UID:op1;") && tls.ReadUntil("UID:OK;", 5000));
            ASSERT_TRUE(guess(tls, guesses)) << tls.Received();
        } else {
            Client plain;
            ASSERT_TRUE(plain.Connect(static_cast<unsigned>(settings.tcpPort), 5000));
            ASSERT_TRUE(plain.Send("UID:op1;") && plain.ReadUntil("UID:OK;", 5000));
            ASSERT_TRUE(guess(plain, guesses)) << plain.Received();
        }
        ASSERT_TRUE(PumpUntil([&] { return Count(Log(), "CLOSE op1 Connection Close") == static_cast<std::size_t>(round + 1); }, 5000))
            << Log();
    }
    EXPECT_TRUE(PumpUntil([&] { return Count(Log(), "LOGIN - Too many failed logins, connections refused for 30 seconds.") == 1; }, 5000))
        << Log();
    TlsSessionClient refused;  // the block holds on the TLS port too: closed before any greeting
    EXPECT_TRUE(!refused.Connect(tlsPort, 10000) || !refused.ReadUntil(">", 3000));
    EXPECT_TRUE(StoppedBySigterm(host));
}

struct StartRefusal {
    const char* name;
    bool plain;
    bool makeKeys;
    bool breakKey;  // the key replaced by one of another certificate
    std::vector<std::string> said;
};

class TlsStartRefusal : public TlsStation, public ::testing::WithParamInterface<StartRefusal> {};

TEST_P(TlsStartRefusal, namesTheReasonAndWhatToRunAndExits1)
{
    const StartRefusal& c = GetParam();
    StartRadio();
    QStringList args = TlsArguments(c.plain, c.makeKeys);
    const std::string keyFile = (dir.Path() / "Quintar.tls.key").string();
    if (c.breakKey) {
        Program other({"setup", "--profile", QString::fromStdString((dir.Path() / "other.ini").string()), "tls"});
        ASSERT_TRUE(other.Run());
        std::filesystem::copy_file(dir.Path() / "other.tls.key", keyFile, std::filesystem::copy_options::overwrite_existing);
    }
    if (!c.makeKeys && !c.plain) {
        ASSERT_TRUE(profile->Write({MakeEntry(Id::Tls, 0)}));
    }
    Program host(args, Environment());
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.WaitForExit(15000)) << host.Err();
    EXPECT_EQ(host.ExitStatus(), 1);
    for (const std::string& text : c.said)
        EXPECT_NE(host.Err().find(text), std::string::npos) << text << " not in: " << host.Err();
    EXPECT_EQ(RawConnect(static_cast<unsigned>(settings.tcpPort)), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TlsStartRefusal,
    ::testing::Values(StartRefusal{"noKeys", true, false, false, {"Quintar.tls.crt", "run: quintar setup tls"}},
                      StartRefusal{"keyOfAnotherCertificate", true, true, true,
                                   {"Quintar.tls.key", "does not belong", "run: quintar setup tls"}},
                      StartRefusal{"plainAndTlsBothOff", false, false, false,
                                   {"\"VEXA Plain\"", "\"VEXA TLS\"", "are both off"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- quintar setup tls ----

class SetupTls : public TlsStation {
public:
    std::filesystem::path Cert() const { return dir.Path() / "Quintar.tls.crt"; }
    std::filesystem::path Key() const { return dir.Path() / "Quintar.tls.key"; }
    std::string Printed() const
    {
        const std::string out = setup->Out();
        const auto at = out.find("fingerprint ");
        return at == std::string::npos ? std::string() : out.substr(at + 12, out.find('\n', at) - at - 12);
    }
    // What the openssl program says the certificate's fingerprint is.
    static std::string OpensslFingerprint(const std::filesystem::path& cert)
    {
        Program openssl(testsupport::FindOnPath("openssl"),
                        {"x509", "-noout", "-fingerprint", "-sha256", "-in", QString::fromStdString(cert.string())});
        EXPECT_TRUE(openssl.Run());
        const std::string out = openssl.Out();
        const auto at = out.find('=');
        return at == std::string::npos ? std::string() : out.substr(at + 1, out.find('\n') - at - 1);
    }
    // A key and certificate made by the openssl program, as an operator's own would be.
    std::pair<std::filesystem::path, std::filesystem::path> OwnPair(const std::string& name)
    {
        const auto cert = dir.Path() / (name + ".crt"), key = dir.Path() / (name + ".key");
        Program openssl(testsupport::FindOnPath("openssl"),
                        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-subj",
                         "/CN=" + QString::fromStdString(name), "-days", "2", "-keyout",
                         QString::fromStdString(key.string()), "-out", QString::fromStdString(cert.string())});
        EXPECT_TRUE(openssl.Run());
        EXPECT_EQ(openssl.ExitStatus(), 0) << openssl.Err();
        return {cert, key};
    }
};

TEST_F(SetupTls, makesPrivateKeysOnceKeepsThemAndRenewsOnRequest)
{
    ASSERT_EQ(RunSetup({"tls"}), 0) << setup->Err();
    const std::string made = Printed();
    EXPECT_EQ(made.size(), 95u) << setup->Out();
    EXPECT_EQ(made, OpensslFingerprint(Cert()));
    EXPECT_EQ(FileMode(Cert()), 0600u);
    EXPECT_EQ(FileMode(Key()), 0600u);
    const auto keyBytes = FileBytes(Key());
    // Named for this computer in the subject and, as clients look for it, in the subjectAltName.
    Program names(testsupport::FindOnPath("openssl"), {"x509", "-noout", "-subject", "-ext", "subjectAltName", "-in",
                                                      QString::fromStdString(Cert().string())});
    ASSERT_TRUE(names.Run());
    const std::string host = QSysInfo::machineHostName().toStdString();
    EXPECT_NE(names.Out().find("CN = " + host), std::string::npos) << names.Out();
    EXPECT_NE(names.Out().find("DNS:" + host), std::string::npos) << names.Out();

    ASSERT_EQ(RunSetup({"tls"}), 0) << setup->Err();
    EXPECT_EQ(Printed(), made);
    EXPECT_NE(setup->Out().find("kept "), std::string::npos);
    EXPECT_EQ(FileBytes(Key()), keyBytes);

    ASSERT_EQ(RunSetup({"show"}), 0);
    EXPECT_NE(setup->Out().find("tls           on, port 50001"), std::string::npos)  // the default: tcp-port + 1
        << setup->Out();
    EXPECT_NE(setup->Out().find("(fingerprint " + made + ")"), std::string::npos) << setup->Out();

    ASSERT_EQ(RunSetup({"tls", "--renew"}), 0) << setup->Err();
    EXPECT_NE(Printed(), made);
    EXPECT_EQ(Printed(), OpensslFingerprint(Cert()));
    EXPECT_EQ(FileMode(Key()), 0600u);
}

TEST_F(SetupTls, copiesAGivenMatchingPairIn)
{
    const auto [cert, key] = OwnPair("own");
    ASSERT_EQ(RunSetup({"tls", "--cert", QString::fromStdString(cert.string()), "--key",
                        QString::fromStdString(key.string())}), 0) << setup->Err();
    EXPECT_EQ(Printed(), OpensslFingerprint(cert));
    EXPECT_EQ(FileBytes(Cert()), FileBytes(cert));
    EXPECT_EQ(FileBytes(Key()), FileBytes(key));
    EXPECT_EQ(FileMode(Key()), 0600u);
}

struct SetupRefusal {
    const char* name;
    std::function<QStringList(SetupTls&)> prepare;  // returns the arguments after "tls"
    const char* reason;
};

class SetupTlsRefusal : public SetupTls, public ::testing::WithParamInterface<SetupRefusal> {};

TEST_P(SetupTlsRefusal, refusesWithStatus2AndLeavesEverythingAsItWas)
{
    const QStringList args = GetParam().prepare(*this);
    ASSERT_EQ(RunSetup(QStringList{"tls"} + args), 2) << setup->Out();
    EXPECT_NE(setup->Err().find(GetParam().reason), std::string::npos) << setup->Err();
    EXPECT_FALSE(std::filesystem::exists(Cert()) && std::filesystem::is_regular_file(std::filesystem::symlink_status(Cert())));
    EXPECT_FALSE(std::filesystem::exists(profileFile));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetupTlsRefusal,
    ::testing::Values(
        SetupRefusal{"mismatchedPair",
                     [](SetupTls& t) {
                         const auto a = t.OwnPair("a");
                         const auto b = t.OwnPair("b");
                         return QStringList{"--cert", QString::fromStdString(a.first.string()), "--key",
                                            QString::fromStdString(b.second.string())};
                     },
                     "the key does not belong to the certificate"},
        SetupRefusal{"symlinkAtTheKey",
                     [](SetupTls& t) {
                         const auto elsewhere = t.Key().parent_path() / "elsewhere";
                         std::ofstream(elsewhere) << "x";
                         std::filesystem::create_symlink(elsewhere, t.Key());
                         return QStringList{};
                     },
                     "is a symbolic link"},
        SetupRefusal{"certWithoutKey", [](SetupTls&) { return QStringList{"--cert", "/dev/null"}; }, "usage:"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace stationtest
