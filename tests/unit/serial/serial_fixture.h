// A port object over the fake driver, with its status reports collected.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_comm.h"
#include "serial/block_serial.h"

namespace comterm::testing {

/// A status report as "reason:value", reason as its number.
inline std::string ReportText(THookSerialReason reason, const std::string& value) {
  return std::to_string(static_cast<int>(reason)) + ":" + value;
}

/// The path OpenPort("COM1") opens.
inline const std::string kCom1Path = "\\\\.\\COM1";

class SerialTest : public ::testing::Test {
 protected:
  SerialTest() {
    comm.AddDevice(kCom1Path);
    port.OnStatus = [this](TBlockSerial&, THookSerialReason reason, const std::string& value) {
      reports.push_back(ReportText(reason, value));
    };
  }

  /// Opens COM1 and forgets the calls and reports that made.
  void OpenCom1() {
    port.OpenPort("COM1");
    ASSERT_TRUE(port.PortOpen);
    comm.ClearCalls();
    reports.clear();
  }

  /// The calls so far, without the error-code queries and the clock reads.
  std::vector<std::string> DriverCalls() const {
    return comm.CallsWithout({"GetLastError", "QueryPerformanceFrequency",
                              "QueryPerformanceCounter", "GetTickCount", "FormatMessageA"});
  }

  // Declared before the port, which reports to them until it is destroyed.
  FakeComm comm;
  std::vector<std::string> reports;
  TBlockSerial port{comm};
};

}  // namespace comterm::testing
