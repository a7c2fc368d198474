// Windows binding: port access through the GiveIO driver's device, port
// reads and writes through INPOUT32.dll, bound at run time by ordinal.

#include <windows.h>

#include <cstdio>
#include <string>

#include "port.h"

namespace {

// INPOUT32.dll's exports, by ordinal.
using inp32_fn = short(__stdcall*)(short port);
using out32_fn = void(__stdcall*)(short port, short value);
constexpr WORD inp32_ordinal = 1;
constexpr WORD out32_ordinal = 2;

inp32_fn inp32 = nullptr;
out32_fn out32 = nullptr;

// The port-access handle: held until the process ends, never closed.
HANDLE giveio = INVALID_HANDLE_VALUE;

LARGE_INTEGER counter_frequency{};

std::string system_message(DWORD error) {
  char* text = nullptr;
  const DWORD size = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message =
      size ? std::string(text, size) : "error " + std::to_string(error);
  LocalFree(text);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' ||
          message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

std::wstring folder_of_program() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) {
    return L"";
  }
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring system_folder() {
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return L"";
  }
  return std::wstring(path, length) + L"\\";
}

// Only full paths are tried, so a library in the current folder or on PATH
// is never picked up in place of the real one.
HMODULE load_inpout32() {
  for (const std::wstring& folder : {folder_of_program(), system_folder()}) {
    if (folder.empty()) {
      continue;
    }
    const std::wstring path = folder + L"INPOUT32.dll";
    if (HMODULE library = LoadLibraryExW(path.c_str(), nullptr,
                                         LOAD_WITH_ALTERED_SEARCH_PATH)) {
      return library;
    }
  }
  return nullptr;
}

template <class Fn>
Fn bind_ordinal(HMODULE library, WORD ordinal) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(library, MAKEINTRESOURCEA(ordinal))));
}

bool bind_inpout32() {
  HMODULE library = load_inpout32();
  if (!library) {
    std::fprintf(stderr,
                 "INPOUT32.dll: not found beside the program or in the "
                 "Windows system folder\n");
    return false;
  }
  inp32 = bind_ordinal<inp32_fn>(library, inp32_ordinal);
  out32 = bind_ordinal<out32_fn>(library, out32_ordinal);
  if (!inp32 || !out32) {
    std::fprintf(stderr, "INPOUT32.dll: ordinal %u is missing\n",
                 inp32 ? out32_ordinal : inp32_ordinal);
    return false;
  }
  return true;
}

std::int64_t counter_now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace

void prepare_platform() {
  // Keep the current folder out of the search for any library loaded later.
  SetDllDirectoryW(L"");
  QueryPerformanceFrequency(&counter_frequency);
  // 1 ms timer resolution for the whole run, so that a 2 ms pause takes
  // about 2 ms rather than a whole 15.6 ms tick. The process ending ends it.
  timeBeginPeriod(1);
}

bool acquire_port_access() {
  giveio = CreateFileW(L"\\\\.\\giveio", GENERIC_READ, 0, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (giveio == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "\\\\.\\giveio: %s\n",
                 system_message(GetLastError()).c_str());
    return false;
  }
  return bind_inpout32();
}

void port_write(std::uint16_t port, std::uint8_t value) {
  out32(static_cast<short>(port), static_cast<short>(value));
}

std::uint8_t port_read(std::uint16_t port) {
  return static_cast<std::uint8_t>(inp32(static_cast<short>(port)) & 0xFF);
}

// Sleep may come back early when asked for less than a timer tick, so the
// deadline is kept on the performance counter: sleep while more than a
// couple of milliseconds are left, then yield until the deadline passes.
void pause_ms(unsigned ms) {
  // Rounded up, so the deadline is never short of the time asked.
  const std::int64_t deadline =
      counter_now() + (counter_frequency.QuadPart * ms + 999) / 1000;
  for (std::int64_t now = counter_now(); now < deadline; now = counter_now()) {
    const std::int64_t left_ms =
        (deadline - now) * 1000 / counter_frequency.QuadPart;
    Sleep(left_ms > 2 ? static_cast<DWORD>(left_ms - 1) : 0);
  }
}

std::uint64_t monotonic_ms() {
  const std::int64_t now = counter_now();
  const std::int64_t frequency = counter_frequency.QuadPart;
  return static_cast<std::uint64_t>(now / frequency * 1000 +
                                    now % frequency * 1000 / frequency);
}
