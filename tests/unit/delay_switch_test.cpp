// Set-delay mode: switch forms, number notations, usage box and the store.
#include "launcher/delay_switch.h"

#include <string>
#include <vector>

#include "tests/unit/launcher_test.h"

namespace olm {
namespace {

const wchar_t kUsage[] =
    L"Use:\tOlmInit\t... for running the batch file OlmInit.bat\n"
    L"OR\tOlmInit -W<msec>\t... for setting delay <nnn> msec into the "
    L"registry";

std::vector<unsigned char> Le(Dword v) {
  return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
          static_cast<unsigned char>(v >> 16),
          static_cast<unsigned char>(v >> 24)};
}

class DelaySwitchTest : public LauncherTest {
 protected:
  // Set-delay mode never waits or starts anything, whatever its outcome.
  void TearDown() override {
    EXPECT_TRUE(fake_.waits.empty());
    EXPECT_TRUE(fake_.starts.empty());
    LauncherTest::TearDown();
  }

  void ExpectStored(Dword delay) {
    const RegistryValue* wait = fake_.StoredWait();
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(wait->type, 4u);
    EXPECT_EQ(wait->bytes, Le(delay));
  }
};

TEST_F(DelaySwitchTest, EverySwitchFormStoresTheDelay) {
  for (const wchar_t* text : {L"-w500", L"/w500", L"-W500", L"/W500"}) {
    SCOPED_TRACE(std::string(text, text + 5));
    fake_ = FakePlatform();
    EXPECT_EQ(Run(text), 0);
    ExpectStored(500);
    EXPECT_TRUE(fake_.boxes.empty());
    ExpectOneKeyRequest(L"create", 0xF003Fu);
  }
}

struct DelayTextCase {
  const wchar_t* text;  // after the switch
  bool accepted;
  Dword delay;
};

TEST_F(DelaySwitchTest, DelayTextIsExactlyOneNumber) {
  const DelayTextCase cases[] = {
      {L"500", true, 500},
      {L"   500", true, 500},
      {L" \t\n\v\f\r500", true, 500},
      {L"+500", true, 500},
      {L"0x1F4", true, 500},
      {L"0X1f4", true, 500},
      {L"0764", true, 500},
      {L"-0x1F4", true, 0u - 500u},
      {L"65536", true, 0x00010000u},
      {L"0x12345678", true, 0x12345678u},
      {L"0", true, 0},
      {L"-0", true, 0},
      {L"00", true, 0},
      {L"0x0", true, 0},
      {L"000000000000000000764", true, 500},
      {L"-1", true, 0xFFFFFFFFu},
      {L"2147483647", true, 0x7FFFFFFFu},
      {L"-2147483648", true, 0x80000000u},
      {L"4294967295", true, 0xFFFFFFFFu},
      {L"0xFFFFFFFF", true, 0xFFFFFFFFu},
      {L"037777777777", true, 0xFFFFFFFFu},
      {L"", false, 0},
      {L"   ", false, 0},
      {L"500 ", false, 0},
      {L"500\t", false, 0},
      {L"500x", false, 0},
      // Each neighbour of a digit class, right after a digit.
      {L"5/", false, 0},
      {L"5:", false, 0},
      {L"5@", false, 0},
      {L"5A", false, 0},
      {L"5a", false, 0},
      {L"0768", false, 0},
      {L"0x1F4/", false, 0},
      {L"0x1F4:", false, 0},
      {L"0x1F4@", false, 0},
      {L"0x1F4G", false, 0},
      {L"0x1F4`", false, 0},
      {L"0x1F4g", false, 0},
      {L"5 00", false, 0},
      {L"1.5", false, 0},
      {L"abc", false, 0},
      {L"+", false, 0},
      {L"-", false, 0},
      {L"- 5", false, 0},
      {L"+-5", false, 0},
      {L"0x", false, 0},
      {L"0X", false, 0},
      {L"0xg", false, 0},
      {L"x1F4", false, 0},
      {L"08", false, 0},
      {L"1F4", false, 0},
      {L"4294967296", false, 0},
      {L"-2147483649", false, 0},
      {L"0x100000000", false, 0},
      {L"040000000000", false, 0},
      {L"99999999999999999999999999", false, 0},
      {L"\x0660", false, 0},  // a digit, but not an ASCII one
  };
  for (const DelayTextCase& c : cases) {
    std::wstring argument = std::wstring(L"-w") + c.text;
    SCOPED_TRACE(std::string(argument.begin(), argument.end()));
    fake_ = FakePlatform();
    StoreWait(4, Le(7));
    if (c.accepted) {
      EXPECT_EQ(Run(argument.c_str()), 0);
      ExpectStored(c.delay);
      EXPECT_TRUE(fake_.boxes.empty());
    } else {
      EXPECT_EQ(Run(argument.c_str()), -1);
      ExpectOneBox(kUsage, L"OlmInit");
      ExpectStored(7);
      EXPECT_EQ(fake_.registry_writes, 0);
    }
  }
}

TEST_F(DelaySwitchTest, StoredDelayIsFlushedWhateverTheFlushAnswers) {
  for (long flush_result : {0L, 50L, 5L, 1015L}) {
    SCOPED_TRACE(flush_result);
    fake_ = FakePlatform();
    fake_.flush_result = flush_result;
    EXPECT_EQ(Run(L"-w500"), 0);
    EXPECT_EQ(fake_.flushes, 1);
    ExpectStored(500);
    EXPECT_TRUE(fake_.boxes.empty());
  }
}

TEST_F(DelaySwitchTest, ReplacesAValueOfAnyType) {
  StoreWait(1, {'1', 0, '0', 0, 0, 0});
  EXPECT_EQ(Run(L"/W250"), 0);
  ExpectStored(250);
}

TEST_F(DelaySwitchTest, RegistryRefusalShowsKeyErrorAndReturnsMinusOne) {
  for (int refusal = 0; refusal < 2; ++refusal) {
    SCOPED_TRACE(refusal == 0 ? "create" : "set");
    fake_ = FakePlatform();
    fake_.create_fails = refusal == 0;
    fake_.set_fails = refusal == 1;
    EXPECT_EQ(Run(L"-w500"), -1);
    ExpectOneBox(L"Registry key error!", L"OlmInit");
    EXPECT_EQ(fake_.StoredWait(), nullptr);
    EXPECT_EQ(fake_.flushes, 0);
  }
}

}  // namespace
}  // namespace olm
