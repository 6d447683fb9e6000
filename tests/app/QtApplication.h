// One QApplication for a whole test program, created before the first test
// and destroyed after the last. Including this header registers it as a
// GoogleTest environment; a test program is one source file, so it is
// registered once.
#pragma once

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

namespace halvorn::testing {

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { m_application = std::make_unique<QApplication>(m_argc, m_argv); }
  void TearDown() override { m_application.reset(); }

 private:
  // QApplication keeps references to argc and argv for its whole life.
  char m_name[16] = "halvorn-test";
  char* m_argv[2] = {m_name, nullptr};
  int m_argc = 1;
  std::unique_ptr<QApplication> m_application;
};

// GoogleTest takes ownership of the environment.
inline ::testing::Environment* const kQtApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace halvorn::testing
