#pragma once

#include <windows.h>

#include <chrono>
#include <string>

// What the Win32 ports share: one overlapped request at a time, with its own event.
namespace win32 {

struct IoResult {
  DWORD moved = 0;              // what moved, also when the request failed or was cancelled
  DWORD error = ERROR_SUCCESS;  // why the request failed; ERROR_SUCCESS when it completed
  bool timedOut = false;        // it was still pending at the bound and was cancelled
};

// One overlapped WriteFile or ReadFile on `handle`, waited for up to `timeout`. A request still
// pending then is cancelled, and its end waited for, before these return: the system must be
// done with the buffer and the record before they go.
IoResult Write(HANDLE handle, const void* data, DWORD count, std::chrono::milliseconds timeout);
IoResult Read(HANDLE handle, void* data, DWORD capacity, std::chrono::milliseconds timeout);

// The system's own words for an error code, without the line end.
std::string ErrorText(DWORD error);

}  // namespace win32
