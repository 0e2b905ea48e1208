// The fixture every launcher test shares: one fake platform and the entry.
#ifndef OLMINIT_TESTS_UNIT_LAUNCHER_TEST_H_
#define OLMINIT_TESTS_UNIT_LAUNCHER_TEST_H_

#include <gtest/gtest.h>

#include <string>

#include "launcher/launcher.h"
#include "tests/fake_platform.h"

namespace olm {

class LauncherTest : public ::testing::Test {
 protected:
  int Run(const wchar_t* argument_text) {
    return LauncherEntry(fake_, nullptr, argument_text);
  }

  void StoreWait(Dword type, std::vector<unsigned char> bytes) {
    fake_.registry[kExpectedWaitKeyPath][kExpectedWaitValueName] = {type,
                                                                    bytes};
  }

  // The one box shown.
  void ExpectOneBox(const std::wstring& text, const std::wstring& caption,
                    Dword style) {
    ASSERT_EQ(fake_.boxes.size(), 1u);
    EXPECT_EQ(fake_.boxes[0].text, text);
    EXPECT_EQ(fake_.boxes[0].caption, caption);
    EXPECT_EQ(fake_.boxes[0].style, style);
  }

  void TearDown() override { EXPECT_EQ(fake_.open_keys, 0) << "key leaked"; }

  FakePlatform fake_;
};

}  // namespace olm

#endif  // OLMINIT_TESTS_UNIT_LAUNCHER_TEST_H_
