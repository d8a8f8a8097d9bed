#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Splits a Windows command line into its arguments by the Microsoft C
// runtime's rules. Element 0 is the program path; an empty command line gives
// just `program_path`. The text stays UTF-16 here.
std::vector<std::u16string> split_command_line(std::u16string_view command_line, std::u16string_view program_path);

}  // namespace tarnwick
