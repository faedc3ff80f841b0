// Protected passwords: the protected key wins, a value that cannot be unprotected is a
// refused logon without a connect, and the plain password shows nowhere.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "portable/base16_64.h"
#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class ProtectedPasswords : public ::testing::Test {
 protected:
  void Configure(const std::string& slot2, const std::string& tavisto = "") {
    station_.Project("[Project]\r\nNumberOfMachines=1\r\n");
    station_.Customer(
        "[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\n[NetAddress]\r\n"
        "User2=station\r\nNetAddress2=\\\\srv\\docu\r\nNetDrive2=K\r\n" +
        slot2 + "[Tavisto]\r\nLogFile=C:\\Zembrik\\Documentation\\Tavisto.log\r\n" + tavisto);
    station_.platform.SetConnect([](const ConnectCall&) { return 0u; });
  }
  void RunFirstCheck() {
    station_.Start();
    station_.platform.RunFor(Seconds(1));
  }
  std::vector<std::wstring> Passwords() const {
    std::vector<std::wstring> passwords;
    for (const ConnectCall& call : station_.platform.Connects()) passwords.push_back(call.password);
    return passwords;
  }
  Station station_;
};

TEST_F(ProtectedPasswords, TheProtectedKeyWinsAndThePlainOneStillWorksAlone) {
  Configure("Password2=plain-old\r\nProtectedPassword2=sim:from-the-vault\r\n");
  RunFirstCheck();
  EXPECT_THAT(Passwords(), ElementsAre(L"from-the-vault"));
  // The slot keeps the protected form; the plain password lived in the connect step only.
  EXPECT_EQ(station_.window.state.Shares[1].ProtectedPassword, L"sim:from-the-vault");

  Station plain;
  plain.Customer(
      "[NetAddress]\r\nPassword2=plain-old\r\nNetAddress2=\\\\srv\\docu\r\n"
      "NetDrive2=K\r\nProtectedPassword2=\r\n");
  plain.Start();
  plain.platform.RunFor(Seconds(1));
  ASSERT_EQ(plain.platform.Connects().size(), 1u);
  EXPECT_EQ(plain.platform.Connects()[0].password, L"plain-old");
}

TEST_F(ProtectedPasswords, AValueThatCannotBeUnprotectedIsAFaultWithItsReasonAndNoConnect) {
  struct Case {
    const char* value;
    const wchar_t* reason;
  } cases[] = {
      {"not-a-blob", L"  error 13: ProtectedPassword2 cannot be unprotected: The data is invalid."},
      {"moved:AQAAANCMnd8B",
       L"  error 2148073483: ProtectedPassword2 cannot be unprotected: Key "
       L"not valid for use in specified state."},
  };
  for (const Case& c : cases) {
    Station station;
    station.Project("[Project]\r\nNumberOfMachines=1\r\n");
    station.Customer(std::string("[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\n[NetAddress]\r\n"
                                 "Password2=plain-old\r\nNetAddress2=\\\\srv\\docu\r\n"
                                 "NetDrive2=K\r\nProtectedPassword2=") +
                     c.value + "\r\n");
    station.Start();
    station.platform.RunFor(Seconds(1));
    EXPECT_TRUE(station.platform.Connects().empty()) << c.value;
    EXPECT_THAT(
        station.Messages(),
        ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu", L"Generate: \\\\srv\\docu",
                    L"Fault by generate: \\\\srv\\docu", c.reason, L"Checking ready 1 faults"))
        << c.value;
    EXPECT_EQ(station.Status(), "[Machine1]\r\nNetOK1=false\r\n");
  }
}

TEST_F(ProtectedPasswords, ASlotWhoseValueCannotBeUnprotectedIsLeftToTheOrdinarySchedule) {
  Configure("ProtectedPassword2=not-a-blob\r\nNetAddress3=\\\\srv\\other\r\nNetDrive3=L\r\n",
            "RetryAfterFaultSeconds=10\r\nCheckOnNetworkChange=true\r\n");
  station_.platform.SetConnect([](const ConnectCall&) { return 53u; });
  station_.platform.NetworkChangesAt(Minutes(3));
  station_.Start();
  station_.platform.RunFor(Minutes(9));
  // Retries and the network change try L: only; K:'s value is tried by the first check.
  EXPECT_EQ(station_.platform.TraceStartingWith(L"UnprotectPassword").size(), 1u);
  EXPECT_GT(station_.platform.Connects().size(), 4u);
  station_.platform.RunFor(Minutes(2));  // the ordinary check at ten minutes tries it again
  EXPECT_EQ(station_.platform.TraceStartingWith(L"UnprotectPassword").size(), 2u);
}

