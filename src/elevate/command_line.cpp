#include "elevate/command_line.hpp"

namespace tarnwick {
namespace {

bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::vector<std::u16string> split_command_line(std::u16string_view line, std::u16string_view program_path) {
  std::vector<std::u16string> args;
  if (line.empty()) {
    args.emplace_back(program_path);
    return args;
  }

  // The program path: up to the first blank outside quotes; quotes toggle
  // and are dropped, backslashes are plain characters.
  std::size_t i = 0;
  std::u16string program;
  bool quoted = false;
  for (; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c == u'"') {
      quoted = !quoted;
    } else if (is_blank(c) && !quoted) {
      break;
    } else {
      program.push_back(c);
    }
  }
  args.push_back(std::move(program));

  for (;;) {
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i == line.size()) break;

    std::u16string arg;
    quoted = false;
    while (i < line.size()) {
      const char16_t c = line[i];
      if (c == u'\\') {
        std::size_t run = 0;
        while (i < line.size() && line[i] == u'\\') {
          ++run;
          ++i;
        }
        if (i < line.size() && line[i] == u'"') {
          // 2n backslashes + quote: n backslashes, the quote still toggles;
          // 2n+1: n backslashes and a literal quote.
          arg.append(run / 2, u'\\');
          if (run % 2 == 1) {
            arg.push_back(u'"');
            ++i;
          }
        } else {
          arg.append(run, u'\\');
        }
        continue;
      }
      if (c == u'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          arg.push_back(u'"');  // "" inside quotes: one literal quote
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
        continue;
      }
      if (is_blank(c) && !quoted) break;
      arg.push_back(c);
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace tarnwick
