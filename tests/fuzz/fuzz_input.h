// One fuzz input: which platform calls fail, the stored delay, the module
// path and the argument text. The fuzzer and the replay program read it
// alike, and tests/device/ce_device.py reads the same layout for the device.
//
// Byte 0 says which platform calls fail (bit 0 module path query,
// 1 key open, 2 key create, 3 value set, 6 process start), what the flush
// answers (bits 4 and 5: 0, 5, 50 or 1015) and bit 7 whether the key exists;
// byte 1 holds the stored value's type (low nibble) and length (high nibble
// mod 10: 0 to 8 bytes, 9 for no value); byte 2 how a path too long for the
// buffer is answered (mod 4: CE 5.0, CE 6.0, desktop, CE 5.0); then the
// value's bytes; then UTF-16LE units: the module path, a zero unit, and the
// argument text (null without the zero). tests/contract/contract.py writes
// each contract row in this layout.
#ifndef OLMINIT_TESTS_FUZZ_FUZZ_INPUT_H_
#define OLMINIT_TESTS_FUZZ_FUZZ_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/fake_platform.h"

namespace olm {

struct FuzzInput {
  uint8_t flags = 0;
  uint8_t system = 0;
  Dword type = 0;
  size_t value_length = 0;  // 9: no value
  std::vector<unsigned char> value;
  std::wstring module;
  std::optional<std::wstring> argument;
};

// False for an input too short to hold the first three bytes.
inline bool DecodeFuzzInput(const uint8_t* data, size_t size, FuzzInput* in) {
  if (size < 3)
    return false;
  in->flags = data[0];
  in->type = data[1] & 0x0F;
  in->value_length = (data[1] >> 4) % 10;
  in->system = data[2] % 4;
  size_t at = 3;
  if (in->value_length <= 8) {
    for (size_t i = 0; i < in->value_length && at < size; ++i)
      in->value.push_back(data[at++]);
  }
  std::wstring units;
  for (; at + 1 < size; at += 2)
    units += wchar_t(data[at] | data[at + 1] << 8);
  size_t zero = units.find(L'\0');
  in->module = units.substr(0, zero);
  if (zero != std::wstring::npos)
    in->argument = units.substr(zero + 1).c_str();  // up to the next zero
  return true;
}

// Sets up `fake` as the input's system.
inline void SetUpFake(const FuzzInput& in, FakePlatform& fake) {
  fake.module_path = in.module;
  fake.module_path_query_fails = in.flags & 0x01;
  fake.open_fails = in.flags & 0x02;
  fake.create_fails = in.flags & 0x04;
  fake.set_fails = in.flags & 0x08;
  const long kFlushAnswers[] = {0, 5, 50, 1015};
  fake.flush_result = kFlushAnswers[in.flags >> 4 & 3];
  fake.module_name_system = in.system == 1   ? ModuleNameSystem::kCe6
                            : in.system == 2 ? ModuleNameSystem::kDesktopXp
                                             : ModuleNameSystem::kCe5;
  fake.create_process_result = in.flags & 0x40 ? 0 : 1;
  if (in.flags & 0x80) {
    auto& key = fake.registry[kExpectedWaitKeyPath];
    if (in.value_length <= 8)
      key[kExpectedWaitValueName] = {in.type, in.value};
  }
}

}  // namespace olm

#endif  // OLMINIT_TESTS_FUZZ_FUZZ_INPUT_H_
