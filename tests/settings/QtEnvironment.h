#pragma once

#include <gtest/gtest.h>

#include <QApplication>

namespace quorv::testing {

// One application object for the whole test program, gone before static destruction.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { app_ = new QApplication(argc_, argv_); }
    void TearDown() override { delete app_; }

  private:
    int argc_ = 1;
    char name_[16] = "quorv-test";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
};

inline const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace quorv::testing
