// Read before every C++ file of the winelib build (cmake/winelib.cmake). winegcc defines _WIN32
// for Wine's headers, but the C and C++ libraries below them are Linux's, so GoogleTest must take
// its Linux branch (POSIX threads, regex and files) rather than its Windows one, which needs the
// Windows C runtime. GoogleTest decides the platform once, in this header; read here with _WIN32
// hidden, every later include of GoogleTest finds that decision made.
#if defined(__cplusplus) && __has_include(<gtest/internal/gtest-port-arch.h>)
#pragma push_macro("_WIN32")
#undef _WIN32
#include <gtest/internal/gtest-port-arch.h>
#pragma pop_macro("_WIN32")
#endif
