// The command line of q73580-cli parsed into its request, the runner's refusals that come
// before anything is sent, and how it judges a remote change's answers, without starting the
// program.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QStringList>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <variant>

#include "cli/cli_args.h"
#include "cli/cli_commands.h"
#include "printer-sim/sim_server.h"
#include "protocol/address_text.h"
#include "support/fake_link_port.h"
#include "support/fake_usb_bus.h"
#include "support/virtual_printer.h"

namespace {

QStringList Args(std::initializer_list<const char*> words) {
  QStringList list;
  for (const char* word : words) {
    list << QString::fromUtf8(word);
  }
  return list;
}

struct AcceptedCase {
  std::string label;
  QStringList args;
  CliCommand command;
  std::function<void(const CliArgs&)> check;
};

class CliArgsAcceptedTest : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(CliArgsAcceptedTest, ParsesIntoTheRequest) {
  const auto parsed = ParseCliArgs(GetParam().args);
  const auto* error = std::get_if<CliUsageError>(&parsed);
  ASSERT_EQ(error, nullptr) << error->message;
  const CliArgs& args = std::get<CliArgs>(parsed);
  EXPECT_EQ(args.command, GetParam().command);
  GetParam().check(args);
}

void ExpectSerial(const CliArgs& args, const char* port, int baud, int dataBits, int parity,
                  int stopBits, int hardware, int software) {
  ASSERT_TRUE(args.link.has_value());
  EXPECT_EQ(args.link->kind, LinkKind::Com);
  EXPECT_EQ(args.link->serial.PortName.View(), port);
  EXPECT_EQ(args.link->target, port);
  EXPECT_EQ(args.link->serial.BaudIndex, baud);
  EXPECT_EQ(args.link->serial.DataBitsIndex, dataBits);
  EXPECT_EQ(args.link->serial.ParityIndex, parity);
  EXPECT_EQ(args.link->serial.StopBitsIndex, stopBits);
  EXPECT_EQ(args.link->serial.HardwareHandshake, hardware);
  EXPECT_EQ(args.link->serial.SoftwareHandshake, software);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliArgsAcceptedTest,
    ::testing::Values(
        AcceptedCase{"NetDefaultPort", Args({"--net", "printer.local", "clock", "get"}),
                     CliCommand::ClockGet,
                     [](const CliArgs& a) {
                       ASSERT_TRUE(a.link);
                       EXPECT_EQ(a.link->kind, LinkKind::Ethernet);
                       EXPECT_EQ(a.link->net.Host.View(), "printer.local");
                       EXPECT_EQ(a.link->net.Port, 9100);
                       EXPECT_EQ(a.link->target, "printer.local:9100");
                       EXPECT_FALSE(a.json);
                     }},
        // Global options anywhere, also after the command and in the --opt=value form.
        AcceptedCase{"OptionsAfterTheCommand",
                     Args({"clock", "get", "--json", "--net=127.0.0.1:65535", "-v"}),
                     CliCommand::ClockGet,
                     [](const CliArgs& a) {
                       EXPECT_TRUE(a.json);
                       EXPECT_TRUE(a.verbose);
                       EXPECT_EQ(a.link->net.Port, 65535);
                       EXPECT_EQ(a.link->target, "127.0.0.1:65535");
                     }},
        AcceptedCase{"UsbHasNoTarget", Args({"probe", "--usb"}), CliCommand::Probe,
                     [](const CliArgs& a) {
                       EXPECT_EQ(a.link->kind, LinkKind::Usb);
                       EXPECT_EQ(a.link->target, "");
                     }},
        // The main window's start values: 9600, 8 bits, no parity, 1 stop bit, RTS.
        AcceptedCase{"ComDefaults", Args({"--com", "com3", "net", "get"}), CliCommand::NetGet,
                     [](const CliArgs& a) { ExpectSerial(a, "COM3", 2, 1, 0, 0, 1, 0); }},
        AcceptedCase{"ComEveryLineOption",
                     Args({"--com", "/dev/pts/7", "--baud", "115200", "--data-bits", "7",
                           "--parity", "even", "--stop-bits", "2", "--handshake", "xon-xoff",
                           "probe"}),
                     CliCommand::Probe,
                     [](const CliArgs& a) { ExpectSerial(a, "/dev/pts/7", 6, 0, 2, 2, 0, 1); }},
        AcceptedCase{"ComRtsCtsAndHalfStop",
                     Args({"--com", "COM30", "--handshake", "RTS-CTS", "--stop-bits", "1.5",
                           "--parity", "odd", "--baud", "2400", "probe"}),
                     CliCommand::Probe,
                     [](const CliArgs& a) { ExpectSerial(a, "COM30", 0, 1, 1, 1, 2, 0); }},
        AcceptedCase{"LptName", Args({"--lpt", "lpt4", "factory-reset", "--yes"}),
                     CliCommand::FactoryReset,
                     [](const CliArgs& a) {
                       EXPECT_EQ(a.link->kind, LinkKind::Lpt);
                       EXPECT_EQ(a.link->lptDevice.View(), "LPT4");
                       EXPECT_TRUE(a.yes);
                     }},
        AcceptedCase{"LptPath", Args({"--lpt", "/tmp/lp fifo", "name", "set", "A"}),
                     CliCommand::NameSet,
                     [](const CliArgs& a) {
                       EXPECT_EQ(a.link->lptDevice.View(), "/tmp/lp fifo");
                       EXPECT_EQ(a.name, "A");
                     }},
        AcceptedCase{"ClockSetGiven", Args({"--usb", "clock", "set", "2024-02-29T23:59:58"}),
                     CliCommand::ClockSet,
                     [](const CliArgs& a) {
                       EXPECT_FALSE(a.clockFromPc);
                       EXPECT_EQ(a.clock, (ClockRecord{2024, 2, 29, 23, 59, 58}));
                     }},
        // What 'clock get' prints, quoted or split into two words by the shell.
        AcceptedCase{"ClockSetAsPrinted",
                     Args({"--usb", "clock", "set"})
                         << QString::fromStdString(ClockText({2026, 1, 1, 10, 0, 0}, ' ')),
                     CliCommand::ClockSet,
                     [](const CliArgs& a) {
                       EXPECT_EQ(a.clock, (ClockRecord{2026, 1, 1, 10, 0, 0}));
                     }},
        AcceptedCase{"ClockSetAsTwoWords",
                     Args({"--usb", "clock", "set", "2026-01-01", "10:00:00"}),
                     CliCommand::ClockSet,
                     [](const CliArgs& a) {
                       EXPECT_EQ(a.clock, (ClockRecord{2026, 1, 1, 10, 0, 0}));
                     }},
        AcceptedCase{"ClockSetFromPc", Args({"--usb", "clock", "set", "--from-pc"}),
                     CliCommand::ClockSet,
                     [](const CliArgs& a) { EXPECT_TRUE(a.clockFromPc); }},
        AcceptedCase{"NetSetStatic",
                     Args({"--usb", "net", "set", "--static", "192.168.1.50", "255.255.255.0",
                           "192.168.1.1"}),
                     CliCommand::NetSet,
                     [](const CliArgs& a) {
                       EXPECT_FALSE(a.dhcp);
                       EXPECT_EQ(a.ip, "192.168.1.50");
                       EXPECT_EQ(a.mask, "255.255.255.0");
                       EXPECT_EQ(a.gateway, "192.168.1.1");
                     }},
        AcceptedCase{"NetSetDhcp", Args({"--usb", "net", "set", "--dhcp"}), CliCommand::NetSet,
                     [](const CliArgs& a) { EXPECT_TRUE(a.dhcp); }},
        // Latin-1 reaches the record as single bytes; 15 characters is the most.
        AcceptedCase{"NameSetLatin1", Args({"--usb", "name", "set", "Caf\xC3\xA9-123456789A"}),
                     CliCommand::NameSet,
                     [](const CliArgs& a) { EXPECT_EQ(a.name, "Caf\xE9-123456789A"); }},
        AcceptedCase{"NameAfterDoubleDash", Args({"--usb", "name", "set", "--", "-x-"}),
                     CliCommand::NameSet, [](const CliArgs& a) { EXPECT_EQ(a.name, "-x-"); }},
        AcceptedCase{"DiscoverDefaults", Args({"discover"}), CliCommand::Discover,
                     [](const CliArgs& a) {
                       EXPECT_FALSE(a.link);
                       EXPECT_EQ(a.to, "255.255.255.255");
                       EXPECT_EQ(a.udpPort, 22368);
                       EXPECT_EQ(a.quietMs, 1000);
                     }},
        AcceptedCase{"DiscoverToOneAddress",
                     Args({"discover", "--timeout", "0.25", "--to", "127.0.0.1", "--udp-port",
                           "40000"}),
                     CliCommand::Discover,
                     [](const CliArgs& a) {
                       EXPECT_EQ(a.to, "127.0.0.1");
                       EXPECT_EQ(a.udpPort, 40000);
                       EXPECT_EQ(a.quietMs, 250);
                     }},
        AcceptedCase{"RemoteSetStatic",
                     Args({"remote-set", "00:1a:2b:3c:4d:5e", "--static", "10.0.0.9", "255.0.0.0",
                           "10.0.0.1", "--name", "Desk", "--yes"}),
                     CliCommand::RemoteSet,
                     [](const CliArgs& a) {
                       EXPECT_EQ(a.mac, "00:1A:2B:3C:4D:5E");
                       EXPECT_FALSE(a.dhcp);
                       EXPECT_EQ(a.ip, "10.0.0.9");
                       EXPECT_EQ(a.name, "Desk");
                       EXPECT_TRUE(a.yes);
                     }},
        AcceptedCase{"RemoteSetKeepsName", Args({"remote-set", "00:11:22:33:44:55", "--dhcp"}),
                     CliCommand::RemoteSet,
                     [](const CliArgs& a) {
                       EXPECT_TRUE(a.dhcp);
                       EXPECT_FALSE(a.name.has_value());
                       EXPECT_FALSE(a.yes);
                     }},
        // A MAC as Windows prints it, or bare, is taken and named the one way.
        AcceptedCase{"RemoteSetDashedMac",
                     Args({"remote-set", "00-1a-2b-3c-4d-5e", "--dhcp", "--name", " Desk "}),
                     CliCommand::RemoteSet,
                     [](const CliArgs& a) {
                       EXPECT_EQ(a.mac, "00:1A:2B:3C:4D:5E");
                       EXPECT_EQ(a.name, " Desk ");
                     }},
        AcceptedCase{"RemoteSetBareMac", Args({"remote-set", "001A2b3C4d5E", "--dhcp"}),
                     CliCommand::RemoteSet,
                     [](const CliArgs& a) { EXPECT_EQ(a.mac, "00:1A:2B:3C:4D:5E"); }},
        AcceptedCase{"Web", Args({"web", "printer-7.example"}), CliCommand::Web,
                     [](const CliArgs& a) { EXPECT_EQ(a.host, "printer-7.example"); }},
        // Standard input is the file "-", which is no option.
        AcceptedCase{"ApplyFromStdin",
                     Args({"--timeout", "0.5", "apply", "-", "--dry-run", "--to", "10.0.0.255"}),
                     CliCommand::Apply,
                     [](const CliArgs& a) {
                       EXPECT_EQ(a.file, "-");
                       EXPECT_TRUE(a.dryRun);
                       EXPECT_EQ(a.quietMs, 500);
                       EXPECT_EQ(a.to, "10.0.0.255");
                     }}),
    [](const ::testing::TestParamInfo<AcceptedCase>& info) { return info.param.label; });

struct RefusedCase {
  std::string label;
  QStringList args;
  std::string message;  // a part of the usage error
};

class CliArgsRefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(CliArgsRefusedTest, IsAUsageError) {
  const auto parsed = ParseCliArgs(GetParam().args);
  const auto* error = std::get_if<CliUsageError>(&parsed);
  ASSERT_NE(error, nullptr);
  EXPECT_NE(error->message.find(GetParam().message), std::string::npos) << error->message;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliArgsRefusedTest,
    ::testing::Values(
        RefusedCase{"Nothing", {}, "no command"},
        RefusedCase{"UnknownCommand", Args({"--usb", "clock", "frob"}), "unknown command"},
        RefusedCase{"UnknownOption", Args({"--usb", "probe", "--bogus"}), "unknown option"},
        RefusedCase{"NoLink", Args({"clock", "get"}), "needs a link"},
        RefusedCase{"TwoLinks", Args({"--usb", "--lpt", "LPT1", "probe"}), "only one"},
        RefusedCase{"SameLinkTwice", Args({"--net", "a", "--net", "b", "probe"}), "twice"},
        RefusedCase{"LinkForUdpCommand", Args({"--usb", "discover"}), "does not go with"},
        RefusedCase{"PortZero", Args({"--net", "host:0", "probe"}), "1 to 65535"},
        RefusedCase{"PortTooHigh", Args({"--net", "host:65536", "probe"}), "1 to 65535"},
        RefusedCase{"PortSigned", Args({"--net", "host:+80", "probe"}), "1 to 65535"},
        RefusedCase{"EmptyHost", Args({"--net", ":9100", "probe"}), "host"},
        RefusedCase{"NetMistypedAddress", Args({"--net", "192.168.1.256", "probe"}),
                    "'192.168.1.256' is not four numbers"},
        RefusedCase{"NetThreeNumbers", Args({"--net", "1.2.3:9100", "probe"}),
                    "'1.2.3' is not four numbers"},
        RefusedCase{"HostWithQuote", Args({"--net", "a\"b", "probe"}), "quotation"},
        RefusedCase{
            "HostTooLong",
            Args({"--net", "a123456789b123456789c123456789d123456789e123456789f123456789g123",
                  "probe"}),
            "63"},
        RefusedCase{"Com31", Args({"--com", "COM31", "probe"}), "COM1 to COM30"},
        RefusedCase{"ComRelative", Args({"--com", "ttyS0", "probe"}), "COM1 to COM30"},
        RefusedCase{"Lpt5", Args({"--lpt", "LPT5", "probe"}), "LPT1 to LPT4"},
        RefusedCase{"BaudNotOffered", Args({"--com", "COM1", "--baud", "1200", "probe"}), "2400"},
        RefusedCase{"SerialOptionWithoutCom", Args({"--usb", "--baud", "9600", "probe"}),
                    "needs --com"},
        RefusedCase{"HandshakeUnknown", Args({"--com", "COM1", "--handshake", "dtr", "probe"}),
                    "rts-cts"},
        RefusedCase{"ClockSetNothing", Args({"--usb", "clock", "set"}), "--from-pc"},
        RefusedCase{"ClockSetBoth",
                    Args({"--usb", "clock", "set", "--from-pc", "2026-01-01T00:00:00"}),
                    "unexpected argument"},
        RefusedCase{"ClockSetNoSuchDay", Args({"--usb", "clock", "set", "2026-02-29T10:00:00"}),
                    "YYYY-MM-DDTHH:MM:SS"},
        RefusedCase{"ClockSetSecond60", Args({"--usb", "clock", "set", "2026-01-01T10:00:60"}),
                    "YYYY-MM-DDTHH:MM:SS"},
        RefusedCase{"ClockSetThreeWords",
                    Args({"--usb", "clock", "set", "2026-01-01", "10:00:00", "x"}),
                    "unexpected argument 'x'"},
        RefusedCase{"FromPcElsewhere", Args({"--usb", "clock", "get", "--from-pc"}),
                    "does not go with"},
        RefusedCase{"NetSetNeither", Args({"--usb", "net", "set"}), "--dhcp or --static"},
        RefusedCase{
            "NetSetBoth",
            Args({"--usb", "net", "set", "--dhcp", "--static", "1.2.3.4", "1.2.3.4", "1.2.3.4"}),
            "--dhcp or --static"},
        RefusedCase{"StaticMissingValue",
                    Args({"--usb", "net", "set", "--static", "1.2.3.4", "1.2.3.4"}), "3 values"},
        RefusedCase{
            "StaticNotDotted",
            Args({"--usb", "net", "set", "--static", "1.2.3.4", "255.255.255.0", "1.2.3.256"}),
            "gateway"},
        RefusedCase{
            "StaticHostName",
            Args({"--usb", "net", "set", "--static", "printer", "255.255.255.0", "1.2.3.4"}),
            "IP address"},
        RefusedCase{"NameTooLong", Args({"--usb", "name", "set", "0123456789ABCDEF"}), "15"},
        RefusedCase{"NameWithQuote", Args({"--usb", "name", "set", "a\"b"}), "quotation"},
        RefusedCase{"NameWithNewline", Args({"--usb", "name", "set", "a\nb"}), "control"},
        RefusedCase{"NameBeyondLatin1", Args({"--usb", "name", "set", "\xE2\x82\xAC"}), "Latin-1"},
        RefusedCase{"NameMissing", Args({"--usb", "name", "set"}), "printer name"},
        RefusedCase{"NameEmpty", Args({"--usb", "name", "set", ""}), "empty"},
        RefusedCase{"NameBlanks", Args({"--usb", "name", "set", "   "}), "only blanks"},
        RefusedCase{"YesForRead", Args({"--usb", "clock", "get", "--yes"}), "does not go with"},
        RefusedCase{"TimeoutZero", Args({"discover", "--timeout", "0"}), "--timeout"},
        RefusedCase{"TimeoutAboveCap", Args({"discover", "--timeout", "11"}), "--timeout"},
        RefusedCase{"TimeoutWord", Args({"discover", "--timeout", "soon"}), "--timeout"},
        RefusedCase{"ToNotAnAddress", Args({"discover", "--to", "everyone"}), "--to"},
        RefusedCase{"UdpPortZero", Args({"discover", "--udp-port", "0"}), "--udp-port"},
        // Only the broadcast goes out of chosen interfaces; a routed address would ignore it.
        RefusedCase{"InterfaceWithRoutedAddress",
                    Args({"export", "--interface", "eth1", "--to", "10.77.2.255"}),
                    "--interface goes only with the broadcast"},
        RefusedCase{"RemoteSetBadMac", Args({"remote-set", "00:11:22:33:44", "--dhcp"}),
                    "MAC address"},
        RefusedCase{"RemoteSetNoMac", Args({"remote-set", "--dhcp"}), "MAC address"},
        RefusedCase{"RemoteSetNoMode", Args({"remote-set", "00:11:22:33:44:55"}),
                    "--dhcp or --static"},
        RefusedCase{
            "RemoteSetLongName",
            Args({"remote-set", "00:11:22:33:44:55", "--dhcp", "--name", "0123456789ABCDEF"}),
            "15"},
        RefusedCase{"RemoteSetBlankName",
                    Args({"remote-set", "00:11:22:33:44:55", "--dhcp", "--name", " "}),
                    "only blanks"},
        RefusedCase{"ApplyNoFile", Args({"apply", "--yes"}), "needs a file"},
        RefusedCase{"ExportDryRun", Args({"export", "--dry-run"}), "does not go with 'export'"},
        RefusedCase{"ExportTimeoutAboveCap", Args({"export", "--timeout", "11"}), "--timeout"},
        RefusedCase{"WebPort", Args({"web", "192.168.0.20:8080"}), "no port"},
        RefusedCase{"WebBlank", Args({"web", "a b"}), "host name"},
        RefusedCase{"WebQuote", Args({"web", "a\"b"}), "host name"},
        RefusedCase{"WebPath", Args({"web", "a/b"}), "host name"},
        RefusedCase{"WebEmpty", Args({"web", ""}), "host name"},
        RefusedCase{"WebNoHost", Args({"web"}), "needs"},
        RefusedCase{"WebMistypedAddress", Args({"web", "192.168.1.256"}), "not four numbers"},
        RefusedCase{"ExtraArgument", Args({"--usb", "probe", "now"}), "unexpected argument"},
        RefusedCase{"UsbVendorFiveDigits", Args({"--usb", "--usb-vendor", "1a2b3", "probe"}),
                    "four hex digits"},
        RefusedCase{"UsbVendorNotHex", Args({"usb", "list", "--usb-vendor", "1g2b"}),
                    "four hex digits"},
        RefusedCase{"UsbVendorOverTcp", Args({"--net", "a", "--usb-vendor", "1a2b", "probe"}),
                    "needs --usb"},
        RefusedCase{"UsbVendorForUdpCommand", Args({"discover", "--usb-vendor", "1a2b"}),
                    "does not go with"},
        RefusedCase{"HelpUnknown", Args({"help", "frob"}), "unknown command"}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return info.param.label; });

struct HelpCase {
  std::string label;
  QStringList args;
  CliCommand topic;
};

class CliArgsHelpTest : public ::testing::TestWithParam<HelpCase> {};

// "--help" wins over anything else on the line, mistakes included.
TEST_P(CliArgsHelpTest, AsksForTheUsageOfTheCommand) {
  const auto parsed = ParseCliArgs(GetParam().args);
  ASSERT_TRUE(std::holds_alternative<CliArgs>(parsed));
  const CliArgs& args = std::get<CliArgs>(parsed);
  EXPECT_EQ(args.command, CliCommand::Help);
  EXPECT_EQ(args.helpTopic, GetParam().topic);
  const std::string usage = CliUsageText(args.helpTopic);
  EXPECT_EQ(usage.rfind("Usage: q73580-cli", 0), 0u) << usage;
  if (GetParam().topic != CliCommand::Help) {
    EXPECT_NE(usage.find(CliCommandName(GetParam().topic)), std::string::npos) << usage;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliArgsHelpTest,
    ::testing::Values(
        HelpCase{"Long", Args({"--help"}), CliCommand::Help},
        HelpCase{"Short", Args({"-h"}), CliCommand::Help},
        HelpCase{"HelpWord", Args({"help"}), CliCommand::Help},
        HelpCase{"HelpTwoWords", Args({"help", "clock", "set"}), CliCommand::ClockSet},
        HelpCase{"AfterCommand", Args({"net", "get", "--help"}), CliCommand::NetGet},
        HelpCase{"WithBadOptions", Args({"discover", "--bogus", "-h"}), CliCommand::Discover},
        HelpCase{"RemoteSet", Args({"remote-set", "--help"}), CliCommand::RemoteSet},
        HelpCase{"Web", Args({"help", "web"}), CliCommand::Web}),
    [](const ::testing::TestParamInfo<HelpCase>& info) { return info.param.label; });

struct DottedCase {
  const char* text;
  bool dotted;
};

class DottedQuadTest : public ::testing::TestWithParam<DottedCase> {};

// The strict form the dialogs and the command line take before an address is written.
TEST_P(DottedQuadTest, TakesFourNumbersUpTo255) {
  EXPECT_EQ(IsDottedQuad(std::string_view(GetParam().text)), GetParam().dotted) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DottedQuadTest,
    ::testing::Values(DottedCase{"0.0.0.0", true}, DottedCase{"255.255.255.255", true},
                      DottedCase{"010.001.1.00", true}, DottedCase{"1.2.3", false},
                      DottedCase{"1.2.3.4.", false}, DottedCase{"1.2.3.4.5", false},
                      DottedCase{"1.2.3.256", false}, DottedCase{"1.2.3.0255", false},
                      DottedCase{"1..3.4", false}, DottedCase{" 1.2.3.4", false},
                      DottedCase{"1.2.3.4 ", false}, DottedCase{"1.2.3.-4", false},
                      DottedCase{"", false}));

// Refusals of the runner that must come before the link is opened.
class CliRunnerTest : public ::testing::Test {
 protected:
  CliRunnerTest() {
    auto port = std::make_unique<FakeLinkPort>();
    port_ = port.get();
    LinkPorts ports;
    ports.ethernet = std::move(port);
    link_ = std::make_unique<LinkFacade>(std::move(ports));
    services_.link = link_.get();
  }

  CliArgs Parse(std::initializer_list<const char*> words) {
    const auto parsed = ParseCliArgs(Args(words));
    EXPECT_TRUE(std::holds_alternative<CliArgs>(parsed));
    return std::get<CliArgs>(parsed);
  }

  FakeLinkPort* port_ = nullptr;
  std::unique_ptr<LinkFacade> link_;
  CliServices services_;
};

TEST_F(CliRunnerTest, FactoryReset_WithoutTerminalOrYes_IsAUsageErrorAndOpensNothing) {
  services_.terminal = false;
  const CliOutcome outcome =
      RunCliCommand(Parse({"--net", "127.0.0.1", "factory-reset"}), services_);
  EXPECT_EQ(outcome.exitCode, CliUsageExit);
  EXPECT_TRUE(outcome.usageError);
  EXPECT_EQ(outcome.error, "factory-reset needs --yes when not run from a terminal");
  EXPECT_TRUE(port_->events.empty());
}

TEST_F(CliRunnerTest, FactoryReset_AnswerNo_IsCancelledAndOpensNothing) {
  services_.terminal = true;
  std::string asked;
  services_.confirm = [&](const std::string& question) {
    asked = question;
    return false;
  };
  const CliOutcome outcome =
      RunCliCommand(Parse({"--net", "127.0.0.1:9101", "factory-reset", "--json"}), services_);
  EXPECT_EQ(asked, "Restore the factory defaults of the printer on 127.0.0.1:9101? [y/N] ");
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_FALSE(outcome.usageError);
  EXPECT_EQ(outcome.json.value(QStringLiteral("result")).toString(), QStringLiteral("cancelled"));
  EXPECT_TRUE(port_->events.empty());
}

TEST_F(CliRunnerTest, FactoryReset_AnswerYes_SendsTheResetOnce) {
  services_.terminal = true;
  services_.confirm = [](const std::string&) { return true; };
  const CliOutcome outcome =
      RunCliCommand(Parse({"--net", "127.0.0.1", "factory-reset"}), services_);
  EXPECT_EQ(outcome.exitCode, 0) << outcome.error;
  EXPECT_EQ(port_->chunks, (std::vector<std::string>{"INITIALPRINTER\r\n"}));
}

// "--from-pc" takes the PC's local time as "Get System Time" does, to the second.
TEST_F(CliRunnerTest, ClockSetFromPc_SendsThePcsTime) {
  services_.now = [] { return QDateTime(QDate(2031, 7, 4), QTime(9, 8, 7, 999)); };
  const CliOutcome outcome =
      RunCliCommand(Parse({"--net", "127.0.0.1", "clock", "set", "--from-pc"}), services_);
  EXPECT_EQ(outcome.exitCode, 0) << outcome.error;
  EXPECT_EQ(port_->chunks, (std::vector<std::string>{"TS07,04,31,09,08,07\r\n"}));
  EXPECT_EQ(outcome.json.value(QStringLiteral("clock"))
                .toObject()
                .value(QStringLiteral("text"))
                .toString(),
            QStringLiteral("2031-07-04T09:08:07"));
  EXPECT_TRUE(outcome.text.empty()) << "set commands are quiet without -v";
}

// A failed open is the link's result, its message and its code, in the JSON too; a port that
// gave no cause gets the facade's stand-in.
TEST_F(CliRunnerTest, OpenFailure_IsExitOneWithTheMessage) {
  port_->openResult = InvalidLink;
  const CliOutcome outcome = RunCliCommand(Parse({"--net", "127.0.0.1", "net", "get"}), services_);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.error, "Open Port Error: the port could not be opened");
  EXPECT_EQ(outcome.json.value(QStringLiteral("code")).toInt(), 1);
  EXPECT_EQ(outcome.json.value(QStringLiteral("result")).toString(),
            QStringLiteral("Open Port Error"));
  EXPECT_FALSE(outcome.json.contains(QStringLiteral("network")));
}

// A port that opens with less than asked, as a serial adapter that refuses the handshake.
class PortWithANote : public FakeLinkPort {
 public:
  static constexpr const char* Note =
      "/dev/ttyUSB0: flow control not kept: hardware handshake (CRTSCTS) refused by the driver";
  LinkHandle Open(const LinkTargets& targets) override {
    NoteOpen(Note);
    return FakeLinkPort::Open(targets);
  }
};

// What the open went without is said with -v only, before what the command prints.
TEST_F(CliRunnerTest, OpenNote_IsSaidOnlyWhenVerbose) {
  for (const bool verbose : {false, true}) {
    auto port = std::make_unique<PortWithANote>();
    port->fills = {"{0|}", "{4|2026}", "{2|03}", "{2|14}", "{2|09}", "{2|26}", "{2|53}"};
    LinkPorts ports;
    ports.ethernet = std::move(port);
    LinkFacade link(std::move(ports));
    services_.link = &link;
    const CliOutcome outcome =
        RunCliCommand(verbose ? Parse({"-v", "--net", "127.0.0.1", "clock", "get"})
                              : Parse({"--net", "127.0.0.1", "clock", "get"}),
                      services_);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.error;
    EXPECT_EQ(outcome.text, (verbose ? std::string(PortWithANote::Note) + "\n" : std::string()) +
                                "2026-03-14 09:26:53\n");
  }
}

// Printer-class devices only, in the order --usb looks at them, each marked by the port's own
// rule for the vendor id looked for.
TEST_F(CliRunnerTest, UsbList_ShowsThePrintersInBusOrderAndWhichMatch) {
  FakeUsbBus bus;
  bus.devices = {FakeUsbBus::Device(0x1a2b, 0x0007, 2, {1}),
                 FakeUsbBus::Device(0x5e6f, 0x0102, 1, {4, 2}),
                 FakeUsbBus::Device(0x1a2b, 0x0008, 1, {1})};
  bus.withoutPrinterInterface = {2};
  services_.usbBus = &bus;
  services_.usbVendor = ChooseUsbVendor(std::string("1a2b"), nullptr);
  const CliOutcome outcome =
      RunCliCommand(Parse({"usb", "list", "--usb-vendor", "1a2b"}), services_);
  EXPECT_EQ(outcome.exitCode, 0) << outcome.error;
  EXPECT_EQ(outcome.text,
            "Vendor  Product  Path                         Match\n"
            "5e6f    0102     usb#vid_5e6f&pid_0102#1-4.2  no\n"
            "1a2b    0007     usb#vid_1a2b&pid_0007#2-1    yes\n"
            "--usb looks for vendor id 1a2b (from the command line).\n");
  EXPECT_EQ(outcome.json.value(QStringLiteral("vendorId")).toString(), QStringLiteral("1a2b"));
  const QJsonArray printers = outcome.json.value(QStringLiteral("printers")).toArray();
  ASSERT_EQ(printers.size(), 2);
  const QJsonObject second = printers[1].toObject();
  EXPECT_EQ(second.value(QStringLiteral("vendorId")).toString(), QStringLiteral("1a2b"));
  EXPECT_EQ(second.value(QStringLiteral("productId")).toString(), QStringLiteral("0007"));
  EXPECT_EQ(second.value(QStringLiteral("path")).toString(),
            QStringLiteral("usb#vid_1a2b&pid_0007#2-1"));
  EXPECT_TRUE(second.value(QStringLiteral("matches")).toBool());
  EXPECT_FALSE(printers[0].toObject().value(QStringLiteral("matches")).toBool());
  EXPECT_EQ(outcome.notice, "");
  // Without a printer (a device with no printer interface is none) the header stands alone, and
  // standard error says why.
  bus.devices = {bus.devices[2]};
  bus.withoutPrinterInterface = {0};
  const CliOutcome none = RunCliCommand(Parse({"usb", "list"}), services_);
  EXPECT_EQ(none.exitCode, 0) << none.error;
  EXPECT_EQ(none.notice, "no USB printer is attached");
  EXPECT_TRUE(port_->events.empty());
}

TEST_F(CliRunnerTest, Web_OpenerNotStarted_PrintsTheUrlAndFails) {
  QString opened;
  services_.openUrl = [&](const QString& url) {
    opened = url;
    return false;
  };
  const CliOutcome outcome = RunCliCommand(Parse({"web", "192.168.0.20"}), services_);
  EXPECT_EQ(opened, QStringLiteral("http://192.168.0.20"));
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.text, "http://192.168.0.20\n");
  EXPECT_EQ(outcome.json.value(QStringLiteral("url")).toString(),
            QStringLiteral("http://192.168.0.20"));
}

