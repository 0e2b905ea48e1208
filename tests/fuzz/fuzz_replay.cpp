// Runs each fuzz input given on the command line through the launcher on
// the fake platform and prints one line of what a device would show of it:
//   FILE: status S; boxes [TEXT|CAPTION|STYLE ...]; waits [MS ...];
//   starts [APPLICATION COMMAND_LINE ...]; Wait TYPE HEX | no value | no key
// Units outside printable ASCII are written \uXXXX. tests/device/ce_device.py
// writes the same line for the device executable and compares.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

std::string Text(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c) & 0xFFFF);
      out += escaped;
    }
  }
  return out;
}

std::string Outcome(const olm::FuzzInput& in) {
  olm::FakePlatform fake;
  olm::SetUpFake(in, fake);
  int status = olm::LauncherEntry(fake, nullptr,
                                  in.argument ? in.argument->c_str() : nullptr);
  std::string line = "status " + std::to_string(status) + "; boxes [";
  for (const olm::ShownBox& box : fake.boxes)
    line += " " + Text(box.text) + "|" + Text(box.caption) + "|" +
            std::to_string(box.style);
  line += " ]; waits [";
  for (olm::Dword wait : fake.waits)
    line += " " + std::to_string(wait);
  line += " ]; starts [";
  for (const olm::ProcessStart& start : fake.starts)
    line += " " + Text(start.application) + " " + Text(start.command_line);
  line += " ]; Wait ";
  const olm::RegistryValue* wait = fake.StoredWait();
  if (wait != nullptr) {
    line += std::to_string(wait->type) + " ";
    for (unsigned char byte : wait->bytes) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", byte);
      line += hex;
    }
  } else {
    line +=
        fake.registry.count(olm::kExpectedWaitKeyPath) ? "no value" : "no key";
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    olm::FuzzInput in;
    bool decoded = file && olm::DecodeFuzzInput(data.data(), data.size(), &in);
    std::printf("%s: %s\n", argv[i],
                decoded ? Outcome(in).c_str() : "not an input");
  }
  return 0;
}
