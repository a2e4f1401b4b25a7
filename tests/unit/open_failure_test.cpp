// Why an open failed, as each real port finds out from the system and the facade keeps it: the
// fixed "Open Port Error" says nothing more, so this is all a technician has to go on.

#include "link/open_failure.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/link_facade.h"
#include "link/network_stream.h"
#include "link/parallel_port.h"
#include "link/serial_port.h"
#include "link/usb_printer_port.h"
#include "support/closed_tcp_port.h"
#include "support/fake_usb_bus.h"

namespace {

// What one row sets up: the records the facade opens, and what must stay held meanwhile.
struct Scene {
  QTemporaryDir dir;
  SerialSettings serial;
  LptDeviceName lpt;
  NetTarget net;
  FakeUsbBus* usb = nullptr;
  std::vector<int> fds;
  std::unique_ptr<SerialPort> holder;

  ~Scene() {
    if (holder) {
      holder->Close(1);
    }
    for (const int fd : fds) {
      ::close(fd);
    }
  }

  std::string Path(const char* name) const {
    return dir.filePath(QLatin1String(name)).toStdString();
  }

  // The slave side of a new pseudo-terminal; the master stays open with the scene.
  std::string Pty() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
      return {};
    }
    fds.push_back(master);
    return ::ptsname(master);
  }

  // A FIFO that someone reads, so that it opens for writing, and that another writer locked.
  std::string LockedFifo() {
    const std::string path = Path("lpt");
    if (::mkfifo(path.c_str(), 0600) != 0) {
      return {};
    }
    fds.push_back(::open(path.c_str(), O_RDONLY | O_NONBLOCK));
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    fds.push_back(writer);
    return ::flock(writer, LOCK_EX | LOCK_NB) == 0 ? path : std::string();
  }
};

// Addresses are given as they are; any other text is a name that does not resolve. The system's
// resolver is never asked, so no lookup leaves the machine.
std::optional<QHostAddress> LiteralsOnly(const QString& host) {
  QHostAddress address;
  return address.setAddress(host) ? std::optional(address) : std::nullopt;
}

struct OpenFailureRow {
  const char* name;
  LinkKind kind;
  // Prepares the scene and returns the detail expected.
  std::function<std::string(Scene&)> arrange;
  OpenFailureCause cause;
  bool needsNonRoot = false;  // root may open whatever its mode says
};

class PortOpenFailureTest : public ::testing::TestWithParam<OpenFailureRow> {};

TEST_P(PortOpenFailureTest, TheFacadeKeepsTheCauseThePortFound) {
  const OpenFailureRow& row = GetParam();
  if (row.needsNonRoot && ::geteuid() == 0) {
    GTEST_SKIP() << "root opens files whatever their mode";
  }
  Scene scene;
  ASSERT_TRUE(scene.dir.isValid());
  auto bus = std::make_unique<FakeUsbBus>();
  scene.usb = bus.get();
  LinkPorts ports;
  ports.usb = std::make_unique<UsbPrinterPort>(std::move(bus));
  ports.com = std::make_unique<SerialPort>();
  ports.lpt = std::make_unique<ParallelPort>();
  ports.ethernet = std::make_unique<NetworkStream>(LiteralsOnly, NetworkTiming{2000, 100, 100, 1});
  LinkFacade facade(std::move(ports));
  facade.SetLinkTargets(scene.serial, scene.lpt, scene.net);

  const std::string detail = row.arrange(scene);
  ASSERT_FALSE(detail.empty()) << "the scene could not be set up";
  EXPECT_EQ(facade.OpenLink(row.kind), InvalidLink);
  EXPECT_EQ(facade.LastOpenFailure().cause, row.cause)
      << OpenFailureCauseName(facade.LastOpenFailure().cause);
  EXPECT_EQ(facade.LastOpenFailure().detail, detail);
}

const std::string Missing = "/dev/q73580-none";

