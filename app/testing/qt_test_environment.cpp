// Gives every window test one QApplication with the program's skin, created
// before the first test runs (listing the tests needs none).
#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

#include "app/skin/skin.h"

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    quillora::skin::FixDpiBeforeApplication();
    app_ = std::make_unique<QApplication>(argc_, argv_);
    quillora::skin::Install(*app_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "window_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

const auto* const kRegistered = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
