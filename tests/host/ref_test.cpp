#include "host/sdk/ref.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/host/test_objects.h"

namespace tessary::host {
namespace {

using testing::Log;
using testing::Node;

TEST(ReplaceReference, StoresThroughTheMakersOwnSetReference) {
  Log log;
  auto* owner = new Node("owner", &log);
  auto* a = new Node("a", &log);
  EXPECT_EQ(owner->ReplaceReference(1, a), REF_SUCCEED);
  EXPECT_EQ(owner->GetReference(1), a);
  EXPECT_EQ(owner->setReferenceCalls, 1);
  ASSERT_EQ(a->NumDependents(), 1);
  EXPECT_EQ(a->Dependents()[0], owner);
  EXPECT_EQ(owner->CountRefsTo(a), 1);
  owner->DeleteThis();
  EXPECT_EQ(log.deleted, (std::vector<std::string>{"owner", "a"}));
}

TEST(ReplaceReference, SlotOutsideTheMakerFailsWithoutEffect) {
  Log log;
  Node owner("owner", &log, 2);
  Node a("a", &log);
  for (int slot : {-1, 2, 100}) {
    EXPECT_EQ(owner.ReplaceReference(slot, &a), REF_FAIL) << slot;
  }
  EXPECT_EQ(owner.setReferenceCalls, 0);
  EXPECT_EQ(a.NumDependents(), 0);
}

TEST(ReplaceReference, ReleaseDeletesOnlyTargetsNoMakerReferencesAnyMore) {
  struct Case {
    const char* name;
    bool delOld;
    bool sharedWithSecondMaker;
    bool expectDeleted;
  };
  const Case cases[] = {
      {"unshared, deletion allowed", true, false, true},
      {"unshared, deletion not allowed", false, false, false},
      {"shared, deletion allowed", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    Node owner("owner", &log);
    Node other("other", &log);
    auto* a = new Node("a", &log);
    owner.ReplaceReference(0, a);
    if (c.sharedWithSecondMaker) other.ReplaceReference(0, a);
    owner.ReplaceReference(0, nullptr, c.delOld);
    EXPECT_EQ(owner.GetReference(0), nullptr);
    const bool deleted = !log.deleted.empty() && log.deleted.back() == "a";
    EXPECT_EQ(deleted, c.expectDeleted);
    if (!deleted) {
      EXPECT_EQ(a->NumDependents(), c.sharedWithSecondMaker ? 1 : 0);
      if (c.sharedWithSecondMaker) {
        other.ReplaceReference(0, nullptr);  // the last release deletes it
        EXPECT_EQ(log.deleted.back(), "a");
      } else {
        delete a;
      }
    }
  }
}

TEST(ReplaceReference, TargetHeldInTwoSlotsSurvivesTheFirstRelease) {
  Log log;
  Node owner("owner", &log);
  auto* a = new Node("a", &log);
  owner.ReplaceReference(0, a);
  owner.ReplaceReference(3, a);
  EXPECT_EQ(a->NumDependents(), 2);
  owner.ReplaceReference(0, nullptr);
  EXPECT_TRUE(log.deleted.empty());
  EXPECT_EQ(owner.GetReference(3), a);
  owner.ReplaceReference(3, nullptr);
  EXPECT_EQ(log.deleted, std::vector<std::string>{"a"});
}

TEST(ReplaceReference, ReplacingByTheSameTargetChangesNothing) {
  Log log;
  Node owner("owner", &log);
  auto* a = new Node("a", &log);
  owner.ReplaceReference(0, a);
  EXPECT_EQ(owner.ReplaceReference(0, a), REF_SUCCEED);
  EXPECT_EQ(owner.setReferenceCalls, 1);
  EXPECT_EQ(a->NumDependents(), 1);
  EXPECT_TRUE(log.deleted.empty());
}

TEST(ReplaceReference, NewTargetIsInPlaceBeforeTheOldOneIsDeleted) {
  // The old target's deletion must not find the maker still pointing at it.
  Log log;
  Node owner("owner", &log);
  owner.ReplaceReference(0, new Node("a", &log));
  auto* b = new Node("b", &log);
  owner.ReplaceReference(0, b);
  EXPECT_EQ(log.deleted, std::vector<std::string>{"a"});
  EXPECT_EQ(owner.GetReference(0), b);
  EXPECT_TRUE(log.messages.empty());  // a left without telling anybody
}

// A maker that takes only texture maps; anything else leaves the slot as it
// was.
class MapsOnly : public ReferenceMaker {
 public:
  ~MapsOnly() override { DeleteAllRefsFromMe(); }
  int NumRefs() override { return 2; }
  RefTargetHandle GetReference(int i) override { return i >= 0 && i < 2 ? refs_[i] : nullptr; }

 protected:
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < 2 && (!t || dynamic_cast<Texmap*>(t))) refs_[i] = t;
  }

