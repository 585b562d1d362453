// The end of the program for an exception that nothing could handle: one that reached a window
// procedure, or the program entry.
#pragma once

#include <string_view>

#include "runtime/cp1251.h"
#include "toolkit/win.h"

namespace fliran {

// Called inside a catch block: shows the exception's text in a message box (also printed to
// stderr), then ends the process with FatalErrorExitCode. where names the place that caught it.
[[noreturn]] void FatalError(const char* where) noexcept;
inline constexpr UINT FatalErrorExitCode = 3;
inline constexpr std::string_view FatalErrorCaption = "Внутренняя ошибка"_cp1251;

}  // namespace fliran
