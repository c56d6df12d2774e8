/* Certificate fingerprints as administrators write them (openssl's line,
 * plain hex, either case, with blanks), the texts that are not one, and
 * the start-up line of each server's certificate mode. */
#include "agent/certfingerprint.h"
#include "agent/agentparams.h"
#include "support/scratchlog.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>

namespace {

const char kUpper[] = "CA:40:6E:90:3D:E2:B1:42:4D:B7:F0:D2:A4:6C:1D:DF:70:CE:8C:AD:DE:86:F6:B3:06:AB:44:E7:35:50:81:D2";
const char kPlain[] = "ca406e903de2b1424db7f0d2a46c1ddf70ce8caddE86F6B306ab44e7355081d2";

void setText(char **slot, const char *text)
{
    free(*slot);
    *slot = text ? _strdup(text) : NULL;
}

} // namespace

TEST(CertFingerprint, ReadsEveryWrittenFormAndNothingElse)
{
    struct FingerprintCase {
        const char *text;
        bool ok;
    };
    const std::string spaced = std::string(" ") + kUpper + "\t\r\n";
    const std::string blanks = "ca40 6e90 3de2 b142 4db7 f0d2 a46c 1ddf 70ce 8cad de86 f6b3 06ab 44e7 3550 81d2";
    const std::string openssl3 = std::string("sha256 Fingerprint=") + kUpper;
    const std::string openssl1 = std::string("SHA256 Fingerprint=") + kUpper;
    const std::string shortOne = std::string(kPlain).substr(0, 62);
    const std::string longOne = std::string(kPlain) + "00";
    const std::string odd = std::string(kPlain) + "0";
    const std::string letter = std::string(kPlain).substr(0, 63) + "g";
    const std::string sha1 = "A9:99:3E:36:47:06:81:6A:BA:3E:25:71:78:50:C2:6C:9C:D0:D8:9D";
    const FingerprintCase cases[] = {
        {kUpper, true},           {kPlain, true},          {spaced.c_str(), true},
        {blanks.c_str(), true},   {openssl3.c_str(), true}, {openssl1.c_str(), true},
        {"", false},              {shortOne.c_str(), false}, {longOne.c_str(), false},
        {odd.c_str(), false},     {letter.c_str(), false},  {sha1.c_str(), false},
        {"0x" "ca406e903de2b1424db7f0d2a46c1ddf70ce8cadde86f6b306ab44e7355081", false},
    };
    for (const FingerprintCase &c : cases) {
        BYTE hash[VQ_CERT_HASH_BYTES];
        memset(hash, 0xEE, sizeof(hash));
        ASSERT_EQ(ParseCertFingerprint(c.text, hash) != FALSE, c.ok) << c.text;
        if (!c.ok)
            continue;
        char text[VQ_CERT_HASH_TEXT_CHARS];
        FormatCertFingerprint(hash, text);
        EXPECT_STREQ(text, kUpper) << c.text;
    }
    EXPECT_FALSE(ParseCertFingerprint(NULL, NULL));
}

TEST(CertFingerprint, StartUpLineOfEachMode)
{
    struct ModeCase {
        const char *managementPin;
        const char *distributionPin;
        DWORD verify;
        const char *distributionEnabled;
        std::vector<std::string> lines;   /* "LEVEL message" of the mode lines, without "\n" */
    };
    const std::string pinned = std::string("certificate pinned to SHA-256 ") + kUpper;
    const std::string ms = "LogServerCertificateModes : Management server : ";
    const std::string ds = "LogServerCertificateModes : Distribution server : ";
    const ModeCase cases[] = {
        {NULL, NULL, 0, "no", {"INFO " + ms + "any certificate accepted, none is checked "}},
        {NULL, kUpper, 0, "no", {"INFO " + ms + "any certificate accepted, none is checked "}},
        {kPlain, NULL, 0, "no", {"INFO " + ms + pinned + " "}},
        {kPlain, NULL, 1, "no", {"INFO " + ms + pinned + ", and verified by Windows "}},
        {NULL, NULL, 1, "YES",
         {"INFO " + ms + "certificate verified by Windows (authority, name and date) ",
          "INFO " + ds + "certificate verified by Windows (authority, name and date) "}},
        {"12:34", kPlain, 0, "yes",
         {"ERROR " + ms + "the value VQServerCertThumbprint \"12:34\" is not a SHA-256 fingerprint of 64 "
                          "hex digits; every HTTPS request to this server fails ",
          "INFO " + ds + pinned + " "}},
        {NULL, "", 0, "yes",
         {"INFO " + ms + "any certificate accepted, none is checked ",
          "ERROR " + ds + "the value DistributionServerCertThumbprint \"\" is not a SHA-256 fingerprint "
                          "of 64 hex digits; every HTTPS request to this server fails "}},
    };
    for (const ModeCase &c : cases) {
        ResetAgentParameters();
        AgentParameters *p = &gv_agentParams;
        setText(&p->VQServerCertThumbprint, c.managementPin);
        setText(&p->DistributionServerCertThumbprint, c.distributionPin);
        setText(&p->EnableDistributionServer, c.distributionEnabled);
        p->VQVerifyServerCertificate = c.verify;
        vqt::ScratchLog log;
        ASSERT_TRUE(log.opened());
        LogServerCertificateModes();
        std::vector<std::string> seen;
        for (const std::string &m : log.messages())
            if (m.find("LogServerCertificateModes") != std::string::npos)
                seen.push_back(m);
        EXPECT_EQ(seen, c.lines) << (c.managementPin ? c.managementPin : "(none)");
    }
    ResetAgentParameters();
}
