#pragma once
// What the tree windows share (scene tree, skeleton tree, pose list): a
// string tree filling the window whose rows each keep a 4-byte key into the
// window's own table (NodeKeys.h), row texts read from the host or the rig
// whenever the tree paints, and the messages the window posts to itself.
//
// A tree must not lose its rows inside one of its own handlers. When the user
// picks a row the window selects its object in the host with the tree in an
// update; the rig's refreshes that this sets off see the update and leave the
// tree alone, and the refresh they would have made comes back through a
// posted CM_REFRESHTREE once the handler is over.
#include <string>
#include <utility>

#include "Forms.h"
#include "LazyStringTree.h"
#include "NodeKeys.h"
#include "tsxapi.h"

namespace vel {

// Posted by a tree window to itself: sort the rows, refresh them.
inline constexpr fw::UINT CM_SORTTREE = 0x81C8;
inline constexpr fw::UINT CM_REFRESHTREE = 0x81C9;

class TTreeForm : public fw::TForm {
public:
    TTreeForm(fw::TComponent* AOwner, const char* FormName, const char* Caption,
              const char* TreeName);
    ~TTreeForm() override;

    TLazyStringTree* Tree() const { return FTree; }
    const TNodeKeys& Keys() const { return FKeys; }
    // The 4-byte value of a row; NoNodeKey for none.
    TNodeKey KeyOf(PLazyNode Node) const;
    // What the row stands for; none when its key has gone.
    const TRowRef* RefOf(PLazyNode Node) const;
    // The live host object a key or a row stands for, else none.
    CtsxSobj ObjectOfKey(TNodeKey Key) const;
    CtsxSobj ObjectOf(PLazyNode Node) const { return ObjectOfKey(KeyOf(Node)); }
    // The first row holding a host object's handle, else none (maybe a row
    // of an object that went, whose handle the host gave this one since).
    PLazyNode NodeOfObject(CtsxSobj Object) const { return FKeys.FirstNodeOf(Object); }
    // The text the row shows (what the tree asks for when it paints).
    std::string RowText(PLazyNode Node);
    // While the tree is in an update (a fill, or the window's own handler
    // acting on a picked row), the rig's refreshes leave its rows alone.
    bool TreeUpdating() const { return FTree->UpdateCount() > 0; }

    // The rows holding a host object go, with their subtrees. Inside the
    // tree's own handler they wait for the posted refresh (their keys find
    // nothing meanwhile, since the object is gone).
    void RemoveObjectNode(CtsxSobj Object);

protected:
    // A row under Parent (none: the top level) holding Ref under a new key.
    // Both take the object as alive now (the row's Since).
    PLazyNode AddRow(PLazyNode Parent, const TRowRef& Ref);
    // Gives a row made by the tree itself (a row count) its key.
    void KeyRow(PLazyNode Node, const TRowRef& Ref);
    void ClearRows();
    // Rows were left for the posted refresh to take away; reading clears it.
    bool TakeRowsStale() { return std::exchange(FRowsStale, false); }
    // Focuses, selects and scrolls to the row, opening its parents; none
    // clears the selection. The user's pick handler does not run for it.
    void ShowRow(PLazyNode Node);
    // Asks for a sort or a refresh through a message posted to this window;
    // requests made before it arrives are served by one.
    void Ask(fw::UINT Msg);

    // What a row shows: by default the name of its host object.
    virtual void GetRowText(const TRowRef& Ref, TLSTTextType TextType, std::string& Text);
    // The user moved the focus to a row: by default its object becomes the
    // host's selection, as a click on it in a view would make it.
    virtual void RowPicked(PLazyNode Node);
    virtual void SortRows() {}
    virtual void RefreshRows() {}
    // Run whenever the message queue has emptied, outside the tree's own
    // handlers: the rows catch up with changes nobody told the window about.
    virtual void Follow() {}

    void Dispatch(fw::TMessage& Message) override;

private:
    void TreeFocusChanged(PLazyNode Node);

    TLazyStringTree* FTree = nullptr;
    TNodeKeys FKeys;
    bool FSortWanted = false;
    bool FRefreshWanted = false;
    bool FRowsStale = false;
    // Set while the window itself moves the focus.
    bool FShowingRow = false;
};

} // namespace vel