 private:
  RefTargetHandle refs_[2] = {nullptr, nullptr};
};

// What a maker does not take leaves no trace in the graph: the offered
// target records no dependent and is not deleted; the old target stays if
// the slot still holds it and is released if the maker cleared the slot.
TEST(ReplaceReference, ARefusedTargetLeavesNoTrace) {
  struct Case {
    const char* name;
    bool makerClearsTheSlot;  // a colour map stores null for a wrong kind
    bool offeredIsShared;
  };
  const Case cases[] = {
      {"slot kept", false, false},
      {"slot kept, offered target referenced elsewhere", false, true},
      {"slot cleared", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Log log;
    std::unique_ptr<ReferenceMaker> maker;
    if (c.makerClearsTheSlot) {
      maker.reset(new testing::ColorMap(AColor(1, 0, 0, 1), 2, &log, "maker"));
    } else {
      maker = std::make_unique<MapsOnly>();
    }
    auto* old = new testing::ColorMap(AColor(0, 1, 0, 1), 0, &log, "old");
    ASSERT_EQ(maker->ReplaceReference(1, old), REF_SUCCEED);
    auto* offered = new Node("offered", &log);
    Node other("other", &log);
    if (c.offeredIsShared) other.ReplaceReference(0, offered);

    EXPECT_EQ(maker->ReplaceReference(1, offered), REF_FAIL);
    EXPECT_EQ(maker->CountRefsTo(offered), 0);
    EXPECT_EQ(offered->NumDependents(), c.offeredIsShared ? 1 : 0);
    if (c.makerClearsTheSlot) {
      EXPECT_EQ(maker->GetReference(1), nullptr);
      EXPECT_EQ(log.deleted, std::vector<std::string>{"old"});
    } else {
      EXPECT_EQ(maker->GetReference(1), old);
      EXPECT_EQ(old->NumDependents(), 1);
      EXPECT_TRUE(log.deleted.empty());
    }
    // Tearing down frees each object once.
    maker.reset();
    if (!c.offeredIsShared) offered->DeleteThis();
    other.DeleteAllRefsFromMe();
    EXPECT_EQ(std::count(log.deleted.begin(), log.deleted.end(), "old"), 1);
    EXPECT_EQ(std::count(log.deleted.begin(), log.deleted.end(), "offered"), 1);
  }
}

TEST(DeleteAllRefsFromMe, ClearsEverySlotThroughSetReferenceAndDeletesTheTargets) {
  Log log;
  Node owner("owner", &log);
  auto* shared = new Node("shared", &log);
  owner.ReplaceReference(0, new Node("a", &log));
  owner.ReplaceReference(1, shared);
  owner.ReplaceReference(2, shared);
  const int before = owner.setReferenceCalls;
  owner.DeleteAllRefsFromMe();
  for (int i = 0; i < owner.NumRefs(); ++i) EXPECT_EQ(owner.GetReference(i), nullptr) << i;
  EXPECT_EQ(owner.setReferenceCalls - before, 3);
  EXPECT_EQ(log.deleted, (std::vector<std::string>{"a", "shared"}));
}

TEST(ReferenceGraph, DestroyingAMakerReleasesItsWholeTree) {
  Log log;
  auto* root = new Node("root", &log);
  auto* mid = new Node("mid", &log);
  auto* leaf = new Node("leaf", &log);
  auto* kept = new Node("kept", &log);
  Node keeper("keeper", &log);
  root->ReplaceReference(0, mid);
  mid->ReplaceReference(0, leaf);
  mid->ReplaceReference(1, kept);
  keeper.ReplaceReference(0, kept);
  root->DeleteThis();
  EXPECT_EQ(log.deleted, (std::vector<std::string>{"root", "mid", "leaf"}));
  EXPECT_EQ(kept->NumDependents(), 1);
}

TEST(ReferenceGraph, DeletedTargetClearsTheSlotsThatPointedToIt) {
  Log log;
  Node owner("owner", &log);
  auto* a = new Node("a", &log);
  owner.ReplaceReference(0, a);
  owner.ReplaceReference(2, a);
  a->DeleteThis();
  EXPECT_EQ(owner.GetReference(0), nullptr);
  EXPECT_EQ(owner.GetReference(2), nullptr);
  EXPECT_EQ(owner.CountRefsTo(a), 0);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0].message, REFMSG_TARGET_DELETED);
}

