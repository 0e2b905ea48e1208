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

  // The one box shown, with the failure style every box uses.
  void ExpectOneBox(const std::wstring& text, const std::wstring& caption) {
    ASSERT_EQ(fake_.boxes.size(), 1u);
    EXPECT_EQ(fake_.boxes[0].text, text);
    EXPECT_EQ(fake_.boxes[0].caption, caption);
    EXPECT_EQ(fake_.boxes[0].style, 0x30u);
  }

  // The one registry key request: the start delay's key, with the options
  // and access the launcher must ask for.
  void ExpectOneKeyRequest(const std::wstring& call, Dword access) {
    ASSERT_EQ(fake_.key_requests.size(), 1u);
    EXPECT_EQ(fake_.key_requests[0].call, call);
    EXPECT_EQ(fake_.key_requests[0].sub_key, kExpectedWaitKeyPath);
    EXPECT_EQ(fake_.key_requests[0].options, 0u);
    EXPECT_EQ(fake_.key_requests[0].access, access);
  }

  void TearDown() override { EXPECT_EQ(fake_.open_keys, 0) << "key leaked"; }

  FakePlatform fake_;
};

}  // namespace olm

#endif  // OLMINIT_TESTS_UNIT_LAUNCHER_TEST_H_
