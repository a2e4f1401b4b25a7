// What only the Windows build decides: the device a port name opens, and what a Win32 error
// tells the technician.

#include <windows.h>

#include <gtest/gtest.h>

#include "link/open_failure.h"
#include "link/parallel_port.h"
#include "link/serial_port_names.h"

namespace {

// COM10 and up open only in the device namespace; a name that is no COMn or LPTn stays as it is.
TEST(Win32PortNames, ComAndLptNamesOpenTheDeviceItself) {
  EXPECT_EQ(SerialDevicePath("COM1"), QStringLiteral("\\\\.\\COM1"));
  EXPECT_EQ(SerialDevicePath("COM10"), QStringLiteral("\\\\.\\COM10"));
  EXPECT_EQ(SerialDevicePath("COM0"), QStringLiteral("COM0"));
  EXPECT_EQ(SerialDevicePath("COM3x"), QStringLiteral("COM3x"));
  EXPECT_EQ(SerialDevicePath("\\\\.\\COM4"), QStringLiteral("\\\\.\\COM4"));
  EXPECT_EQ(ParallelDevicePath("LPT2"), QStringLiteral("\\\\.\\LPT2"));
  EXPECT_EQ(ParallelDevicePath("PRN"), QStringLiteral("PRN"));
}

struct ErrorCase {
  const char* name;
  DWORD error;
  OpenFailureCause cause;
};

class Win32OpenFailure : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(Win32OpenFailure, NamesTheCauseAndTheDevice) {
  const OpenFailure failure = OpenFailureFromWin32(GetParam().error, "COM3");
  EXPECT_EQ(failure.cause, GetParam().cause);
  EXPECT_EQ(failure.detail.rfind("COM3: ", 0), 0u) << failure.detail;
  EXPECT_GT(failure.detail.size(), 6u);
}

// A port another program holds says "access denied" on Windows: it is busy, not a matter of
// the user's rights.
INSTANTIATE_TEST_SUITE_P(
    Codes, Win32OpenFailure,
    ::testing::Values(ErrorCase{"Missing", ERROR_FILE_NOT_FOUND, OpenFailureCause::NotFound},
                      ErrorCase{"NoPath", ERROR_PATH_NOT_FOUND, OpenFailureCause::NotFound},
                      ErrorCase{"Held", ERROR_ACCESS_DENIED, OpenFailureCause::Busy},
                      ErrorCase{"Shared", ERROR_SHARING_VIOLATION, OpenFailureCause::Busy},
                      ErrorCase{"Other", ERROR_GEN_FAILURE, OpenFailureCause::Other}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

}  // namespace
