// The toolkit's base object (hold counter, deferred destruction) and its lists.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "runtime/cp1251.h"
#include "runtime/method.h"
#include "toolkit/list.h"
#include "toolkit/obj.h"
#include "toolkit/str_list.h"

namespace fliran {
namespace {

// Logs its destruction and the destruction event into a shared journal.
class Probe : public TObj {
 public:
  explicit Probe(std::vector<std::string>* journal) : journal_(journal) {}
  void OnDestroyed(TObj*) { journal_->push_back("event"); }

 protected:
  ~Probe() override { journal_->push_back("destroyed"); }

 private:
  std::vector<std::string>* journal_;
};

TEST(HoldCounter, FreeWithoutHoldsDestroysAtOnce) {
  std::vector<std::string> journal;
  Probe* probe = MakeObj<Probe>(&journal).release();
  probe->Free();
  EXPECT_EQ(journal, std::vector<std::string>{"destroyed"});
}

TEST(HoldCounter, FreeWhileHeldIsDeferredToTheLastDropHold) {
  std::vector<std::string> journal;
  Probe* probe = MakeObj<Probe>(&journal).release();
  probe->AddHold();
  probe->AddHold();
  probe->Free();
  EXPECT_EQ(probe->HoldCount(), 3);
  probe->Free();  // already requested: nothing changes
  EXPECT_EQ(probe->HoldCount(), 3);
  probe->DropHold();
  EXPECT_TRUE(journal.empty());
  probe->DropHold();
  EXPECT_EQ(journal, std::vector<std::string>{"destroyed"});
}

TEST(HoldCounter, HoldsWithoutFreeNeverDestroy) {
  std::vector<std::string> journal;
  TObjPtr<Probe> probe = MakeObj<Probe>(&journal);
  probe->AddHold();
  probe->DropHold();
  EXPECT_TRUE(journal.empty());
  EXPECT_EQ(probe->HoldCount(), 0);
  probe.reset();
  EXPECT_EQ(journal, std::vector<std::string>{"destroyed"});
}

TEST(HoldCounter, OwnerReleaseHonoursAHoldTakenElsewhere) {
  std::vector<std::string> journal;
  TObjPtr<Probe> owner = MakeObj<Probe>(&journal);
  Probe* user = owner.get();
  user->AddHold();
  owner.reset();  // Free while held
  EXPECT_TRUE(journal.empty());
  user->DropHold();
  EXPECT_EQ(journal, std::vector<std::string>{"destroyed"});
  FreeObj(nullptr);  // allowed, does nothing
}

TEST(HoldCounter, DestructionEventFirstThenReleaseListInOrder) {
  std::vector<std::string> journal;
  Probe* probe = MakeObj<Probe>(&journal).release();
  probe->OnDestroy = MakeMethod<&Probe::OnDestroyed>(probe);
  struct Entry {
    std::vector<std::string>* journal;
    const char* name;
  } first{&journal, "release 1"}, second{&journal, "release 2"};
  auto release = [](void* data) {
    auto* entry = static_cast<Entry*>(data);
    entry->journal->push_back(entry->name);
  };
  probe->AddRelease(release, &first);
  probe->AddRelease(release, &second);
  probe->Free();
  EXPECT_EQ(journal, (std::vector<std::string>{"event", "release 1", "release 2", "destroyed"}));
}

TEST(HoldCounter, CallbacksDuringDestructionCannotDestroyAgain) {
  // Each case destroys the object once, through Free or through the last DropHold (the counter
  // then stands at -1), while its destruction event or release procedure touches it again.
  enum class Touch { Free, HoldAndDrop };
  enum class Where { Event, Release };
  struct Case {
    Touch touch;
    Where where;
    bool heldWhenFreed;
  };
  for (const Case c : {Case{Touch::Free, Where::Event, false}, Case{Touch::Free, Where::Release, true},
                       Case{Touch::HoldAndDrop, Where::Event, false}, Case{Touch::HoldAndDrop, Where::Event, true},
                       Case{Touch::HoldAndDrop, Where::Release, true}}) {
    std::vector<std::string> journal;
    Probe* probe = MakeObj<Probe>(&journal).release();
    struct Toucher {
      Probe* probe;
      Touch touch;
      void Run() {
        if (touch == Touch::Free) {
          probe->Free();
        } else {
          probe->AddHold();
          probe->DropHold();
        }
      }
      void OnEvent(TObj*) { Run(); }
      static void OnRelease(void* self) { static_cast<Toucher*>(self)->Run(); }
    } toucher{probe, c.touch};
    if (c.where == Where::Event) {
      probe->OnDestroy = MakeMethod<&Toucher::OnEvent>(&toucher);
    } else {
      probe->AddRelease(&Toucher::OnRelease, &toucher);
    }
    if (c.heldWhenFreed) {
      probe->AddHold();
      probe->Free();
      probe->DropHold();
    } else {
      probe->Free();
    }
    EXPECT_EQ(journal, std::vector<std::string>{"destroyed"})
        << "touch " << static_cast<int>(c.touch) << " in " << static_cast<int>(c.where) << " held "
        << c.heldWhenFreed;
  }
}

void* P(int n) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(n)); }

