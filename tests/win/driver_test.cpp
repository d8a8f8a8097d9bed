// The helper exe as the desktop app sees it: arguments, exit status,
// standard error and the response file.

#include <gtest/gtest.h>

#include "support/hex.hpp"
#include "win/support/helper_process.hpp"

namespace tarnwick::test {
namespace {

constexpr char kUsage[] = "usage: tarnwick-helper <request-hex> <response.json>\n";

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// A request that fails to decode: status 1 and a known message, without
// touching the registry or the file system.
const std::wstring kOddHex = L"7";
constexpr char kOddHexResponse[] = R"({"status":"err","error":"bad request payload: odd hex length"})";

DWORD file_index_low(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  ::GetFileInformationByHandle(file, &info);
  ::CloseHandle(file);
  return info.nFileIndexLow;
}

TEST(HelperExe, MissingArgumentsPrintTheUsageLineAndWriteNothing) {
  const std::wstring dir = make_temp_dir();
  const std::wstring would_be_response = dir + L"\\response.json";
  for (const std::wstring& arguments : {std::wstring(), quoted(would_be_response), kOddHex}) {
    const HelperRun run = run_helper_exe(arguments);
    EXPECT_EQ(run.exit_code, 2u);
    EXPECT_EQ(run.standard_error, kUsage);
    EXPECT_FALSE(file_exists(would_be_response));
  }
}

TEST(HelperExe, EmptyCommandLineCountsAsNoArguments) {
  const HelperRun run = run_command_line(L"");
  EXPECT_EQ(run.exit_code, 2u);
  EXPECT_EQ(run.standard_error, kUsage);
}

TEST(HelperExe, DecodeFailureAnswersStatusOneWithTheMessage) {
  const std::wstring response = make_temp_dir() + L"\\response.json";
  const HelperRun run = run_helper_exe(kOddHex + L" " + quoted(response));
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(read_file_bytes(response), kOddHexResponse);
}

TEST(HelperExe, QuotedEmptyRequestIsPresentAndGoesToTheDecoder) {
  const std::wstring response = make_temp_dir() + L"\\response.json";
  const HelperRun run = run_helper_exe(L"\"\" " + quoted(response));
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(read_file_bytes(response),
            R"({"status":"err","error":"bad request json: EOF while parsing a value at line 1 column 0"})");
}

TEST(HelperExe, FurtherArgumentsAreIgnored) {
  const std::wstring dir = make_temp_dir();
  const std::wstring response = dir + L"\\response.json";
  const std::wstring extra = dir + L"\\extra.json";
  const HelperRun run =
      run_helper_exe(kOddHex + L" " + quoted(response) + L" " + quoted(extra) + L" more \"and more\"");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(read_file_bytes(response), kOddHexResponse);
  EXPECT_FALSE(file_exists(extra));
}

TEST(HelperExe, ResponsePathInAMissingFolderKeepsTheStatus) {
  const std::wstring response = make_temp_dir() + L"\\missing\\response.json";
  const HelperRun run = run_helper_exe(kOddHex + L" " + quoted(response));
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_FALSE(file_exists(response));
}

TEST(HelperExe, ResponsePathThatIsAFolderKeepsTheStatus) {
  const std::wstring dir = make_temp_dir();
  const HelperRun run = run_helper_exe(kOddHex + L" " + quoted(dir));
  EXPECT_EQ(run.exit_code, 1u);
}

TEST(HelperExe, ExistingLongerResponseFileIsTruncatedInPlace) {
  const std::wstring response = make_temp_dir() + L"\\response.json";
  write_file_bytes(response, std::string(4096, 'x') + "\n");
  const DWORD index_before = file_index_low(response);
  const HelperRun run = run_helper_exe(kOddHex + L" " + quoted(response));
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(read_file_bytes(response), kOddHexResponse);  // exactly the new bytes, no newline
  EXPECT_EQ(file_index_low(response), index_before);      // the same file, not a new one
}

TEST(HelperExe, ResponseFileHeldOpenByTheAppIsStillWritten) {
  // The app may keep the file open while it waits; the helper shares read,
  // write and delete access.
  const std::wstring response = make_temp_dir() + L"\\response.json";
  HANDLE held = ::CreateFileW(response.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const HelperRun run = run_helper_exe(kOddHex + L" " + quoted(response));
  ::CloseHandle(held);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(read_file_bytes(response), kOddHexResponse);
}

TEST(HelperExe, ArgumentThatIsNotWellFormedUtf16IsRefused) {
  const std::wstring response = make_temp_dir() + L"\\response.json";
  const std::wstring lone_surrogate(1, static_cast<wchar_t>(0xD800));
  for (const std::wstring& arguments :
       {L"7b" + lone_surrogate + L" " + quoted(response), kOddHex + L" " + quoted(response) + L" x" + lone_surrogate}) {
    const HelperRun run = run_helper_exe(arguments);
    EXPECT_EQ(run.exit_code, 2u);
    EXPECT_NE(run.standard_error.find("is not valid UTF-16 text"), std::string::npos) << run.standard_error;
    EXPECT_EQ(run.standard_error.find('\n'), run.standard_error.size() - 1);  // one line
    EXPECT_FALSE(file_exists(response));
  }
}

TEST(HelperExe, NonAsciiResponsePathIsWritten) {
  const std::wstring response = make_temp_dir() + L"\\r\u00e9ponse \u65e5\u672c.json";
  const HelperRun run = run_helper_exe(kOddHex + L" " + quoted(response));
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(read_file_bytes(response), kOddHexResponse);
}

}  // namespace
}  // namespace tarnwick::test
