#include "link/overlapped_io_win.h"

#include <algorithm>

namespace win32 {

namespace {

DWORD WaitMilliseconds(std::chrono::milliseconds timeout) {
  // INFINITE is 0xFFFFFFFF: a bound never reaches it.
  return static_cast<DWORD>(
      std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INFINITE - 1));
}

IoResult Transfer(HANDLE handle, bool write, void* data, DWORD count,
                  std::chrono::milliseconds timeout) {
  IoResult result;
  const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) {
    result.error = GetLastError();
    return result;
  }
  OVERLAPPED request{};
  request.hEvent = event;
  const BOOL started = write ? WriteFile(handle, data, count, nullptr, &request)
                             : ReadFile(handle, data, count, nullptr, &request);
  const DWORD startError = started ? ERROR_SUCCESS : GetLastError();
  if (!started && startError != ERROR_IO_PENDING) {
    result.error = startError;
  } else {
    if (!started && WaitForSingleObject(event, WaitMilliseconds(timeout)) != WAIT_OBJECT_0) {
      CancelIo(handle);
      result.timedOut = true;
    }
    // Completed, or cancelled and about to end: its count is final once this returns.
    if (!GetOverlappedResult(handle, &request, &result.moved, TRUE)) {
      result.error = GetLastError();
    }
  }
  CloseHandle(event);
  return result;
}

}  // namespace

IoResult Write(HANDLE handle, const void* data, DWORD count, std::chrono::milliseconds timeout) {
  // WriteFile only reads the buffer.
  return Transfer(handle, true, const_cast<void*>(data), count, timeout);
}

IoResult Read(HANDLE handle, void* data, DWORD capacity, std::chrono::milliseconds timeout) {
  return Transfer(handle, false, data, capacity, timeout);
}

std::string ErrorText(DWORD error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string words = length != 0 && text != nullptr ? std::string(text, length) : std::string();
  LocalFree(text);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                            words.back() == '.')) {
    words.pop_back();
  }
  if (words.empty()) {
    words = "system error " + std::to_string(error);
  }
  return words;
}

}  // namespace win32