std::vector<void*> Contents(const TList& list) {
  std::vector<void*> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.ValueAt(i));
  return out;
}

TEST(PointerList, GrowsFourEntriesAtATime) {
  TObjPtr<TList> list = MakeObj<TList>();
  EXPECT_EQ(list->Capacity(), 0);
  for (int i = 1; i <= 5; ++i) list->Append(P(i));
  EXPECT_EQ(list->Capacity(), 8);
  EXPECT_EQ(list->Count(), 5);
  list->GrowthStep = 0;
  for (int i = 6; i <= 9; ++i) list->Append(P(i));
  EXPECT_EQ(list->GrowthStep, 4);
  EXPECT_EQ(list->Capacity(), 12);
  list->GrowthStep = 10;
  for (int i = 10; i <= 13; ++i) list->Append(P(i));
  EXPECT_EQ(list->Capacity(), 22);
  // A step that count + step would carry past the 32-bit range falls back to 4.
  for (int i = 14; i <= 22; ++i) list->Append(P(i));
  list->GrowthStep = std::numeric_limits<std::int32_t>::max();
  list->Append(P(23));
  EXPECT_EQ(list->GrowthStep, 4);
  EXPECT_EQ(list->Capacity(), 26);
  EXPECT_EQ(list->Count(), 23);
}

TEST(PointerList, InsertRemoveAndOutOfRangeReads) {
  TObjPtr<TList> list = MakeObj<TList>();
  for (int i = 1; i <= 4; ++i) list->Append(P(i));
  list->InsertAt(1, P(9));
  list->InsertAt(5, P(8));
  EXPECT_EQ(Contents(*list), (std::vector<void*>{P(1), P(9), P(2), P(3), P(4), P(8)}));
  EXPECT_EQ(list->ValueAt(-1), nullptr);
  EXPECT_EQ(list->ValueAt(6), nullptr);

  const int capacity = list->Capacity();
  list->RemoveRange(1, 2);
  EXPECT_EQ(Contents(*list), (std::vector<void*>{P(1), P(3), P(4), P(8)}));
  list->RemoveRange(2, 100);  // cut to the entries there are
  EXPECT_EQ(Contents(*list), (std::vector<void*>{P(1), P(3)}));
  list->RemoveRange(0, 0);
  list->RemoveRange(0, -3);
  list->RemoveRange(-1, 1);
  list->RemoveRange(5, 1);
  list->Remove(0);
  EXPECT_EQ(Contents(*list), (std::vector<void*>{P(3)}));
  EXPECT_EQ(list->Capacity(), capacity);
}

TEST(PointerList, ReserveSetsTheCapacityExactlyButNeverBelowCount) {
  TObjPtr<TList> list = MakeObj<TList>();
  list->Reserve(10);
  EXPECT_EQ(list->Capacity(), 10);
  for (int i = 0; i < 3; ++i) list->Append(P(i + 1));
  list->Reserve(1);
  EXPECT_EQ(list->Capacity(), 3);
  EXPECT_EQ(Contents(*list), (std::vector<void*>{P(1), P(2), P(3)}));
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->Capacity(), 0);
  list->Append(P(5));
  EXPECT_EQ(list->ValueAt(0), P(5));
}

std::vector<std::string> Lines(const TStrList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.LineText(i));
  return out;
}

