// Drives the whole launcher entry on the fake platform from one input and
// aborts when any of the launcher's promises breaks.
//
// The input's layout: fuzz_input.h.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "launcher/launcher.h"
#include "tests/fake_platform.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using olm::Dword;

void Require(bool ok, const char* promise) {
  if (ok)
    return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

// The delay text as swscanf's " %i" with nothing after it reads it, by way
// of strtoull: the oracle for what set-delay mode may store.
std::optional<Dword> ReferenceDelay(const std::wstring& text) {
  std::string ascii;
  for (wchar_t c : text) {
    if (c <= 0 || c > 0x7F)
      return std::nullopt;
    ascii += char(c);
  }
  size_t i = ascii.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos)
    return std::nullopt;
  bool negative = ascii[i] == '-';
  if (ascii[i] == '-' || ascii[i] == '+')
    ++i;
  std::string digits = ascii.substr(i);
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' &&
      (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits = digits.substr(2);
  } else if (!digits.empty() && digits[0] == '0') {
    base = 8;
  }
  const char* allowed = base == 16  ? "0123456789abcdefABCDEF"
                        : base == 8 ? "01234567"
                                    : "0123456789";
  if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos)
    return std::nullopt;
  errno = 0;
  unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, base);
  if (errno == ERANGE || magnitude > (negative ? 0x80000000ull : 0xFFFFFFFFull))
    return std::nullopt;
  return Dword(negative ? 0u - Dword(magnitude) : Dword(magnitude));
}

// The companion batch path: the module path cut after the '.' that opens
// its file name's extension, plus "bat".
std::optional<std::wstring> ReferenceBatchPath(const std::wstring& module) {
  size_t name = module.find_last_of(L"\\/");
  size_t dot = module.rfind(L'.');
  if (dot == std::wstring::npos || (name != std::wstring::npos && dot < name))
    return std::nullopt;
  return module.substr(0, dot + 1) + L"bat";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  olm::FuzzInput in;
  if (!olm::DecodeFuzzInput(data, size, &in))
    return 0;

  olm::FakePlatform fake;
  olm::SetUpFake(in, fake);
  std::optional<olm::RegistryValue> wait_before;
  if (fake.StoredWait())
    wait_before = *fake.StoredWait();

  int status = olm::LauncherEntry(fake, nullptr,
                                  in.argument ? in.argument->c_str() : nullptr);

  Require(status == 0 || status == -1 || status == -2, "status 0, -1 or -2");
  Require(fake.boxes.size() == (status < 0 ? 1u : 0u),
          "one box before a negative status, none otherwise");
  for (const olm::ShownBox& box : fake.boxes)
    Require(box.style == 0x30, "box style OK and exclamation");
  Require(fake.open_keys == 0, "every key released");
  Require(fake.starts.size() <= 1 && fake.waits.size() <= 1,
          "at most one wait and one start");

  std::optional<std::wstring> batch = ReferenceBatchPath(in.module);
  bool usable = !fake.module_path_query_fails && in.module.size() <= 125 &&
                batch.has_value();
  if (!usable) {
    Require(status == -1 && fake.key_requests.empty() && fake.starts.empty() &&
                fake.waits.empty(),
            "an unusable module path ends before anything else");
    return 0;
  }

  bool delay_switch =
      in.argument && in.argument->size() >= 2 &&
      ((*in.argument)[0] == L'-' || (*in.argument)[0] == L'/') &&
      ((*in.argument)[1] == L'w' || (*in.argument)[1] == L'W');
  if (delay_switch) {
    Require(fake.starts.empty() && fake.waits.empty(),
            "set-delay mode starts nothing and waits for nothing");
    std::optional<Dword> delay = ReferenceDelay(in.argument->substr(2));
    bool stored = delay && !fake.create_fails && !fake.set_fails;
    Require((status == 0) == stored, "status 0 exactly when stored");
    const olm::RegistryValue* wait = fake.StoredWait();
    bool changed = wait_before.has_value() != (wait != nullptr) ||
                   (wait && !(*wait == *wait_before));
    if (stored || changed) {
      Require(delay && wait && wait->type == 4 &&
                  wait->bytes ==
                      std::vector<unsigned char>{(unsigned char)(*delay),
                                                 (unsigned char)(*delay >> 8),
                                                 (unsigned char)(*delay >> 16),
                                                 (unsigned char)(*delay >> 24)},
              "Wait written only as an accepted number's 4-byte REG_DWORD");
    }
    return 0;
  }

  Require(fake.registry_writes == 0, "run mode never writes the registry");
  std::vector<Dword> waits;
  if ((in.flags & 0x80) && in.value_length <= 4 && !fake.open_fails) {
    Dword delay = 0;
    for (size_t i = 0; i < in.value.size(); ++i)
      delay |= Dword(in.value[i]) << (8 * i);
    if (delay != 0xFFFFFFFFu)
      waits.push_back(delay);
  }
  Require(fake.waits == waits,
          "waits for a stored delay of up to 4 bytes, never endlessly");
  std::wstring command_line = L"/C \"" + *batch + L"\"";
  if (command_line.size() > 127 || batch->find(L'%') != std::wstring::npos) {
    Require(status == -1 && fake.starts.empty(),
            "a batch path that does not fit or holds '%' starts nothing");
    return 0;
  }
  Require(fake.starts.size() == 1, "run mode starts the interpreter");
  Require(fake.starts[0].application == L"\\Windows\\cmd.exe",
          "the interpreter is \\Windows\\cmd.exe");
  Require(fake.starts[0].command_line == command_line,
          "the command line is /C \"<batch path>\"");
  Require(status == (fake.create_process_result ? 0 : -2),
          "status 0 once started, -2 when refused");
  return 0;
}
