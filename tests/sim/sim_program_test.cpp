// q73580-printer-sim as a program: what its command line answers with, and that it prints its
// endpoints, serves them and ends cleanly on SIGTERM.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ostream>
#include <string>
#include <vector>

#include "printer-sim/unique_fd.h"
#include "support/expected_commands.h"
#include "support/virtual_printer.h"

namespace printer_sim {
namespace {

struct ProgramCase {
  std::vector<std::string> args;
  int exitCode;
  std::string out;  // the whole standard output; "*" followed by a text: contains that text
  std::string err;  // part of the standard error
};

void PrintTo(const ProgramCase& c, std::ostream* out) {
  for (const std::string& arg : c.args) {
    *out << arg << ' ';
  }
  *out << "-> " << c.exitCode;
}

class SimProgramTest : public testing::TestWithParam<ProgramCase> {};

TEST_P(SimProgramTest, AnswersItsCommandLine) {
  const ProgramCase& c = GetParam();
  const auto run = VirtualPrinterProgram::Run(Q73580_PRINTER_SIM_PATH, c.args);
  EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
  if (c.out.starts_with("*")) {
    EXPECT_NE(run.out.find(c.out.substr(1)), std::string::npos) << run.out;
  } else {
    EXPECT_EQ(run.out, c.out);
  }
  EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimProgramTest,
    testing::Values(
        ProgramCase{{"--version"}, 0, "q73580-printer-sim " Q73580_VERSION "\n", ""},
        ProgramCase{{"--help"}, 0, "*\n  --faults-only-for COMMAND", ""},
        ProgramCase{{"-h", "--bogus"}, 0, "*Usage: ", ""},
        ProgramCase{{"--bogus"}, 2, "", "--bogus\nTry '"},
        ProgramCase{{"--pty=1"}, 2, "", ": --pty takes no value\n"},
        ProgramCase{{"--state", "0x10"}, 2, "", ": --state: expected 0-255, got 0x10\n"},
        // Refused before anything is opened.
        ProgramCase{{"--tcp", "10.1.2.3:9100"}, 2, "", "10.1.2.3 is not a numeric 127.x.x.x"}));

TEST(SimProgram, PrintsItsEndpointsAnswersThemAndEndsOnSigterm) {
  VirtualPrinterProgram program;
  ASSERT_TRUE(program.Start(Q73580_PRINTER_SIM_PATH,
                            {"--tcp", "127.0.0.1:0", "--no-udp", "--pty", "--name", "Lab"},
                            {"tcp", "pty"}))
      << program.Error();
  EXPECT_EQ(::access(program.Endpoint("pty").c_str(), R_OK | W_OK), 0) << program.Endpoint("pty");
  const std::string tcp = program.Endpoint("tcp");
  ASSERT_TRUE(tcp.starts_with("127.0.0.1:")) << tcp;

  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(tcp.substr(10))));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string query = expected::Report("NETNAME");
  ASSERT_EQ(send(fd.Get(), query.data(), query.size(), MSG_NOSIGNAL), ssize_t(query.size()));
  std::string reply;
  pollfd ready{fd.Get(), POLLIN, 0};
  while (reply.find('}') == std::string::npos && poll(&ready, 1, 5000) == 1) {
    char buffer[256];
    const ssize_t n = read(fd.Get(), buffer, sizeof buffer);
    if (n <= 0) {
      break;
    }
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(reply, "{3|Lab}");
  EXPECT_EQ(program.Stop(SIGTERM), 0);
}

}  // namespace
}  // namespace printer_sim
