// libFuzzer target for the cleaning engine, run as "clean-system" runs it,
// over the in-memory file system with the Windows directory at C:\Windows.
// The input is bytes, three to a record:
// - byte 0: what each target is: bits 0-2 the download folder, bits 3-5 Temp
//   (0-4 a folder, 5 absent, 6 a file, 7 a link to the protected folder, a
//   symbolic link when bit 6 is set, else a junction);
// - byte 1: the number of entries that follow (at most 40), each a record:
//   the folder it goes in (any folder made so far: the targets, the
//   protected folder outside them, or one of the records), its kind and a
//   size shift, then its size, or for a link or a hard link the entry it
//   points to (anything made so far, inside the targets or outside; a hard
//   link needs a file there, else it is a sparse file);
// - the rest: faults (at most 16), each a record: the moment it strikes (the
//   first call from that call number on whose step is the one chosen and
//   whose path is in a target), the kind and a count, and the step with a
//   choice. A refusal (sharing violation, access denied, other codes)
//   answers count + 1 calls on that path and step, from that one on (the
//   highest count: every one from then on); a listing breaks off after
//   count entries; the entry vanishes; a folder is swapped for a link (to
//   anything made so far), an entry that is not a plain file (where no plain
//   file has been) for an empty file, or any entry for a folder that holds a
//   file. Only entries strictly inside a target vanish or are swapped;
//   refusals reach the targets themselves too.
// Checked besides the sanitizers, after the run:
// - no listing or opening went through a link;
// - everything outside the targets is as it was (what the links point to
//   outside included), and the targets are still there as what they were;
// - the space freed equals what the run freed: for each plain file whose
//   last name it deleted, its size or its allocation, whichever is smaller,
//   the sum stopping at 2^64 - 1 (a file with a name left counts 0);
// - the run ended within a bounded number of calls.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/clean/cleaning_engine.hpp"
#include "support/fake_file_system.hpp"
#include "support/fuzz_check.hpp"

