// Start procedures: run once, in order, including those added while they run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/start_procs.h"
#include "runtime/method.h"

namespace fliran {
namespace {

struct Starter {
  std::vector<std::string>* journal;
  std::string name;
  Starter* addsAnother = nullptr;

  void Start() {
    journal->push_back(name);
    if (addsAnother != nullptr) AddStartProc(MakeMethod<&Starter::Start>(addsAnother));
  }
};

TEST(StartProcs, RunInOrderOnceIncludingLateAdditions) {
  std::vector<std::string> journal;
  Starter late{&journal, "late"};
  Starter first{&journal, "first", &late};
  Starter second{&journal, "second"};
  AddStartProc(MakeMethod<&Starter::Start>(&first));
  AddStartProc(MakeMethod<&Starter::Start>(&second));
  EXPECT_EQ(StartProcCount(), 2u);
  RunStartProcs();
  EXPECT_EQ(journal, (std::vector<std::string>{"first", "second", "late"}));
  EXPECT_EQ(StartProcCount(), 0u);
  RunStartProcs();
  EXPECT_EQ(journal.size(), 3u);
}

TEST(StartProcs, RemovedObjectsProceduresDoNotRun) {
  std::vector<std::string> journal;
  Starter kept{&journal, "kept"};
  Starter gone{&journal, "gone"};
  AddStartProc(MakeMethod<&Starter::Start>(&gone));
  AddStartProc(MakeMethod<&Starter::Start>(&kept));
  AddStartProc(MakeMethod<&Starter::Start>(&gone));
  RemoveStartProcs(&gone);
  EXPECT_EQ(StartProcCount(), 1u);
  RunStartProcs();
  EXPECT_EQ(journal, (std::vector<std::string>{"kept"}));
}

}  // namespace
}  // namespace fliran