// On a terminal a discovery says what it waits for, and erases the line before the list is
// printed. (Off a terminal nothing is drawn: the program's stderr stays empty, CliUdpTest.)
TEST(CliStatusLine, Discover_ShowsHowManyAnsweredAndEndsCleared) {
  VirtualPrinter sim(UdpOnly);
  ASSERT_TRUE(sim.Running()) << sim.Error();
  std::mutex mutex;
  std::string terminal;
  {
    StatusLine status(
        [&](std::string_view bytes) {
          const std::lock_guard lock(mutex);
          terminal += bytes;
        },
        std::chrono::milliseconds(100));
    CliServices services;
    services.status = &status;
    const auto parsed = ParseCliArgs(
        {"discover", "--to", "127.0.0.1", "--udp-port", QString::number(sim.UdpPort())});
    ASSERT_TRUE(std::holds_alternative<CliArgs>(parsed));
    const CliOutcome outcome = RunCliCommand(std::get<CliArgs>(parsed), services);
    EXPECT_EQ(outcome.exitCode, 0);
    const std::lock_guard lock(mutex);
    const std::string cleared = "\r\x1b[K";
    const std::string last = "\rWaiting for printers… 1 found\x1b[K";
    ASSERT_GE(terminal.size(), last.size() + cleared.size()) << terminal;
    EXPECT_TRUE(terminal.ends_with(last + cleared)) << terminal;
    EXPECT_EQ(terminal.find('\n'), std::string::npos) << terminal;
  }
}

