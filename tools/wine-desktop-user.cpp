// The first program of a Wine session: it starts Wine's desktop process and stays its user.
//
// The first Windows program that needs the desktop window makes Wine start its desktop process
// (explorer.exe /desktop), which inherits that program's standard error and lives as long as
// the desktop has users. Started at the beginning of a session with its output going to the
// session's log, this program is that first one: no test program hands the desktop process its
// output pipe (a test runner waits on an open pipe until the desktop process ends), and, since
// it stays until the session is stopped, the desktop process and Wine's system processes stay
// too instead of being restarted by the next program. It shows no window.
//
// Built on demand by tools/wine-prefix.sh into the state folder of the prefix.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Returns once the desktop process has created the desktop window.
  if (GetDesktopWindow() == nullptr) return 1;
  static const char ready[] = "ready\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), ready, sizeof ready - 1, &written, nullptr);
  Sleep(INFINITE);
  return 0;
}
