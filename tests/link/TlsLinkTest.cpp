// The link over TLS, run as a process against a scripted TLS station on 127.0.0.1: a pinned or
// first-seen certificate carries the session both ways; a wrong, changed or unreadable trust refuses
// before any byte of the login leaves; a clear-text station is never fallen back to.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>

#include <fstream>
#include <latch>
#include <sstream>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "KnownStations.h"
#include "LinkTestSupport.h"
#include "TestSupport.h"
#include "TlsTestSupport.h"

namespace linktest {
namespace {

using quintar::link::DecideTrust;
using quintar::link::KnownStations;
using quintar::link::ParseFingerprint;
using testsupport::ChildProcess;

constexpr int kPatienceMs = 15000;

TEST(Fingerprints, areTakenInEveryUsualSpellingAndNothingElse)
{
    const std::string canonical = "0A:1B:2C:3D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9:0A:1B:2C:3D:4E:5F:60:71:82:93:A4:"
                                  "B5:C6:D7:E8:F9";
    std::string bare;
    for (char c : canonical)
        if (c != ':')
            bare += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& spelling : {canonical, bare, "SHA256:" + canonical, "sha256:" + bare})
        EXPECT_EQ(ParseFingerprint(spelling), canonical) << spelling;
    for (const std::string& bad : {std::string(), canonical.substr(3), canonical + ":00", bare + "0",
                                   "0A1B:" + canonical.substr(6), "MD5:" + canonical, canonical.substr(0, 94) + "G",
                                   " " + canonical})
        EXPECT_FALSE(ParseFingerprint(bad)) << bad;
}

TEST(KnownStationsFile, namesTheFileAndLineOfWhatIsMalformed)
{
    const std::string fp(64, 'b');
    struct Case {
        std::string text;
        std::string says;
    };
    const Case cases[] = {
        {"# mine\nh:1 " + fp + "\nh:2\n", "f line 3 is not"},
        {"h:1 " + fp + " extra\n", "f line 1 is not"},
        {"h:0 " + fp + "\n", "f line 1 is not"},
        {"h " + fp + "\n", "f line 1 is not"},
        {"::1:5 " + fp + "\n", "f line 1 is not"},
        {"h:1 " + fp.substr(2) + "\n", "f line 1 is not"},
        {"H:1 " + fp + "\n\nh:1 " + fp + "\n", "f line 3 names h:1 a second time"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(KnownStations::Parse(c.text, "f", error)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    std::string error;
    const auto good = KnownStations::Parse("  # comment\r\n\n[::1]:7 SHA256:" + fp + "\r\nHost:50001 " + fp + "\n", "f", error);
    ASSERT_TRUE(good) << error;
    ASSERT_TRUE(good->Find("host:50001"));
    EXPECT_EQ(good->Find("host:50001")->line, 4u);
    EXPECT_EQ(good->Find(KnownStations::Key("::1", 7))->fingerprint, *ParseFingerprint(fp));
}

// Links meeting new stations at the same moment each add their line; none replaces another's.
TEST(KnownStationsFile, keepsEveryFirstContactOfLinksStoringAtOnce)
{
    constexpr int kLinks = 12;
    const std::string fingerprint = *ParseFingerprint(std::string(64, 'c'));
    for (int round = 0; round < 4; ++round) {
        testsupport::TempDir dir;
        const std::string file = (dir.Path() / "known-stations").string();
        std::latch start(kLinks);
        std::vector<std::jthread> links;
        for (int i = 0; i < kLinks; ++i)
            links.emplace_back([&, i] {
                start.arrive_and_wait();
                EXPECT_TRUE(DecideTrust("station" + std::to_string(i), 50001, fingerprint, std::nullopt, file).trusted);
            });
        links.clear();
        std::string error;
        const auto known = KnownStations::Load(file, error);
        ASSERT_TRUE(known) << error;
        for (int i = 0; i < kLinks; ++i)
            EXPECT_TRUE(known->Find(KnownStations::Key("station" + std::to_string(i), 50001))) << "round " << round << ", station " << i;
    }
}

// A link process with --tls against 127.0.0.1:port, its state in a folder of the test's own.
class TlsLink : public ::testing::Test {
protected:
    // The scripted station writes to links that may have closed already; that must not end the test.
    TlsLink() { ::signal(SIGPIPE, SIG_IGN); }

    std::string LinkPath() const { return (dir_.Path() / "radio").string(); }
    std::string KnownFile() const { return (dir_.Path() / "known-stations").string(); }
    std::string Station(unsigned port) const { return "127.0.0.1:" + std::to_string(port); }

    std::unique_ptr<ChildProcess> StartLink(std::vector<std::string> extra, const std::string& station)
    {
        std::vector<std::string> args = {"--link", LinkPath(), "-u", "op1", "--password-stdin"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(station);
        auto link = std::make_unique<ChildProcess>(QUINTAR_LINK_PROGRAM, args);
        EXPECT_TRUE(link->Start());
        link->Write("pw1\n");
        link->CloseInput();
        return link;
    }

    // The link ends by itself with `status`; its output (standard output and error) is returned.
    std::string Ended(ChildProcess& link, int status)
    {
        EXPECT_TRUE(link.WaitForExit(kPatienceMs)) << link.Out();
        EXPECT_EQ(link.ExitStatus(), status) << link.Out() << link.Err();
        return link.Out() + link.Err();
    }

    // A connection the link makes and refuses: it closes after the handshake, having sent nothing.
    void ExpectRefusedWithoutLogin(TlsStation& station)
    {
        auto peer = station.Accept(kPatienceMs);
        ASSERT_TRUE(peer);
        peer->Write(Greeting());
        EXPECT_TRUE(peer->WaitClosed(kPatienceMs));
        EXPECT_EQ(peer->Received(), "");
    }

    static std::string Read(const std::string& file)
    {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    testsupport::TempDir dir_;
    const StationCertificate first_ = MakeStationCertificate(dir_.Path(), "station");
    const StationCertificate renewed_ = MakeStationCertificate(dir_.Path(), "renewed");
};

TEST_F(TlsLink, carriesTheSessionBothWaysWithThePinnedCertificateAndSaysSoInItsStatus)
{
    TlsStation station(first_);
    auto link = StartLink({"--fingerprint", "sha256:" + first_.fingerprint}, "tls://" + Station(station.Port()));
    auto peer = station.Accept(kPatienceMs);
    ASSERT_TRUE(peer) << link->Out() << link->Err();
    ASSERT_TRUE(peer->Write(Greeting()));
    ASSERT_TRUE(peer->WaitFor("UID:op1;PWD:pw1;", kPatienceMs)) << peer->Received();
    ASSERT_TRUE(peer->Write("\r\nUID:OK;\r\n>PWD:OK;>@@UE1;"));
    ASSERT_TRUE(link->WaitForOutput("logged in to " + Station(station.Port()) + " as op1", kPatienceMs))
        << link->Out();
    EXPECT_NE(link->Out().find("station certificate " + first_.fingerprint), std::string::npos) << link->Out();

    Program program(LinkPath());
    ASSERT_TRUE(program.Ok());
    ASSERT_TRUE(program.Write("FA;"));
    ASSERT_TRUE(peer->WaitFor("FA;", kPatienceMs)) << peer->Received();
    ASSERT_TRUE(peer->Write("FA00014074000;"));
    EXPECT_NE(program.ReadUntil("FA00014074000;", kPatienceMs).find("FA00014074000;"), std::string::npos);

    ChildProcess status(QUINTAR_LINK_PROGRAM, {"--status", "--link", LinkPath()});
    ASSERT_TRUE(status.Run());
    EXPECT_NE(status.Out().find("security: encrypted (TLSv1.3 TLS_"), std::string::npos) << status.Out();
    EXPECT_NE(status.Out().find("station certificate: SHA256 " + first_.fingerprint), std::string::npos)
        << status.Out();
    // A pinned certificate is not written down anywhere.
    EXPECT_EQ(Read(KnownFile()), "");
    link->Signal(SIGTERM);
    EXPECT_TRUE(link->WaitForExit(kPatienceMs));
    EXPECT_EQ(link->ExitStatus(), 0);
}

TEST_F(TlsLink, trustsOnFirstUseStoresTheStationAndRefusesAChangedCertificate)
{
    TlsStation station(first_);
    const std::string key = Station(station.Port());
    {
        auto link = StartLink({"--tls"}, key);
        auto peer = station.Accept(kPatienceMs);
        ASSERT_TRUE(peer) << link->Out() << link->Err();
        ASSERT_TRUE(peer->Write(Greeting()));
        ASSERT_TRUE(peer->WaitFor("UID:op1;PWD:pw1;", kPatienceMs));
        EXPECT_NE(link->Out().find("new station " + key + ", fingerprint " + first_.fingerprint + ", stored in " +
                                   KnownFile()),
                  std::string::npos)
            << link->Out();
        link->Signal(SIGTERM);
        EXPECT_TRUE(link->WaitForExit(kPatienceMs));
    }
    EXPECT_EQ(Read(KnownFile()), key + " " + first_.fingerprint + "\n");
    struct stat st {};
    ASSERT_EQ(::stat(KnownFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The same certificate again: known, nothing stored anew.
    {
        auto link = StartLink({"--tls"}, key);
        auto peer = station.Accept(kPatienceMs);
        ASSERT_TRUE(peer);
        ASSERT_TRUE(peer->Write(Greeting()));
        ASSERT_TRUE(peer->WaitFor("UID:op1;PWD:pw1;", kPatienceMs));
        EXPECT_EQ(link->Out().find("new station"), std::string::npos) << link->Out();
        link->Signal(SIGTERM);
        EXPECT_TRUE(link->WaitForExit(kPatienceMs));
    }

    // A new key at the same address: refused, the file left as it was, not even --keep-trying retries.
    station.UseCertificate(renewed_);
    auto link = StartLink({"--tls", "--keep-trying"}, key);
    ExpectRefusedWithoutLogin(station);
    const std::string out = Ended(*link, 1);
    EXPECT_NE(out.find("certificate has CHANGED: " + key + " presented " + renewed_.fingerprint + ", but " + KnownFile() +
                       " line 1 holds " + first_.fingerprint),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("; not trying again"), std::string::npos) << out;
    EXPECT_EQ(Read(KnownFile()), key + " " + first_.fingerprint + "\n");
}

TEST_F(TlsLink, refusesAWrongPinBeforeTheLoginAndAStationWithoutTls)
{
    TlsStation station(first_);
    auto pinned = StartLink({"--tls", "--fingerprint", renewed_.fingerprint}, Station(station.Port()));
    ExpectRefusedWithoutLogin(station);
    const std::string out = Ended(*pinned, 1);
    EXPECT_NE(out.find("does not match --fingerprint: expected " + renewed_.fingerprint +
                       ", the station presented " + first_.fingerprint),
              std::string::npos)
        << out;

    // A clear-text station greets at once; the link takes that for no TLS and stops there.
    FakeStation plain;
    auto link = StartLink({}, "tls://" + Station(plain.Port()));
    auto peer = plain.Accept(kPatienceMs);
    ASSERT_TRUE(peer);
    peer->Write(Greeting());
    EXPECT_TRUE(peer->WaitClosed(kPatienceMs));
    const std::string said = Ended(*link, 1);
    EXPECT_NE(said.find("the TLS handshake failed"), std::string::npos) << said;
    EXPECT_EQ(said.find("(attempt 2)"), std::string::npos) << said;
    EXPECT_EQ(peer->Received().find("UID:"), std::string::npos);
    EXPECT_EQ(plain.Accept(0), nullptr);
}

TEST_F(TlsLink, reportsAMalformedKnownStationsFileAndLeavesItAlone)
{
    const std::string text = "127.0.0.1:50001 " + first_.fingerprint + "\n127.0.0.1:5 not-a-fingerprint\n";
    std::ofstream(KnownFile()) << text;
    auto link = StartLink({"--tls"}, "127.0.0.1:1");
    const std::string out = Ended(*link, 1);
    EXPECT_NE(out.find(KnownFile() + " line 2 is not \"HOST:PORT FINGERPRINT\""), std::string::npos) << out;
    EXPECT_EQ(Read(KnownFile()), text);
}

TEST_F(TlsLink, takesAPinOnlyWithTls)
{
    auto link = StartLink({"--fingerprint", first_.fingerprint}, "127.0.0.1:1");
    const std::string out = Ended(*link, 2);
    EXPECT_NE(out.find("--fingerprint goes with --tls"), std::string::npos) << out;
}

}  // namespace
}  // namespace linktest
