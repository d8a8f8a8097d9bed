// What the deletion learns of a volume from the system's answers: which
// statuses mean a query's class is not taken, and the order of the
// dispositions (POSIX ignoring read-only, POSIX alone, classic), each
// refusal learnt once per target.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "engine/clean/volume_answers.hpp"

namespace tarnwick::clean {
namespace {

TEST(CleanVolumeAnswers, AQueryClassIsRefusedOnlyByTheStatusesThatSaySo) {
  struct Case {
    std::uint32_t status;
    bool refused;
  };
  for (const Case& c : {
           Case{nt_status::kNotImplemented, true},
           Case{nt_status::kInvalidInfoClass, true},
           Case{nt_status::kInvalidParameter, true},
           Case{0xC0000010, true},  // STATUS_INVALID_DEVICE_REQUEST: a file system or filter without the class
           Case{nt_status::kNotSupported, true},
           Case{0xC0000022, false},  // STATUS_ACCESS_DENIED
           Case{0xC0000034, false},  // STATUS_OBJECT_NAME_NOT_FOUND
           Case{0xC0000043, false},  // STATUS_SHARING_VIOLATION
           Case{0x00000000, false},
       }) {
    EXPECT_EQ(info_class_refused(c.status), c.refused) << std::hex << c.status;
  }
}

constexpr std::uint32_t kClassic = 0xFFFFFFFF;  // stands for the classic disposition in a record
constexpr std::uint32_t kWithIgnoreReadonly = 0x13;
constexpr std::uint32_t kPosixOnly = 0x3;

// Answers each disposition as the case says and records what was asked.
class ScriptedDispositions final : public DispositionCalls {
 public:
  explicit ScriptedDispositions(std::map<std::uint32_t, std::uint32_t> answers) : answers_(std::move(answers)) {}
  std::uint32_t set_disposition_ex(std::uint32_t flags) override { return answer(flags); }
  std::uint32_t set_classic_disposition() override { return answer(kClassic); }
  std::vector<std::uint32_t> asked;

 private:
  std::uint32_t answer(std::uint32_t call) {
    asked.push_back(call);
    const auto found = answers_.find(call);
    return found == answers_.end() ? 0 : found->second;
  }
  std::map<std::uint32_t, std::uint32_t> answers_;
};

TEST(CleanVolumeAnswers, DispositionsAreTriedInOrderAndEachRefusalIsLearntForTheTarget) {
  struct Case {
    const char* system;
    std::map<std::uint32_t, std::uint32_t> answers;  // call -> Win32 code; absent: done
    std::optional<std::uint32_t> first_error;
    std::vector<std::uint32_t> first_calls;
    std::vector<std::uint32_t> second_calls;  // the next entry of the same target
    bool posix_refused;
    bool ignore_readonly_refused;
  };
  const std::vector<Case> cases = {
      {"Windows 10 1809 and later", {}, {}, {kWithIgnoreReadonly}, {kWithIgnoreReadonly}, false, false},
      {"POSIX semantics without the read-only flag (1607 to 1803)",
       {{kWithIgnoreReadonly, 87}},
       {},
       {kWithIgnoreReadonly, kPosixOnly},
       {kPosixOnly},
       false,
       true},
      {"the same, the first entry read-only",
       {{kWithIgnoreReadonly, 87}, {kPosixOnly, 5}},
       5,
       {kWithIgnoreReadonly, kPosixOnly},
       {kPosixOnly},
       false,
       true},
      {"no POSIX semantics (Wine, FAT): ERROR_INVALID_PARAMETER",
       {{kWithIgnoreReadonly, 87}, {kPosixOnly, 87}},
       {},
       {kWithIgnoreReadonly, kPosixOnly, kClassic},
       {kClassic},
       true,
       false},
      {"no POSIX semantics: ERROR_INVALID_FUNCTION, then ERROR_NOT_SUPPORTED",
       {{kWithIgnoreReadonly, 1}, {kPosixOnly, 50}},
       {},
       {kWithIgnoreReadonly, kPosixOnly, kClassic},
       {kClassic},
       true,
       false},
      {"a sharing violation is the entry's, not the volume's",
       {{kWithIgnoreReadonly, 32}},
       32,
       {kWithIgnoreReadonly},
       {kWithIgnoreReadonly},
       false,
       false},
      {"the classic disposition refused too",
       {{kWithIgnoreReadonly, 87}, {kPosixOnly, 87}, {kClassic, 5}},
       5,
       {kWithIgnoreReadonly, kPosixOnly, kClassic},
       {kClassic},
       true,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.system);
    VolumeFacts volume;
    ScriptedDispositions first(c.answers);
    const auto marked = mark_with_disposition(volume, first);
    if (c.first_error) {
      ASSERT_FALSE(marked.ok());
      EXPECT_EQ(marked.error(), OsError{*c.first_error});
    } else {
      EXPECT_TRUE(marked.ok()) << marked.error().code;
    }
    EXPECT_EQ(first.asked, c.first_calls);
    EXPECT_EQ(volume.posix_delete_refused, c.posix_refused);
    EXPECT_EQ(volume.ignore_readonly_refused, c.ignore_readonly_refused);
    ScriptedDispositions second(c.answers);
    (void)mark_with_disposition(volume, second);
    EXPECT_EQ(second.asked, c.second_calls);
  }
}

}  // namespace
}  // namespace tarnwick::clean