// remote-set against a virtual printer on 127.0.0.1 whose block writes go astray: the writes'
// answers and the blocks read back decide the exit status.
struct WritesCase {
  std::string label;
  printer_sim::FaultSwitches::BlockWrites writes;
  int waitMs;  // for each answer
  int exitCode;
  std::string error;
  QJsonArray unanswered;
  QStringList address = {"192.168.1.50", "255.255.255.0", "192.168.1.1"};  // --static's
};

void PrintTo(const WritesCase& row, std::ostream* os) {
  *os << row.label;
}

class CliRemoteSetWritesTest : public ::testing::TestWithParam<WritesCase> {};

TEST_P(CliRemoteSetWritesTest, ExitsByWhatThePrinterConfirms) {
  const WritesCase& row = GetParam();
  printer_sim::SimServerConfig config;
  printer_sim::ApplyStaticAddress(config.initialState, "192.168.7.50", "255.255.0.0",
                                  "192.168.7.1");
  config.faults.blockWrites = row.writes;
  VirtualPrinter sim(UdpOnly, config);
  ASSERT_TRUE(sim.Running()) << sim.Error();
  const auto parsed =
      ParseCliArgs(QStringList{"remote-set", QString::fromStdString(sim->State().mac), "--static"} +
                   row.address +
                   QStringList{"--name", "Desk-9", "--yes", "--to", "127.0.0.1", "--udp-port",
                               QString::number(sim.UdpPort())});
  ASSERT_TRUE(std::holds_alternative<CliArgs>(parsed));
  CliServices services;
  services.remoteWaitMs = row.waitMs;

  const auto start = std::chrono::steady_clock::now();
  const CliOutcome outcome = RunCliCommand(std::get<CliArgs>(parsed), services);
  // Answered, the whole change takes less than one wait; unanswered, the four writes wait out.
  const bool answered = row.unanswered.isEmpty();
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(answered ? row.waitMs : 4 * row.waitMs + 5000));
  EXPECT_EQ(outcome.exitCode, row.exitCode);
  EXPECT_EQ(outcome.error, row.error);
  EXPECT_EQ(outcome.json.value(QStringLiteral("code")).toInt(-1), row.exitCode);
  EXPECT_EQ(outcome.json.value(QStringLiteral("result")).toString().toStdString(),
            row.exitCode == 0 ? "OK" : row.error);
  EXPECT_EQ(outcome.json.value(QStringLiteral("unanswered")).toArray(), row.unanswered);
  EXPECT_EQ(outcome.json.value(QStringLiteral("reported"))[QStringLiteral("name")].toString(),
            row.exitCode == 0 ? "" : "Q73580");
}

