// The program's unit tests run inside a host session, as the program does:
// the plug-in module is loaded (its mode names and classes are what scene
// files refer to) and the host's map classes are registered.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/host_session.h"

namespace {

class SessionEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string error;
    session_ = tessary::app::HostSession::Start(error);
    ASSERT_TRUE(session_) << error;
  }
  void TearDown() override { session_.reset(); }

 private:
  std::unique_ptr<tessary::app::HostSession> session_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

}  // namespace