TEST(ReferenceGraph, CyclesAreReleasedOnce) {
  Log log;
  auto* a = new Node("a", &log);
  auto* b = new Node("b", &log);
  a->ReplaceReference(0, b);
  b->ReplaceReference(0, a);
  a->DeleteThis();
  EXPECT_EQ(log.deleted, (std::vector<std::string>{"a", "b"}));
}

// Notification: leaf <- mid <- top, plus a second maker of leaf.
struct Chain {
  Log log;
  std::unique_ptr<Node> top = std::make_unique<Node>("top", &log);
  std::unique_ptr<Node> side = std::make_unique<Node>("side", &log);
  Node* mid = new Node("mid", &log);
  Node* leaf = new Node("leaf", &log);
  Chain() {
    top->ReplaceReference(0, mid);
    mid->ReplaceReference(0, leaf);
    side->ReplaceReference(0, leaf);
  }
  std::vector<std::string> Order() const {
    std::vector<std::string> who;
    for (const auto& m : log.messages) who.push_back(m.who);
    return who;
  }
};

TEST(NotifyDependents, PropagatesThroughTargetsThatAnswerSucceed) {
  struct Case {
    const char* name;
    RefResult midAnswer;
    bool propagate;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"succeed, propagate", REF_SUCCEED, true, {"mid", "top", "side"}},
      {"succeed, no propagation", REF_SUCCEED, false, {"mid", "side"}},
      {"stop", REF_STOP, true, {"mid", "side"}},
      {"fail", REF_FAIL, true, {"mid", "side"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Chain g;
    g.mid->answer = c.midAnswer;
    g.leaf->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, c.propagate);
    EXPECT_EQ(g.Order(), c.expected);
  }
}

TEST(NotifyDependents, PassesMessageTargetAndPartOn) {
  Chain g;
  g.mid->partFilter = 0x3;  // mid narrows the parts it passes on
  g.leaf->NotifyDependents(FOREVER, 0x7, REFMSG_CHANGE);
  ASSERT_EQ(g.log.messages.size(), 3u);
  EXPECT_EQ(g.log.messages[0].target, g.leaf);
  EXPECT_EQ(g.log.messages[0].part, PartID{0x7});
  EXPECT_EQ(g.log.messages[1].who, "top");
  EXPECT_EQ(g.log.messages[1].target, g.mid);  // onward messages name the sender
  EXPECT_EQ(g.log.messages[1].part, PartID{0x3});
  EXPECT_EQ(g.log.messages[2].who, "side");
  EXPECT_EQ(g.log.messages[2].part, PartID{0x7});  // each dependent gets the original parts
  for (const auto& m : g.log.messages) EXPECT_EQ(m.message, REFMSG_CHANGE);
}

TEST(NotifyDependents, ExplicitTargetIsReported) {
  Chain g;
  g.leaf->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, false, g.top.get());
  ASSERT_FALSE(g.log.messages.empty());
  EXPECT_EQ(g.log.messages[0].target, g.top.get());
}

TEST(NotifyDependents, SuperClassFilterSkipsOtherKinds) {
  Chain g;
  g.leaf->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, TEXMAP_CLASS_ID);
  EXPECT_TRUE(g.log.messages.empty());
}

