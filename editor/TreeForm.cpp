#include "TreeForm.h"

#include <cstring>

#include "Canvas.h"
#include "Messages.h"
#include "ScopeExit.h"
#include "Switchboard.h"
#include "TsxHelper.h"

namespace vel {

namespace {

// Host and rig texts are 8-bit (the system code page is Latin-1 here).
std::u16string ToTreeText(const std::string& Text) {
    std::u16string out;
    out.reserve(Text.size());
    for (char c : Text)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string FromTreeText(const std::u16string& Text) {
    std::string out;
    out.reserve(Text.size());
    for (char16_t c : Text)
        out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

} // namespace

TTreeForm::TTreeForm(fw::TComponent* AOwner, const char* FormName, const char* Caption,
                     const char* TreeName)
    : fw::TForm(AOwner) {
    SetName(FormName);
    SetCaption(Caption);
    LoadComponents([this, TreeName] {
        FTree = fw::Create<TLazyStringTree>(this);
        FTree->SetName(TreeName);
        FTree->SetParent(this);
        FTree->SetAlign(fw::alClient);
    });
    FTree->SetNodeDataSize(sizeof(TNodeKey));
    FTree->SetColor(fw::clWindow);
    FTree->SetDefaultText(u"");
    FTree->OnGetText = [this](TBaseLazyTree*, PLazyNode Node, int, TLSTTextType TextType,
                              std::u16string& Text) {
        const TRowRef* ref = RefOf(Node);
        if (!ref) return;
        std::string text;
        GetRowText(*ref, TextType, text);
        Text = ToTreeText(text);
    };
    // A second text (a bone's joints) in grey after the row's name.
    FTree->OnPaintText = [](TBaseLazyTree*, fw::TCanvas* Canvas, PLazyNode, int,
                            TLSTTextType TextType) {
        if (TextType == ttStatic) Canvas->Font().SetColor(fw::clGrayText);
    };
    // A row's key goes with the row, however the row goes.
    FTree->OnFreeNode = [this](TBaseLazyTree*, PLazyNode Node) { FKeys.Remove(KeyOf(Node)); };
    FTree->OnFocusChanged = [this](TBaseLazyTree*, PLazyNode Node, int) {
        TreeFocusChanged(Node);
    };
    fw::AddIdleHandler(this, [this] {
        if (!TreeUpdating()) Follow();
    });
}

TTreeForm::~TTreeForm() {
    fw::RemoveIdleHandler(this);
    // The tree goes with the form's components, after this body: it must not
    // reach back into a half-destroyed window.
    FTree->OnGetText = nullptr;
    FTree->OnPaintText = nullptr;
    FTree->OnFreeNode = nullptr;
    FTree->OnFocusChanged = nullptr;
}

TNodeKey TTreeForm::KeyOf(PLazyNode Node) const {
    if (!Node || Node == FTree->RootNode()) return NoNodeKey;
    TNodeKey key = NoNodeKey;
    std::memcpy(&key, FTree->GetNodeData(Node), sizeof key);
    return key;
}

const TRowRef* TTreeForm::RefOf(PLazyNode Node) const {
    return FKeys.Find(KeyOf(Node));
}

CtsxSobj TTreeForm::ObjectOfKey(TNodeKey Key) const {
    const TRowRef* ref = FKeys.Find(Key);
    return ref ? LiveObject(ref->Host()) : nullptr;
}

std::string TTreeForm::RowText(PLazyNode Node) {
    return Node ? FromTreeText(FTree->GetText(Node, NoColumn)) : std::string();
}

void TTreeForm::RemoveObjectNode(CtsxSobj Object) {
    if (!FKeys.FirstNodeOf(Object)) return;
    if (TreeUpdating()) {
        FRowsStale = true;
        Ask(CM_REFRESHTREE);
        return;
    }
    // One at a time: deleting a row may take others holding the object with it.
    while (PLazyNode node = FKeys.FirstNodeOf(Object))
        FTree->DeleteNode(node);
}

namespace {
TRowRef TakenNow(TRowRef Ref) {
    Ref.Since = RefTo(Ref.Object).Since;
    return Ref;
}
} // namespace

PLazyNode TTreeForm::AddRow(PLazyNode Parent, const TRowRef& Ref) {
    const TNodeKey key = FKeys.Add(TakenNow(Ref));
    PLazyNode node = nullptr;
    fw::TScopeExit forget([&] {
        if (!node) FKeys.Remove(key);
    });
    node = FTree->AddChild(Parent, key);
    FKeys.SetNode(key, node);
    return node;
}

void TTreeForm::KeyRow(PLazyNode Node, const TRowRef& Ref) {
    const TNodeKey key = FKeys.Add(TakenNow(Ref), Node);
    std::memcpy(FTree->GetNodeData(Node), &key, sizeof key);
}

void TTreeForm::ClearRows() {
    FTree->Clear();
    FKeys.Clear();
}

void TTreeForm::ShowRow(PLazyNode Node) {
    const bool was = FShowingRow;
    FShowingRow = true;
    fw::TScopeExit restore([this, was] { FShowingRow = was; });
    if (!Node) {
        FTree->ClearSelection();
        return;
    }
    // The closed groups above the row open in one update, from the row up:
    // each then costs the same however deep it lies. With none closed there
    // is no update, whose end would drop the tree's position cache.
    PLazyNode closed = Node->Parent;
    while (closed && closed != FTree->RootNode() && (closed->States & vsExpanded))
        closed = closed->Parent;
    if (closed && closed != FTree->RootNode()) {
        auto update = fw::EnterScope([this] { FTree->BeginUpdate(); },
                                     [this] { FTree->EndUpdate(); });
        for (PLazyNode run = closed; run != FTree->RootNode(); run = run->Parent)
            if (!(run->States & vsExpanded)) FTree->SetExpanded(run, true);
        update.Leave(); // a handler's exception reaches the caller
    }
    FTree->ScrollIntoView(Node, false);
    FTree->SetFocusedNode(Node);
    FTree->ClearSelection();
    FTree->SetSelected(Node, true);
}

void TTreeForm::Ask(fw::UINT Msg) {
    // Every request is posted; the first message to arrive does the work
    // and the rest find nothing left to do. A message lost with the window
    // leaves the request standing for the next one.
    (Msg == CM_SORTTREE ? FSortWanted : FRefreshWanted) = true;
    fw::PostMessage(Handle(), Msg, 0, 0);
}

void TTreeForm::GetRowText(const TRowRef& Ref, TLSTTextType TextType, std::string& Text) {
    if (TextType != ttNormal) return;
    if (CtsxSobj object = LiveObject(Ref.Host())) Text = GetNodeName(object);
}

void TTreeForm::RowPicked(PLazyNode Node) {
    if (CtsxSobj object = ObjectOf(Node)) SelectObject(object, 1);
}

void TTreeForm::TreeFocusChanged(PLazyNode Node) {
    if (FShowingRow || !Node) return;
    // The rig's refreshes wait for the posted one while the tree is held.
    auto update = fw::EnterScope([this] { FTree->BeginUpdate(); },
                                           [this] { FTree->EndUpdate(); });
    RowPicked(Node);
    update.Leave();
    Ask(CM_REFRESHTREE);
}

void TTreeForm::Dispatch(fw::TMessage& Message) {
    switch (Message.Msg) {
    case CM_SORTTREE:
        if (std::exchange(FSortWanted, false)) SortRows();
        return;
    case CM_REFRESHTREE:
        if (std::exchange(FRefreshWanted, false)) RefreshRows();
        return;
    default:
        fw::TForm::Dispatch(Message);
    }
}

} // namespace vel