INSTANTIATE_TEST_SUITE_P(
    EveryKind, PortOpenFailureTest,
    ::testing::Values(
        OpenFailureRow{"ComMissingDevice", LinkKind::Com,
                       [](Scene& s) {
                         s.serial.PortName.Assign(Missing);
                         return Missing + ": no such device";
                       },
                       OpenFailureCause::NotFound},
        OpenFailureRow{
            "ComHeldByAnotherOpen", LinkKind::Com,
            [](Scene& s) {
              const std::string pty = s.Pty();
              s.serial.PortName.Assign(pty);
              s.holder = std::make_unique<SerialPort>();
              SerialSettings first = s.serial;
              NetTarget net;
              LptDeviceName lpt;
              if (pty.empty() || s.holder->Open(LinkTargets{&first, &lpt, &net}) == InvalidLink) {
                return std::string();
              }
              return pty + ": in use by another program";
            },
            OpenFailureCause::Busy},
        OpenFailureRow{"ComWithoutPermission", LinkKind::Com,
                       [](Scene& s) {
                         const std::string pty = s.Pty();
                         s.serial.PortName.Assign(pty);
                         ::chmod(pty.c_str(), 0);
                         return pty +
                                ": permission denied \u2014 add your user to the dialout group";
                       },
                       OpenFailureCause::PermissionDenied, true},
        OpenFailureRow{"LptMissingDevice", LinkKind::Lpt,
                       [](Scene& s) {
                         s.lpt.Assign(Missing);
                         return Missing + ": no such device";
                       },
                       OpenFailureCause::NotFound},
        OpenFailureRow{"LptFifoNobodyReads", LinkKind::Lpt,
                       [](Scene& s) {
                         const std::string path = s.Path("lpt");
                         s.lpt.Assign(path);
                         return ::mkfifo(path.c_str(), 0600) == 0 ? path + ": nobody reads it"
                                                                  : std::string();
                       },
                       OpenFailureCause::NotFound},
        OpenFailureRow{"LptLockedByAnotherProgram", LinkKind::Lpt,
                       [](Scene& s) {
                         const std::string path = s.LockedFifo();
                         s.lpt.Assign(path);
                         return path.empty() ? path : path + ": in use by another program";
                       },
                       OpenFailureCause::Busy},
        OpenFailureRow{"LptWithoutPermission", LinkKind::Lpt,
                       [](Scene& s) {
                         const std::string path = s.Path("lp0");
                         s.fds.push_back(::open(path.c_str(), O_CREAT | O_WRONLY, 0));
                         s.lpt.Assign(path);
                         return path + ": permission denied \u2014 add your user to the lp group";
                       },
                       OpenFailureCause::PermissionDenied, true},
        OpenFailureRow{
            "NetNoHost", LinkKind::Ethernet,
            [](Scene&) { return std::string("no printer host set (TCP/IP Setup chooses one)"); },
            OpenFailureCause::NoSettings},
        OpenFailureRow{"NetNameDoesNotResolve", LinkKind::Ethernet,
                       [](Scene& s) {
                         s.net.Host.Assign("printer.invalid");
                         return std::string("printer.invalid: does not resolve to an IPv4 address");
                       },
                       OpenFailureCause::HostUnresolved},
        OpenFailureRow{"NetAnyAddress", LinkKind::Ethernet,
                       [](Scene& s) {
                         s.net.Host.Assign("0.0.0.0");
                         return std::string(
                             "0.0.0.0:9100: not a printer's address (0.0.0.0 is this machine)");
                       },
                       OpenFailureCause::HostRefused},
        OpenFailureRow{"NetNothingListens", LinkKind::Ethernet,
                       [](Scene& s) {
                         s.net.Host.Assign("127.0.0.1");
                         s.net.Port = ClosedTcpPort();
                         return "127.0.0.1:" + std::to_string(s.net.Port) +
                                ": connection refused (nothing listens there)";
                       },
                       OpenFailureCause::ConnectionRefused},
        OpenFailureRow{"UsbNoPrinterOfTheVendor", LinkKind::Usb,
                       [](Scene& s) {
                         s.usb->devices = {
                             FakeUsbBus::Device(PrinterVendorNumber() ^ 0x0101, 1, 1, {1})};
                         return "no USB printer with vendor id " + std::string(PrinterVendorId);
                       },
                       OpenFailureCause::NoDevice},
        OpenFailureRow{"UsbOpenRefused", LinkKind::Usb,
                       [](Scene& s) {
                         s.usb->openFails = true;
                         s.usb->refusal = {OpenFailureCause::PermissionDenied, "permission denied"};
                         return UsbPathText(s.usb->devices[0]) +
                                ": permission denied \u2014 install the udev rule "
                                "70-q73580-printer.rules, then plug the printer in again";
                       },
                       OpenFailureCause::PermissionDenied}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