TEST(NotifyDependents, CycleEndsAndEachMakerHearsOncePerSender) {
  Log log;
  auto* a = new Node("a", &log);
  auto* b = new Node("b", &log);
  Node holder("holder", &log);
  holder.ReplaceReference(0, a);
  a->ReplaceReference(0, b);
  b->ReplaceReference(0, a);
  b->ReplaceReference(1, a);  // a second slot: still one message
  a->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  std::vector<std::string> who;
  for (const auto& m : log.messages) who.push_back(m.who);
  // b passes the change on to a, which depends on b; a, already notifying,
  // goes no further.
  EXPECT_EQ(who, (std::vector<std::string>{"holder", "b", "a"}));
  holder.ReplaceReference(0, nullptr, false);
  b->ReplaceReference(0, nullptr, false);
  b->ReplaceReference(1, nullptr, false);
  delete a;
}

TEST(NotifyDependents, SharedTargetsPassANotificationOnOnce) {
  // A lattice of shared targets: every node of a level references both
  // nodes of the level below. Followed path by path, a change at the bottom
  // would reach the top 2^40 times; each maker must hear once per target.
  constexpr int kLevels = 40;
  Log log;
  std::vector<Node*> below = {new Node("leaf", &log)};
  Node* const leaf = below.front();
  int edges = 0;
  std::vector<std::unique_ptr<Node>> top;
  for (int level = 0; level < kLevels; ++level) {
    std::vector<Node*> nodes;
    for (int k = 0; k < 2; ++k) {
      auto* n = new Node("n" + std::to_string(level) + "." + std::to_string(k), &log);
      for (size_t i = 0; i < below.size(); ++i, ++edges) n->ReplaceReference(static_cast<int>(i), below[i]);
      nodes.push_back(n);
    }
    below = nodes;
  }
  for (Node* n : below) top.emplace_back(n);
  leaf->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  EXPECT_EQ(static_cast<int>(log.messages.size()), edges);
  const auto heard = [&](const std::string& who) {
    return std::count_if(log.messages.begin(), log.messages.end(), [&](const auto& m) { return m.who == who; });
  };
  EXPECT_EQ(heard("n39.0"), 2);  // once from each node below
  EXPECT_EQ(heard("n0.1"), 1);   // once from the leaf

  // A second notification is a new one: everything hears it again.
  log.messages.clear();
  leaf->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  EXPECT_EQ(static_cast<int>(log.messages.size()), edges);
}

std::string NameOf(ReferenceTarget* t) {
  auto* n = dynamic_cast<Node*>(t);
  return n ? n->Name() : "(none)";
}

TEST(RemapDir, SharedTargetsAreClonedOnce) {
  Log log;
  auto* root = new Node("root", &log);
  auto* shared = new Node("shared", &log);
  root->ReplaceReference(0, shared);
  root->ReplaceReference(1, new Node("solo", &log));
  root->ReplaceReference(2, shared);

  RemapDir remap;
  auto* copy = static_cast<Node*>(remap.CloneRef(root));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Name(), "root'");
  EXPECT_EQ(copy->GetReference(0), copy->GetReference(2));
  EXPECT_NE(copy->GetReference(0), shared);
  EXPECT_EQ(NameOf(copy->GetReference(1)), "solo'");
  EXPECT_EQ(remap.FindMapping(shared), copy->GetReference(0));
  EXPECT_EQ(remap.CloneRef(root), copy);  // a repeated request gives the same clone
  EXPECT_EQ(remap.NumMappings(), 3);
  EXPECT_EQ(remap.CloneRef(nullptr), nullptr);
  EXPECT_EQ(remap.FindMapping(copy), nullptr);

  copy->DeleteThis();
  root->DeleteThis();
  EXPECT_EQ(log.deleted.size(), 6u);
}

TEST(RemapDir, CloneRefHierarchyCopiesTheTree) {
  Log log;
  auto* root = new Node("root", &log);
  root->ReplaceReference(0, new Node("leaf", &log));
  auto* copy = static_cast<Node*>(CloneRefHierarchy(root));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(NameOf(copy->GetReference(0)), "leaf'");
  copy->DeleteThis();
  root->DeleteThis();
}

}  // namespace
}  // namespace tessary::host
