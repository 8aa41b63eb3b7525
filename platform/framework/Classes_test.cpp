#include "Classes.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace fw {
namespace {

// Records construction, Loaded and destruction order in a shared log.
class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, std::vector<std::string>* log, std::string id)
        : TComponent(owner), Log(log), Id(std::move(id)) {}
    ~TProbe() override {
        const bool dying = Owner() && Owner()->InState(TComponentStateItem::Destroying);
        Log->push_back("free " + Id + (dying ? " D" : ""));
    }
    void Loaded() override {
        Log->push_back("loaded " + Id + (InState(TComponentStateItem::Loading) ? " L" : ""));
        TComponent::Loaded();
    }
    void Notification(TComponent* c, TOperation op) override {
        if (op == TOperation::Remove && c == Watched) Watched = nullptr;
    }
    std::vector<std::string>* Log;
    std::string Id;
    TComponent* Watched = nullptr;
};

// A form-like owner that exposes its loader.
class TLoader : public TProbe {
public:
    using TProbe::TProbe;
    void Load(const std::function<void()>& build) { LoadOwnedComponents(build); }
};

// Asks a virtual question in its constructor and again after it.
class TAsker : public TComponent {
public:
    explicit TAsker(TComponent* owner) : TComponent(owner) { InConstructor = Kind(); }
    void AfterConstruction() override { Afterwards = Kind(); }
    virtual std::string Kind() const { return "base"; }
    std::string InConstructor, Afterwards;
};
class TDerivedAsker : public TAsker {
public:
    using TAsker::TAsker;
    std::string Kind() const override { return "derived"; }
};

TEST(Component, CreateLetsVirtualCallsReachTheFinalClassAfterConstruction) {
    TComponent owner(nullptr);
    auto* a = Create<TDerivedAsker>(&owner);
    EXPECT_EQ(a->InConstructor, "base");
    EXPECT_EQ(a->Afterwards, "derived");
    EXPECT_EQ(owner.ComponentCount(), 1);
}

TEST(Component, OwnerFreesOwnedComponentsLastFirst) {
    std::vector<std::string> log;
    {
        TProbe owner(nullptr, &log, "owner");
        Create<TProbe>(&owner, &log, "a");
        Create<TProbe>(&owner, &log, "b");
        Create<TProbe>(&owner, &log, "c");
        EXPECT_EQ(owner.ComponentCount(), 3);
        EXPECT_EQ(owner.Components(1)->Owner(), &owner);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"free owner", "free c D", "free b D", "free a D"}));
}

TEST(Component, RemoveComponentHandsOwnershipBack) {
    std::vector<std::string> log;
    TProbe owner(nullptr, &log, "owner");
    TProbe* a = Create<TProbe>(&owner, &log, "a");
    std::unique_ptr<TComponent> held = owner.RemoveComponent(a);
    ASSERT_EQ(held.get(), a);
    EXPECT_EQ(a->Owner(), nullptr);
    EXPECT_EQ(owner.ComponentCount(), 0);
    EXPECT_EQ(owner.RemoveComponent(a), nullptr);
    held.reset();
    EXPECT_EQ(log.back(), "free a");
}

TEST(Component, FreeTakesAnOwnedComponentOutOfItsOwner) {
    std::vector<std::string> log;
    TProbe owner(nullptr, &log, "owner");
    TProbe* a = Create<TProbe>(&owner, &log, "a");
    Create<TProbe>(&owner, &log, "b");
    Free(a);
    ASSERT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(static_cast<TProbe*>(owner.Components(0))->Id, "b");
}

TEST(Component, NamesAreUniqueAmongSiblingsAndFound) {
    std::vector<std::string> log;
    TProbe owner(nullptr, &log, "owner");
    TProbe* a = Create<TProbe>(&owner, &log, "a");
    TProbe* b = Create<TProbe>(&owner, &log, "b");
    a->SetName("Timer1");
    EXPECT_EQ(owner.FindComponent("Timer1"), a);
    EXPECT_THROW(b->SetName("Timer1"), EComponentError);
    EXPECT_EQ(b->Name(), "");
    b->SetTag(-7);
    EXPECT_EQ(b->Tag(), -7);
    EXPECT_THROW(owner.Components(2), EComponentError);
}