using Writes = printer_sim::FaultSwitches::BlockWrites;
const std::string KeptOldAddress =
    "it reports static 192.168.7.50, mask 255.255.0.0, gateway 192.168.7.1 instead of static "
    "192.168.1.50, mask 255.255.255.0, gateway 192.168.1.1";
// The blocks read back cannot show it; the closing discovery does.
const std::string KeptOldName = "it reports the name 'Q73580' instead of 'Desk-9'";

INSTANTIATE_TEST_SUITE_P(
    Writes, CliRemoteSetWritesTest,
    ::testing::Values(
        // An acknowledgement shorter than a header ends a write's wait all the same.
        WritesCase{"ShortAcknowledgements", Writes::ShortAck, 3000, 0, "", QJsonArray()},
        WritesCase{"Unanswered", Writes::Unanswered, 200, CliUnconfirmedExit,
                   "the printer did not confirm the change: no reply to the writes of blocks 0, "
                   "4, 5 and 7; " +
                       KeptOldAddress + "; " + KeptOldName,
                   QJsonArray{0, 4, 5, 7}},
        WritesCase{"AcknowledgedButNotApplied", Writes::Unapplied, 3000, CliUnconfirmedExit,
                   "the printer did not confirm the change: " + KeptOldAddress + "; " + KeptOldName,
                   QJsonArray()},
        // Written as it already was but for the name: only the name can give the change away.
        WritesCase{"NameKept",
                   Writes::Unapplied,
                   3000,
                   CliUnconfirmedExit,
                   "the printer did not confirm the change: " + KeptOldName,
                   QJsonArray(),
                   {"192.168.7.50", "255.255.0.0", "192.168.7.1"}}),
    [](const auto& info) { return info.param.label; });

}  // namespace
