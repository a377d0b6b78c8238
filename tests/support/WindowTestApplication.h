#pragma once

#include <gtest/gtest.h>

#include <QApplication>

namespace quorv::testing {

// One application object for a whole test program, gone before static destruction.
// Application: the program's own subclass where a test needs it.
template <class Application = QApplication>
class WindowTestApplication : public ::testing::Environment {
  public:
    void SetUp() override { app_ = new Application(argc_, argv_); }
    void TearDown() override { delete app_; }

  private:
    int argc_ = 1;
    char name_[16] = "quorv_gui_test";
    char* argv_[2] = {name_, nullptr};
    Application* app_ = nullptr;
};

}  // namespace quorv::testing
