// libFuzzer target for the command line: splitting by the C runtime's rules
// and the conversion of the arguments to UTF-8, up to the helper's run.
// The input is the command line as little-endian UTF-16 (an odd last byte is
// dropped), so any unit, unpaired surrogates included, can occur. Checked
// besides the sanitizers:
// - the split never yields more text than the line holds, nor more arguments
//   than it has units;
// - the arguments, each written in quoted form and joined by blanks, split
//   back to the same arguments;
// - an argument converts to UTF-8 exactly when it holds no unpaired
//   surrogate, and the UTF-8 converts back to the same units;
// - the whole run ends with status 0, 1 or 2, never an internal error: 2 with
//   a diagnostic and no response for missing or ill-formed arguments,
//   otherwise one response to the third argument whose "status" matches the
//   exit status.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/utf.hpp"
#include "elevate/command_line.hpp"
#include "elevate/run_helper.hpp"
#include "support/describer.hpp"
#include "support/fuzz_check.hpp"
#include "support/recording_writer.hpp"

namespace {

using tarnwick::fuzz::require;

constexpr const char* kTarget = "command-line-fuzz";
constexpr std::u16string_view kProgramPath = u"C:\\Program Files\\Tarnwick\\tarnwick-helper.exe";

void check(bool condition, const char* what) { require(condition, kTarget, what); }

std::u16string utf16_units(const std::uint8_t* data, std::size_t size) {
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  return units;
}

// The quoted form of one argument: backslashes doubled where a quote follows
// them, literal quotes escaped.
std::u16string quoted_argument(std::u16string_view arg) {
  std::u16string out = u"\"";
  std::size_t backslashes = 0;
  for (const char16_t c : arg) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      out.append(2 * backslashes + 1, u'\\');
    } else {
      out.append(backslashes, u'\\');
    }
    out.push_back(c);
    backslashes = 0;
  }
  out.append(2 * backslashes, u'\\');
  return out + u"\"";
}

// The program path has its own rules (no escapes; it never holds a quote).
std::u16string joined(const std::vector<std::u16string>& args) {
  std::u16string line = u"\"" + args[0] + u"\"";
  for (std::size_t i = 1; i < args.size(); ++i) line += u" " + quoted_argument(args[i]);
  return line;
}

bool has_unpaired_surrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

void check_split(std::u16string_view line, const std::vector<std::u16string>& args) {
  check(!args.empty(), "at least the program path");
  if (line.empty()) {
    check(args.size() == 1 && args[0] == kProgramPath, "empty line gives the program path");
    return;
  }
  std::size_t units = 0;
  for (const auto& arg : args) units += arg.size();
  check(units <= line.size(), "no more text than the line");
  check(args.size() <= line.size() + 1, "no more arguments than units");
  check(args[0].find(u'"') == std::u16string::npos, "program path without quotes");
  check(tarnwick::split_command_line(joined(args), u"unused.exe") == args, "quoted form splits back");
}

// Returns whether every argument converted.
bool check_conversion(const std::vector<std::u16string>& args) {
  bool all = true;
  for (const auto& arg : args) {
    const auto text = tarnwick::utf16_to_utf8(arg);
    const std::string lossy = tarnwick::utf16_to_utf8_lossy(arg);
    check(tarnwick::fuzz::valid_utf8(lossy), "lossy conversion is valid UTF-8");
    check(text.has_value() == !has_unpaired_surrogate(arg), "strict conversion refuses exactly unpaired surrogates");
    if (!text) {
      all = false;
      continue;
    }
    check(*text == lossy, "strict and lossy agree on well-formed text");
    check(tarnwick::fuzz::valid_utf8(*text), "converted argument is valid UTF-8");
    check(tarnwick::utf8_to_utf16(*text) == arg, "UTF-8 converts back to the same units");
  }
  return all;
}

class EmptyRegistry final : public tarnwick::StartupRegistry {
 public:
  tarnwick::Result<std::vector<tarnwick::RunValue>, tarnwick::OsError> run_values(tarnwick::StartupScope) override {
    return std::vector<tarnwick::RunValue>{};
  }
  tarnwick::Result<tarnwick::ApprovedStates, tarnwick::OsError> approved_values(tarnwick::StartupScope) override {
    return tarnwick::ApprovedStates(tarnwick::ascii_upcase);
  }
  tarnwick::Result<tarnwick::Done, tarnwick::OsError> set_approved_value(tarnwick::StartupScope, const std::string&,
                                                                         const tarnwick::Bytes&) override {
    return tarnwick::Done{};
  }
};

class NothingToClean final : public tarnwick::SystemCleaner {
 public:
  tarnwick::Result<std::uint64_t, tarnwick::OsError> clean_system() override { return std::uint64_t{4096}; }
};

using tarnwick::test::RecordingWriter;

class RecordingStream final : public tarnwick::ErrorStream {
 public:
  std::string text;
  void write(std::string_view bytes) override { text += bytes; }
};

void check_run(std::u16string_view line, const std::vector<std::u16string>& args, bool converted) {
  EmptyRegistry registry;
  NothingToClean cleaner;
  RecordingWriter writer;
  RecordingStream err;
  const int status =
      tarnwick::run_helper(line, kProgramPath, {registry, cleaner, tarnwick::test::describe_os_error, writer, err});
  if (!converted || args.size() < 3) {
    check(status == tarnwick::kExitUsage, "usage status for missing or ill-formed arguments");
    check(writer.calls == 0, "no response without usable arguments");
    check(!err.text.empty(), "a diagnostic for missing or ill-formed arguments");
    return;
  }
  check(status == tarnwick::kExitOk || status == tarnwick::kExitFailed, "status 0 or 1 once the arguments are read");
  check(err.text.empty(), "nothing on standard error once the arguments are read");
  check(writer.calls == 1, "exactly one response");
  check(writer.path == tarnwick::utf16_to_utf8(args[2]), "response goes to the third argument");
  const auto response = tarnwick::fuzz::read_response(writer.bytes);
  check(!response.is_discarded(), "response is the JSON envelope");
  check((response["status"] == "ok") == (status == tarnwick::kExitOk), "exit status matches the response");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string line = utf16_units(data, size);
  const auto args = tarnwick::split_command_line(line, kProgramPath);
  check_split(line, args);
  const bool converted = check_conversion(args);
  check_run(line, args, converted);
  return 0;
}
