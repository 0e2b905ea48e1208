// Reads cases.txt, the launcher's contract one case a row (its header says
// the format), for the runners written in C++: the unit tests on the fake
// platform and the Wine runner.
#ifndef OLMINIT_TESTS_CONTRACT_CONTRACT_TABLE_H_
#define OLMINIT_TESTS_CONTRACT_CONTRACT_TABLE_H_

#include <cstdint>
#include <exception>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace contract {

// Wait before or after a start.
struct Value {
  enum Kind { kNoKey, kNoValue, kValue } kind = kNoKey;
  uint32_t type = 0;
  std::vector<unsigned char> bytes;
  bool operator==(const Value& o) const {
    return kind == o.kind && type == o.type && bytes == o.bytes;
  }
};

struct Box {
  std::wstring text, caption;
  uint32_t style = 0;
};

struct Start {
  std::wstring application, command_line;
};

struct Row {
  int line = 0;
  std::string name;
  std::optional<std::wstring> argument;
  std::wstring module;
  std::string system;  // -, ce5, ce6 or desktop
  Value stored;
  std::vector<std::string> refused;  // RegFlushKey:N keeps its code
  int status = 0;
  std::optional<Box> box;
  std::optional<uint32_t> wait;
  std::optional<Start> start;
  Value after;
  std::string marks;

  bool Refuses(const std::string& call) const {
    for (const std::string& r : refused)
      if (r.compare(0, r.find(':'), call) == 0)
        return true;
    return false;
  }
  // What the flush answers: 0 unless refused with a code.
  long FlushAnswer() const {
    for (const std::string& r : refused)
      if (r.compare(0, 12, "RegFlushKey:") == 0)
        return std::stol(r.substr(12));
    return 0;
  }
};

struct Table {
  std::vector<Row> rows;
  // The desktop's start, with {system} and {batch} still in it.
  std::wstring desktop_application, desktop_command_line;
  std::string error;  // empty when the whole table was read
};

namespace detail {

inline std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The field's text with its {...} escapes replaced; false when malformed.
inline bool Decode(const std::string& field, std::wstring* out) {
  out->clear();
  for (size_t i = 0; i < field.size(); ++i) {
    unsigned char c = field[i];
    if (c >= 0x80 || c < 0x20)
      return false;  // the table is printable ASCII
    if (c != '{') {
      *out += wchar_t(c);
      continue;
    }
    size_t end = field.find('}', i);
    if (end == std::string::npos)
      return false;
    std::string e = field.substr(i + 1, end - i - 1);
    i = end;
    static const struct { const char* name; wchar_t unit; } kNamed[] = {
        {"sp", L' '}, {"tab", L'\t'}, {"lf", L'\n'}, {"cr", L'\r'},
        {"vt", L'\v'}, {"ff", L'\f'}, {"bar", L'|'}, {"lb", L'{'}};
    bool named = e == "empty";
    for (const auto& n : kNamed)
      if (e == n.name) {
        *out += n.unit;
        named = true;
      }
    size_t star = e.find('*');
    if (named)
      continue;
    if (e.compare(0, 2, "U+") == 0 && e.size() == 6)
      *out += wchar_t(std::stoul(e.substr(2), nullptr, 16));
    else if (star != std::string::npos && star + 2 == e.size() && star > 0)
      out->append(std::stoul(e.substr(0, star)), wchar_t(e[star + 1]));
    else
      return false;
  }
  return true;
}

inline bool ParseValue(const std::string& field, Value* v) {
  if (field == "none" || field == "key") {
    v->kind = field == "none" ? Value::kNoKey : Value::kNoValue;
    return true;
  }
  size_t colon = field.find(':');
  if (colon == std::string::npos || (field.size() - colon - 1) % 2 != 0)
    return false;
  v->kind = Value::kValue;
  v->type = std::stoul(field.substr(0, colon));
  for (size_t i = colon + 1; i < field.size(); i += 2)
    v->bytes.push_back(std::stoul(field.substr(i, 2), nullptr, 16));
  return true;
}

inline std::vector<std::string> Split(const std::string& line, char at) {
  std::vector<std::string> fields;
  size_t from = 0;
  for (size_t bar; (bar = line.find(at, from)) != std::string::npos;
       from = bar + 1)
    fields.push_back(Trim(line.substr(from, bar - from)));
  fields.push_back(Trim(line.substr(from)));
  return fields;
}

inline bool ParseRow(const std::vector<std::string>& f, Row* r) {
  std::wstring text[6];
  const int kText[6] = {1, 2, 7, 8, 11, 12};
  for (int i = 0; i < 6; ++i)
    if (!(i == 0 && f[1] == "{none}") && !Decode(f[kText[i]], &text[i]))
      return false;
  r->name = f[0];
  if (f[1] != "{none}")
    r->argument = text[0];
  r->module = text[1];
  r->system = f[3];
  if (r->system != "-" && r->system != "ce5" && r->system != "ce6" &&
      r->system != "desktop")
    return false;
  if (!ParseValue(f[4], &r->stored) || !ParseValue(f[13], &r->after))
    return false;
  if (f[5] != "-")
    r->refused = Split(f[5], ',');
  r->status = std::stoi(f[6]);
  if (f[7] != "-")
    r->box = Box{text[2], text[3], uint32_t(std::stoul(f[9], nullptr, 16))};
  if (f[10] != "-")
    r->wait = uint32_t(std::stoul(f[10]));
  if (f[11] != "-")
    r->start = Start{text[4], text[5]};
  r->marks = f[14];
  return true;
}

}  // namespace detail

inline Table ReadTable(const std::string& path) {
  Table table;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    table.error = path + ": cannot be read";
  std::string line;
  for (int number = 1; table.error.empty() && std::getline(in, line);
       ++number) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty() || line[0] == '#')
      continue;
    std::vector<std::string> f = detail::Split(line, '|');
    bool ok = false;
    if (f.size() == 3 && f[0] == "desktop") {
      // Kept as written: {system} and {batch} are filled in by the runner.
      table.desktop_application.assign(f[1].begin(), f[1].end());
      table.desktop_command_line.assign(f[2].begin(), f[2].end());
      ok = true;
    } else if (f.size() == 15) {
      Row row;
      row.line = number;
      try {
        ok = detail::ParseRow(f, &row);
      } catch (const std::exception&) {  // a number that is none
      }
      if (ok)
        table.rows.push_back(row);
    }
    if (!ok)
      table.error = path + ":" + std::to_string(number) + ": malformed";
  }
  if (table.error.empty() && table.rows.empty())
    table.error = path + ": no rows";
  return table;
}

}  // namespace contract

#endif  // OLMINIT_TESTS_CONTRACT_CONTRACT_TABLE_H_