TEST(LineSplitting, PortListGivesTenLines) {
  TObjPtr<TStrList> list = MakeObj<TStrList>();
  const std::string_view ports =
      "ПОРТ НЕ ОПРЕДЕЛЁН\r\nCOM 1\r\nCOM 2\r\nCOM 3\r\nCOM 4\r\nCOM 5\r\nCOM 6\r\nCOM 7\r\nCJM 8\r\nCOM 9\r\n"_cp1251;
  list->LoadText(ports, false);
  ASSERT_EQ(list->Count(), 10);
  EXPECT_EQ(list->LineText(0), "ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251);
  EXPECT_EQ(list->LineText(8), "CJM 8");
  EXPECT_EQ(list->LineText(9), "COM 9");
  EXPECT_EQ(list->TextBufferSize(), ports.size() + 1);  // one block for all lines
}

TEST(LineSplitting, LineBreakRules) {
  const struct {
    std::string_view text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\nb", {"a\nb"}},
      {"\n", {"\n"}},
      {"a\rb", {"a", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"\r\n", {""}},
      {"a\r\n\nb", {"a", "\nb"}},
      {"x\r\ny\r", {"x", "y"}},
      {std::string_view("ab\0cd\r\nef", 9), {"ab"}},  // a zero byte ends the text
  };
  for (const auto& c : cases) {
    TObjPtr<TStrList> list = MakeObj<TStrList>();
    list->LoadText(c.text, false);
    EXPECT_EQ(Lines(*list), c.lines) << "text of " << c.text.size() << " bytes";
  }
}

TEST(LineSplitting, AppendKeepsLinesAddedOneByOne) {
  TObjPtr<TStrList> list = MakeObj<TStrList>();
  list->LoadText("first\r\n", false);
  list->AddLine("own");
  list->LoadText("second\r\nthird", true);
  list->InsertLine(0, "top");
  list->LoadText("fourth", true);
  EXPECT_EQ(Lines(*list), (std::vector<std::string>{"top", "first", "own", "second", "third", "fourth"}));

  list->LoadText("fresh", false);
  EXPECT_EQ(Lines(*list), std::vector<std::string>{"fresh"});
  EXPECT_EQ(list->TextBufferSize(), 6u);
}

TEST(LineSplitting, DeleteAndOutOfRange) {
  TObjPtr<TStrList> list = MakeObj<TStrList>();
  list->LoadText("a\r\nb\r\nc", false);
  EXPECT_EQ(list->AddLine("d"), 3);
  list->DeleteLine(1);
  list->DeleteLine(2);
  list->DeleteLine(7);
  EXPECT_EQ(Lines(*list), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(list->LineText(-1), "");
  EXPECT_EQ(list->LineText(list->Count()), "");
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->TextBufferSize(), 0u);
}

TEST(LineJoining, EveryLineEndsWithCrLf) {
  TObjPtr<TStrList> list = MakeObj<TStrList>();
  EXPECT_EQ(list->JoinedText(), "");
  list->LoadText("a\r\nb", false);
  EXPECT_EQ(list->JoinedText(), "a\r\nb\r\n");
  list->AddLine("");
  EXPECT_EQ(list->JoinedText(), "a\r\nb\r\n\r\n");
}

TEST(LinesWithObjects, ObjectsFollowTheirLines) {
  TObjPtr<TStrListEx> list = MakeObj<TStrListEx>();
  int a = 0, b = 0, c = 0;
  EXPECT_EQ(list->AddObject("a", &a), 0);
  EXPECT_EQ(list->AddObject("b", &b), 1);
  list->InsertObject(0, "c", &c);
  EXPECT_EQ(list->IndexOfObject(&b), 2);
  list->DeleteLine(0);
  EXPECT_EQ(list->ObjectAt(0), &a);
  EXPECT_EQ(list->IndexOfObject(&c), -1);
  list->SetObjectAt(1, &c);
  EXPECT_EQ(list->ObjectAt(1), &c);
  EXPECT_EQ(list->ObjectAt(5), nullptr);
  list->LoadText("x\r\ny", true);
  EXPECT_EQ(list->ObjectAt(2), nullptr);
  EXPECT_EQ(list->LineText(3), "y");
}

}  // namespace
}  // namespace fliran