TEST_F(ProtectedPasswords, APasswordOutsideTheCodePageIsHandedOverAsItIs) {
  // A DPAPI value can hold any character; the connect takes wide text, so nothing is
  // ever sent with substitute characters.
  Configure("ProtectedPassword2=sim:\u03A9mega-\u0416\r\n");
  RunFirstCheck();
  EXPECT_THAT(Passwords(), ElementsAre(L"\u03A9mega-\u0416"));
}

TEST_F(ProtectedPasswords, ThePlainPasswordShowsNowhere) {
  Configure("ProtectedPassword2=sim:vault-secret-7\r\n",
            "MetricsFile=C:\\Zembrik\\Documentation\\vodu_tavisto.prom\r\n");
  // A system whose text repeats what it was given.
  station_.platform.SetConnect([](const ConnectCall& call) {
    return SystemResult{1326, L"Logon with " + call.password + L" refused",
                        FailureKind::LogonRefused};
  });
  RunFirstCheck();
  for (const std::wstring& message : station_.Messages())
    EXPECT_THAT(message, Not(HasSubstr(L"vault-secret"))) << message;
  EXPECT_THAT(station_.Messages(), ::testing::Contains(L"  error 1326: Logon with *** refused"));
  for (const std::wstring& line : station_.platform.Trace())
    EXPECT_THAT(line, Not(HasSubstr(L"vault-secret"))) << line;
  EXPECT_THAT(station_.platform.File(L"C:\\Zembrik\\Documentation\\Tavisto.log").value_or(""),
              Not(HasSubstr("vault-secret")));
  EXPECT_THAT(station_.platform.File(L"C:\\Zembrik\\Documentation\\vodu_tavisto.prom").value_or(""),
              Not(HasSubstr("vault")));
}

TEST(ProtectedPasswordValues, AreReadWholeUpTo4096Characters) {
  Station station;
  const std::string dpapi = "dpapi:" + std::string(594, 'A');
  station.Customer("[NetAddress]\r\nProtectedPassword1=" + dpapi +
                   "\r\nProtectedPassword5=" + std::string(5000, 'B') + "\r\n");
  station.Start();
  EXPECT_EQ(station.window.state.Shares[0].ProtectedPassword.size(), 600u);
  EXPECT_EQ(station.window.state.Shares[4].ProtectedPassword.size(), 4096u);
}

// --- the texts protected values are written in ----------------------------------------

TEST(ProtectedPasswordText, Base64AndHexadecimalReadAsTheToolsWriteThem) {
  const std::string blob("\x01\x00\x00\x00\xD0\x8C\x9D\xDF\x01\x15\xD1\x11\x8C\x7A", 14);
  EXPECT_EQ(EncodeBase64(blob), "AQAAANCMnd8BFdERjHo=");
  EXPECT_EQ(DecodeBase64(L"AQAAANCMnd8BFdERjHo="), blob);
  // Blanks and line breaks, as a value folded in a file has them, are ignored.
  EXPECT_EQ(DecodeBase64(L"AQAAANCM\r\n nd8BFdER\tjHo="), blob);
  EXPECT_EQ(DecodeBase64(L"TWFu"), "Man");
  EXPECT_EQ(DecodeBase64(L"TWE="), "Ma");
  EXPECT_EQ(DecodeBase64(L"TQ=="), "M");
  for (const wchar_t* bad : {L"TWF", L"TW=u", L"T===", L"TWFu!A==", L"TQ==TQ=="})
    EXPECT_EQ(DecodeBase64(bad), std::nullopt) << bad;
  // PowerShell's ConvertFrom-SecureString prints the blob in hexadecimal digits.
  EXPECT_EQ(DecodeHex(L"01000000d08c9ddf0115d1118c7a"), blob);
  EXPECT_EQ(DecodeHex(L"01000000D08C9DDF0115D1118C7A"), blob);
  EXPECT_EQ(DecodeHex(L"0100000"), std::nullopt);
  EXPECT_EQ(DecodeHex(L"01000g00"), std::nullopt);
}

}  // namespace
}  // namespace vt::sim
