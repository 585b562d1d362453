// The module initialisations of start-up and what they leave for the rest of the program: the
// common controls, the default hint manager, the form list and the inner message.
#pragma once

#include <cstdint>

namespace fliran {

class TStrListEx;

// Window handles of the secondary forms that exist (created at start-up, freed at exit); null
// outside that time.
TStrListEx* FormList();
// The window message registered under the name "inner message".
std::uint32_t InnerMessageId();

// Runs the initialisations in their order when made, and undoes them in reverse when it goes:
// common controls and the default hint manager (both stay for the life of the process), then
// the form list and the inner message.
class TProgramModules {
 public:
  TProgramModules();
  ~TProgramModules();
  TProgramModules(const TProgramModules&) = delete;
  TProgramModules& operator=(const TProgramModules&) = delete;
};

// InitCommonControls, then InitCommonControlsEx with the class mask when comctl32.dll has it.
void InitCommonControlsAll(std::uint32_t classMask);

}  // namespace fliran
