// The preview tool run as a user runs it, from a fixture that owns a scratch
// folder (kept when a test fails, for a look at what the tool wrote).
#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "png_image.h"

namespace vthud_test {

struct Result {
  int status = -1;
  std::string out, err;
};

inline std::string Slurp(const std::string& pPath) {
  std::ifstream lFile(pPath, std::ios::binary);
  std::stringstream lText;
  lText << lFile.rdbuf();
  return lText.str();
}

// Single-quoted for the shell.
inline std::string Quote(const std::string& pText) {
  std::string lQuoted = "'";
  for (char c : pText) lQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return lQuoted + "'";
}

// A port free on 127.0.0.1 just now (UDP, or pType SOCK_STREAM).
inline int FreePort(int pType = SOCK_DGRAM) {
  const int s = socket(AF_INET, pType, 0);
  sockaddr_in lAddress{};
  lAddress.sin_family = AF_INET;
  lAddress.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t lSize = sizeof lAddress;
  bind(s, reinterpret_cast<sockaddr*>(&lAddress), sizeof lAddress);
  getsockname(s, reinterpret_cast<sockaddr*>(&lAddress), &lSize);
  close(s);
  return ntohs(lAddress.sin_port);
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string lTemplate =
        "/tmp/vthud-" + std::string(::testing::UnitTest::GetInstance()->current_test_suite()->name()) + "-XXXXXX";
    ASSERT_NE(mkdtemp(&lTemplate[0]), nullptr);
    dir = lTemplate;
  }
  void TearDown() override {
    if (!HasFailure()) system(("rm -rf " + Quote(dir)).c_str());
  }

  // Runs the tool with pArguments; pPrefix goes before it on the shell line
  // (environment settings).
  Result Tool(const std::vector<std::string>& pArguments, const std::string& pPrefix = "") {
    std::string lLine = pPrefix + " " + Quote(VTHUD_PREVIEW_TOOL);
    for (const std::string& lArgument : pArguments) lLine += " " + Quote(lArgument);
    Result r;
    const int lStatus = system((lLine + " >" + Quote(dir + "/stdout") + " 2>" + Quote(dir + "/stderr")).c_str());
    r.status = WIFEXITED(lStatus) ? WEXITSTATUS(lStatus) : -1;
    r.out = Slurp(dir + "/stdout");
    r.err = Slurp(dir + "/stderr");
    return r;
  }

  vthost::Image Png(const std::string& pName) {
    vthost::Image lImage;
    std::string lError;
    EXPECT_TRUE(vthost::ReadPng(dir + "/" + pName, lImage, lError)) << lError;
    return lImage;
  }

  std::string dir;
};

}  // namespace vthud_test
