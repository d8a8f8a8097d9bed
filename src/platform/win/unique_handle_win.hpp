#pragma once

#include <windows.h>

#include <utility>

namespace tarnwick::win {

// One owner per handle kind: the handle is released on every way out of the
// scope that holds it.
// Traits: `Handle` type, `invalid()` and `close(Handle)`.
template <class Traits>
class UniqueHandle {
  using Handle = typename Traits::Handle;
  static Handle invalid() noexcept { return Traits::invalid(); }

 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, invalid()));
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Handle get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != invalid(); }
  explicit operator bool() const noexcept { return valid(); }
  // For APIs that fill in a handle; only on an empty owner.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }
  void reset(Handle handle = Traits::invalid()) noexcept {
    if (handle_ != invalid()) Traits::close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::invalid();
};

struct FileTraits {
  using Handle = HANDLE;
  static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE handle) noexcept { ::CloseHandle(handle); }
};
struct KernelHandleTraits {
  using Handle = HANDLE;
  static HANDLE invalid() noexcept { return nullptr; }
  static void close(HANDLE handle) noexcept { ::CloseHandle(handle); }
};
struct FindTraits {
  using Handle = HANDLE;
  static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE handle) noexcept { ::FindClose(handle); }
};
struct KeyTraits {
  using Handle = HKEY;
  static HKEY invalid() noexcept { return nullptr; }
  static void close(HKEY key) noexcept { ::RegCloseKey(key); }
};

// Kernel object handle whose "no handle" value is INVALID_HANDLE_VALUE (CreateFileW).
using UniqueFile = UniqueHandle<FileTraits>;
// Kernel object handle whose "no handle" value is NULL (NtOpenFile, NtOpenKey, CreateProcessW).
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
// Directory search handle (FindFirstFileExW).
using UniqueFind = UniqueHandle<FindTraits>;
// Registry key opened through ADVAPI32 (the tests); predefined roots are never held in one.
using UniqueKey = UniqueHandle<KeyTraits>;

}  // namespace tarnwick::win