namespace {

using tarnwick::OsError;
using tarnwick::clean::CleaningEngine;
using tarnwick::fuzz::require;
using tarnwick::test::FakeEntryState;
using tarnwick::test::FakeFileSystem;
using tarnwick::test::FakeLink;
using tarnwick::test::FakeStep;
using tarnwick::test::kReparseTagCloud;

constexpr const char* kTarget = "clean-engine-fuzz";
constexpr std::size_t kMaxEntries = 40;
constexpr std::size_t kMaxFaults = 16;
// Far above what 40 entries, 16 faults and 50 tries an operation need.
constexpr std::uint64_t kMaxCalls = 200000;

const std::u16string kWindows = u"C:\\Windows";
const std::u16string kDownload = u"C:\\Windows\\SoftwareDistribution\\Download";
const std::u16string kTemp = u"C:\\Windows\\Temp";
const std::u16string kProtected = u"C:\\Users\\Public\\keep";

void check(bool condition, const char* what) { require(condition, kTarget, what); }

struct Record {
  std::uint8_t a = 0, b = 0, c = 0;
};

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t left() const { return size_ - at_; }
  std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  Record record() { return Record{byte(), byte(), byte()}; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

std::u16string numbered(std::u16string_view prefix, std::size_t n) {
  std::u16string out(prefix);
  for (const char c : std::to_string(n)) out.push_back(static_cast<char16_t>(c));
  return out;
}

bool inside(std::u16string_view path, std::u16string_view folder) {
  return path.size() > folder.size() && path.substr(0, folder.size()) == folder && path[folder.size()] == u'\\';
}
bool inside_a_target(std::u16string_view path) { return inside(path, kDownload) || inside(path, kTemp); }
bool is_a_target(std::u16string_view path) { return path == kDownload || path == kTemp; }

// The world before the run: what is where, and which places are folders.
struct World {
  FakeFileSystem fs;
  std::vector<std::u16string> folders;  // where records may go
  std::vector<std::u16string> places;   // what links may point to
  std::vector<std::u16string> outside;  // every entry outside the targets
  // Where a plain file has been, made by the input or by a fault: no fault
  // puts an empty file there, which would stand for the one a listing gave
  // (the space freed counts the listed size of what goes by that name).
  std::set<std::u16string> file_paths;
};

void make_target(World& world, const std::u16string& path, unsigned form, bool symlink) {
  if (form <= 4) {
    world.fs.add_folder(path);
    world.folders.push_back(path);
  } else if (form == 6) {
    world.fs.add_file(path, 77);
  } else if (form == 7) {
    world.fs.add_link(path, symlink ? FakeLink::SymlinkToFolder : FakeLink::Junction, kProtected);
  }
  if (form != 5) world.places.push_back(path);
}

void build(World& world, Input& input) {
  FakeFileSystem& fs = world.fs;
  fs.add_file(kProtected + u"\\precious.dat", 1000);
  fs.add_file(kWindows + u"\\System32\\kernel32.dll", 4096);
  fs.add_folder(kWindows + u"\\SoftwareDistribution\\DataStore");
  world.folders.push_back(kProtected);
  world.places = {kProtected, kProtected + u"\\precious.dat", kWindows + u"\\System32"};

  const std::uint8_t forms = input.byte();
  const bool symlink = (forms & 0x40) != 0;
  make_target(world, kDownload, forms & 7u, symlink);
  make_target(world, kTemp, (forms >> 3) & 7u, symlink);

  const std::size_t count = input.byte() % (kMaxEntries + 1);
  for (std::size_t i = 0; i < count && input.left() > 0; ++i) {
    const Record r = input.record();
    const std::u16string path = world.folders[r.a % world.folders.size()] + u"\\" + numbered(u"n", i);
    const std::u16string& place = world.places[r.c % world.places.size()];
    switch (r.b & 7u) {
      case 0:
      case 1:
        fs.add_file(path, std::uint64_t{r.c} << ((r.b >> 3) * 2 % 64));
        world.file_paths.insert(path);
        break;
      case 2:
        // Another name for a file made so far (outside the targets too), or
        // a sparse file that occupies less than its size.
        if ((r.b & 8u) == 0 && fs.links_of(place) > 0) {
          fs.add_hard_link(path, place);
        } else {
          const std::uint64_t size = std::uint64_t{r.c} << ((r.b >> 4) * 4 % 64);
          fs.add_file(path, size, size >> (r.b >> 4));
        }
        world.file_paths.insert(path);
        break;
      case 3:
      case 4:
        fs.add_folder(path);
        world.folders.push_back(path);
        break;
      case 5:
        fs.add_link(path, FakeLink::Junction, place, r.b >> 3);
        break;
      case 6:
        fs.add_link(path, (r.b & 8u) != 0 ? FakeLink::SymlinkToFile : FakeLink::SymlinkToFolder, place, r.b >> 4);
        break;
      default:
        fs.add_reparse_folder(path, kReparseTagCloud);
        world.folders.push_back(path);
        break;
    }
    world.places.push_back(path);
  }
  // Everything outside the targets, the Windows directory's own entries too.
  world.outside = {kWindows,
                   kWindows + u"\\SoftwareDistribution",
                   kWindows + u"\\SoftwareDistribution\\DataStore",
                   kWindows + u"\\System32",
                   kWindows + u"\\System32\\kernel32.dll",
                   u"C:\\Users\\Public",
                   kProtected,
                   kProtected + u"\\precious.dat"};
  for (const auto& path : world.places) {
    if (!inside_a_target(path) && !is_a_target(path)) world.outside.push_back(path);
  }
}

struct Fault {
  std::uint8_t moment = 0;
  std::uint8_t kind = 0;
  std::uint8_t count = 0;
  FakeStep step = FakeStep::Open;
  std::uint8_t choice = 0;
  bool struck = false;
};

FakeStep step_of(std::uint8_t bits) {
  switch (bits & 3u) {
    case 0:
      return FakeStep::Open;
    case 1:
      return FakeStep::List;
    case 2:
      return FakeStep::Attributes;
    default:
      return FakeStep::Mark;
  }
}

bool is_plain_file(const std::optional<FakeEntryState>& state) { return state && !state->folder && !state->link; }

void strike(World& world, const Fault& fault, FakeStep step, const std::u16string& path) {
  FakeFileSystem& fs = world.fs;
  // A count of 31 is a refusal that never ends: the tries must still stop.
  const int count = fault.count == 31 ? -1 : fault.count + 1;
  constexpr std::uint32_t other_codes[] = {33, 303, 2, 145};  // lock, delete pending, not found, not empty
  switch (fault.kind) {
    case 0:
      fs.fail(step, path, OsError{32}, count);
      return;
    case 1:
      fs.fail(step, path, OsError{5}, count);
      return;
    case 5:
      fs.break_listing(path, fault.count, OsError{(fault.choice & 1u) != 0 ? 5u : 59u});
      return;
    case 6:
      fs.fail(step, path, OsError{other_codes[fault.choice % 4]}, count);
      return;
    default:
      break;
  }
  // The rest change the tree, and only strictly inside a target.
  if (!inside_a_target(path)) return;
  const auto before = fs.state_of(path);
  try {
    switch (fault.kind) {
      case 2:
        fs.remove(path);
        break;
      case 3:
        if (!before || !before->folder) return;
        fs.remove(path);
        fs.add_link(path, (fault.choice & 1u) != 0 ? FakeLink::SymlinkToFolder : FakeLink::Junction,
                    world.places[fault.choice % world.places.size()]);
        break;
      case 4:
        if (!before || is_plain_file(before) || world.file_paths.count(path) != 0) return;
        fs.remove(path);
        fs.add_file(path, 0);
        world.file_paths.insert(path);
        break;
      default:
        // Always the same size: a listed one that is swapped again is
        // replaced by one of the size listed.
        fs.remove(path);
        fs.add_file(path + u"\\swapped-in", 5);
        world.file_paths.insert(path + u"\\swapped-in");
        break;
    }
  } catch (const std::invalid_argument&) {
    // A path through a link: only a run that followed one gets here, and the
    // check after the run reports that.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  World world;
  build(world, input);

  std::vector<Fault> faults;
  while (input.left() > 0 && faults.size() < kMaxFaults) {
    const Record r = input.record();
    faults.push_back(Fault{r.a, static_cast<std::uint8_t>(r.b & 7u), static_cast<std::uint8_t>(r.b >> 3), step_of(r.c),
                           static_cast<std::uint8_t>(r.c >> 2)});
  }

  std::vector<std::optional<FakeEntryState>> outside_before;
  for (const auto& path : world.outside) outside_before.push_back(world.fs.state_of(path));
  const auto download_before = world.fs.state_of(kDownload);
  const auto temp_before = world.fs.state_of(kTemp);

  std::uint64_t calls = 0;
  world.fs.intercept([&](FakeFileSystem&, FakeStep step, std::u16string_view raw) {
    check(++calls <= kMaxCalls, "the run ended within a bounded number of calls");
    const std::u16string path(raw);
    if (!inside_a_target(path) && !is_a_target(path)) return;
    for (Fault& fault : faults) {
      if (fault.struck || calls < fault.moment || fault.step != step) continue;
      fault.struck = true;
      strike(world, fault, step, path);
    }
  });

  CleaningEngine engine(world.fs, kWindows);
  const auto removed = engine.clean_system();
  world.fs.intercept(nullptr);

  check(removed.ok(), "clean_system gives a number");
  check(world.fs.links_followed() == 0, "no listing or opening went through a link");
  for (std::size_t i = 0; i < world.outside.size(); ++i) {
    check(world.fs.state_of(world.outside[i]) == outside_before[i], "everything outside the targets is whole");
  }
  for (const auto& [path, before] : {std::pair{kDownload, download_before}, std::pair{kTemp, temp_before}}) {
    const auto after = world.fs.state_of(path);
    check(after.has_value() == before.has_value(), "a target stays as present as it was");
    if (after && before) {
      check(after->folder == before->folder && after->link == before->link && after->attributes == before->attributes &&
                after->size == before->size && after->link_target == before->link_target,
            "a target stays what it was");
    }
  }
  check(removed.value() == world.fs.deleted_file_bytes(), "the space freed is the size of the plain files deleted");
  return 0;
}
