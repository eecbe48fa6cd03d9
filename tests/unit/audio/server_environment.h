// The loopback server of tools/ for a whole test program: server_main.cpp starts it once
// before the first test and stops it after the last. Fixtures that need it begin with
// ASSERT_TRUE(g_server_error.empty()) << g_server_error.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "loopback.h"

inline loopback::Server g_server;
inline std::string g_server_error;  // why the server did not start

class ServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!g_server.start(TIVOLNA_SOURCE_DIR, TIVOLNA_MEDIA_DIR, g_server_error) &&
        g_server_error.empty())
      g_server_error = "server did not start";
  }
  void TearDown() override { g_server.stop(); }
};