TEST(Component, FreeNotificationClearsReferencesBothWays) {
    std::vector<std::string> log;
    TProbe watcher(nullptr, &log, "watcher");
    auto target = std::make_unique<TProbe>(nullptr, &log, "target");
    watcher.Watched = target.get();
    watcher.FreeNotification(target.get());
    target.reset();
    EXPECT_EQ(watcher.Watched, nullptr);
    // A watcher that goes first must not be called later.
    auto early = std::make_unique<TProbe>(nullptr, &log, "early");
    TProbe target2(nullptr, &log, "target2");
    early->FreeNotification(&target2);
    early.reset();
}

TEST(Component, LoadCallsLoadedInCreationOrderThenOwner) {
    std::vector<std::string> log;
    TLoader form(nullptr, &log, "form");
    form.Load([&] {
        EXPECT_TRUE(form.InState(TComponentStateItem::Loading));
        TProbe* a = Create<TProbe>(&form, &log, "a");
        EXPECT_TRUE(a->InState(TComponentStateItem::Loading));
        Create<TProbe>(&form, &log, "b");
    });
    EXPECT_EQ(log, (std::vector<std::string>{"loaded a L", "loaded b L", "loaded form L"}));
    EXPECT_FALSE(form.InState(TComponentStateItem::Loading));
    EXPECT_FALSE(form.Components(0)->InState(TComponentStateItem::Loading));
    // Components made later are not loading.
    TProbe* late = Create<TProbe>(&form, &log, "late");
    EXPECT_FALSE(late->InState(TComponentStateItem::Loading));
}

TEST(Component, LoadingIsClearedWhenBuildThrows) {
    std::vector<std::string> log;
    TLoader form(nullptr, &log, "form");
    TProbe* a = nullptr;
    EXPECT_THROW(form.Load([&] {
        a = Create<TProbe>(&form, &log, "a");
        throw std::runtime_error("bad stream");
    }),
                 std::runtime_error);
    EXPECT_FALSE(form.InState(TComponentStateItem::Loading));
    EXPECT_FALSE(a->InState(TComponentStateItem::Loading));
    EXPECT_TRUE(log.empty()); // no Loaded after a failed build
    // The loader is usable again.
    form.Load([&] { Create<TProbe>(&form, &log, "b"); });
    EXPECT_EQ(log.front(), "loaded b L");
}

TEST(Component, ComponentFreedDuringLoadIsNotLoaded) {
    std::vector<std::string> log;
    TLoader form(nullptr, &log, "form");
    form.Load([&] {
        TProbe* a = Create<TProbe>(&form, &log, "a");
        Create<TProbe>(&form, &log, "b");
        Free(a);
    });
    EXPECT_EQ(log, (std::vector<std::string>{"free a", "loaded b L", "loaded form L"}));
}

class TDial : public TPersistent {
public:
    int Position = 0;
    const TPropList& PublishedProperties() const override {
        static const TPropList List{PublishedProperty<TDial>(
            "Position", [](const TDial& D) { return D.Position; },
            [](TDial& D, int V) { D.Position = V; })};
        return List;
    }
};

TEST(PublishedProperties, AreFoundByNameAndRefuseOtherClassesAndTypes) {
    TDial A, B;
    A.Position = 4;
    const TPropInfo* P = FindPublishedProperty(A, "position");
    ASSERT_NE(P, nullptr);
    P->Set(B, P->Get(A));
    EXPECT_EQ(B.Position, 4);
    EXPECT_EQ(FindPublishedProperty(A, "Positio"), nullptr);
    EXPECT_THROW(P->Set(B, std::any(std::string("4"))), EPropertyError);
    TComponent C(nullptr); // a component publishes nothing of its own
    EXPECT_TRUE(PublishedProperties(C).empty());
    EXPECT_THROW(P->Set(C, P->Get(A)), EPropertyError);
    EXPECT_THROW(P->Get(C), EPropertyError);
    EXPECT_EQ(B.Position, 4);
}

} // namespace
} // namespace fw
