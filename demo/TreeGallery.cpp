// The tree control's picture gallery: a string tree as a user sees it, in the
// states that matter (check boxes, images, selection, hot node, grid lines,
// the rubber band, an open editor, a hint, scroll bars, bands and a background
// picture), each written as a PNG into the output folder.
#include "Bitmap.h"
#include "Canvas.h"
#include "Forms.h"
#include "Hints.h"
#include "ImageList.h"
#include "Input.h"
#include "LazyTreeDragDrop.h"
#include "LazyTreeEdit.h"
#include "Png.h"
#include "Screen.h"
#include "Timers.h"
#include "WideEdit.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

using namespace vel;

namespace {

// Small pictures for the nodes: a folder, an open folder, a document, and
// two state marks (a flag and a lock), drawn here.
std::unique_ptr<fw::TImageList> MakeImages(bool State) {
    auto List = std::make_unique<fw::TImageList>(nullptr, 16, 16);
    fw::TBitmap B(State ? 32 : 48, 16);
    fw::TCanvas& C = B.Canvas();
    C.Brush().SetColor(fw::clFuchsia);
    C.FillRect({0, 0, B.Width(), 16});
    C.Pen().SetColor(fw::clBlack);
    if (State) {
        C.Brush().SetColor(fw::clRed); // a flag
        C.Polygon({fw::TPoint{4, 2}, fw::TPoint{13, 5}, fw::TPoint{4, 8}});
        C.FillRect({3, 2, 5, 15});
        C.Brush().SetColor(0x00A0E0); // a lock
        C.Rectangle(18, 7, 30, 15);
        C.Brush().SetStyle(fw::bsClear);
        C.Ellipse(20, 1, 28, 11);
    } else {
        C.Brush().SetColor(0x4CC8F0); // folder
        C.Rectangle(1, 4, 15, 14);
        C.Rectangle(1, 2, 7, 5);
        C.Brush().SetColor(0x80E0FF); // open folder
        C.Rectangle(17, 4, 31, 14);
        C.Polygon({fw::TPoint{19, 7}, fw::TPoint{32, 7}, fw::TPoint{30, 14}, fw::TPoint{17, 14}});
        C.Brush().SetColor(fw::clWhite); // document
        C.Rectangle(36, 1, 46, 15);
        C.Pen().SetColor(fw::clGray);
        for (int Y = 4; Y < 13; Y += 2) {
            C.MoveTo(38, Y);
            C.LineTo(44, Y);
        }
    }
    List->AddMasked(B, fw::clFuchsia);
    return List;
}

struct TRow {
    std::u16string Name, Kind, Size;
    TCheckState Check = csUncheckedNormal;
    int Children = 0;
};

// The gallery's form: a string tree over a little project.
class TGallery {
public:
    TGallery() {
        fw::ResetInputState();
        Form = std::make_unique<fw::TForm>(nullptr);
        Form->SetBounds(100, 100, 400, 250);
        Form->SetColor(fw::clBtnFace);
        Images = MakeImages(false);
        States = MakeImages(true);
        Tree = fw::Create<TLazyStringTree>(Form.get());
        Tree->SetParent(Form.get());
        Tree->SetBounds(10, 10, 380, 230);
        Setup();
        Form->Show();
        fw::ProcessMessages();
        Tree->SetFocus();
    }
    ~TGallery() {
        Form.reset();
        fw::ResetInputState();
    }

    void Setup();
    PLazyNode Node(int Index) {
        int I = 0;
        for (PLazyNode N = Tree->GetFirst(); N; N = Tree->GetNextVisible(N))
            if (I++ == Index) return N;
        return nullptr;
    }
    fw::TPoint RowPoint(int Index, int X) {
        const fw::TRect R = Tree->GetDisplayRect(Node(Index), NoColumn, false, true);
        return fw::ControlPoint(Tree, X, (R.Top + R.Bottom) / 2);
    }
    bool Save(const std::string& Path, int Margin = 0) {
        fw::ProcessMessages();
        fw::TSurface S;
        fw::CaptureScreen({Form->Left() - Margin, Form->Top() - Margin,
                           Form->Left() + Form->Width() + Margin,
                           Form->Top() + Form->Height() + Margin},
                          S);
        return fw::WritePng(Path, S.Width, S.Height, S.Pixels.data());
    }

    std::unique_ptr<fw::TForm> Form;
    std::unique_ptr<fw::TImageList> Images, States;
    TLazyStringTree* Tree = nullptr;
    std::map<PLazyNode, TRow> Rows;
};

const TRow Projects[] = {
    {u"Skeleton rig", u"Folder", u"", csMixedNormal, 4},
    {u"Arm_L.bone", u"Bone", u"12 KB", csCheckedNormal},
    {u"Arm_R.bone", u"Bone", u"12 KB", csUncheckedNormal},
    {u"Spine & neck <core>", u"Bone", u"31 KB", csCheckedNormal},
    {u"Tail (optional)", u"Bone", u"8 KB", csUncheckedNormal},
    {u"Poses", u"Folder", u"", csCheckedNormal, 3},
    {u"Walk cycle", u"Pose", u"4 KB", csCheckedNormal},
    {u"Run cycle", u"Pose", u"4 KB", csCheckedNormal},
    {u"Idle \"breathing\"", u"Pose", u"2 KB", csCheckedNormal},
    {u"Skins", u"Folder", u"", csUncheckedNormal, 2},
    {u"Body mesh weights", u"Skin", u"220 KB", csUncheckedNormal},
    {u"Cloth layer", u"Skin", u"96 KB", csUncheckedNormal},
};

void TGallery::Setup() {
    TLTHeader* H = Tree->Header();
    // The last column runs past the window: the horizontal scroll bar shows.
    for (auto [Text, Width] : {std::pair{u"Name", 210}, {u"Size", 70}, {u"Kind", 100}}) {
        TLazyTreeColumn* C = H->Columns().Add();
        C->SetText(Text);
        C->SetWidth(Width);
    }
    H->Columns()[1].SetAlignment(taRightJustify);
    H->SetMainColumn(0);
    H->SetSortColumn(0);
    H->SetOptions(H->Options() | hoVisible | hoShowSortGlyphs | hoHotTrack);
    TCustomLazyTreeOptions* O = Tree->TreeOptions();
    O->SetMiscOptions(O->MiscOptions() | toCheckSupport | toEditable);
    O->SetSelectionOptions(O->SelectionOptions() | toMultiSelect | toExtendedFocus);
    O->SetPaintOptions(O->PaintOptions() | toShowHorzGridLines | toShowVertGridLines | toHotTrack);
    Tree->SetImages(Images.get());
    Tree->SetStateImages(States.get());
    Tree->SetNodeDataSize(4);
    Tree->SetHintMode(hmTooltip);
    Tree->SetShowHint(true);
    Tree->OnInitNode = [this](TBaseLazyTree* T, PLazyNode Parent, PLazyNode N,
                              TLTInternalStates& S) {
        // Top-level folders own the rows that follow them in the table.
        static constexpr int Folders[] = {0, 5, 9};
        const int Index = Parent ? *T->GetNodeDataAs<int>(Parent) + 1 + static_cast<int>(N->Index)
                                 : Folders[N->Index % 3];
        *T->GetNodeDataAs<int>(N) = Index;
        Rows[N] = Projects[Index];
        if (Projects[Index].Children) S |= ivsHasChildren | ivsExpanded;
        T->SetCheckType(N, Parent ? ctCheckBox : ctTriStateCheckBox);
        N->CheckState = Projects[Index].Check;
    };
    Tree->OnInitChildren = [this](TBaseLazyTree*, PLazyNode N, std::uint32_t& Count) {
        Count = static_cast<std::uint32_t>(Rows[N].Children);
    };
    Tree->OnGetText = [this](TBaseLazyTree*, PLazyNode N, int Column, TLSTTextType,
                             std::u16string& Text) {
        const TRow& R = Rows[N];
        Text = Column == 1 ? R.Size : Column == 2 ? R.Kind : R.Name;
    };
    Tree->OnNewText = [this](TBaseLazyTree*, PLazyNode N, int, const std::u16string& Text) {
        Rows[N].Name = Text;
    };
    Tree->OnGetImageIndex = [this](TBaseLazyTree* T, PLazyNode N, TLTImageKind Kind, int Column,
                                   bool&, int& Index) {
        if (Column > 0) return;
        const TRow& R = Rows[N];
        if (Kind == ikState) {
            if (R.Kind == u"Pose" && N->Index == 0) Index = 0;
            if (R.Name.starts_with(u"Spine")) Index = 1;
            return;
        }
        if (Kind == ikOverlay) return;
        Index = R.Children ? (T->Expanded(N) ? 1 : 0) : 2;
    };
    Tree->SetRootNodeCount(3);
}

bool Picture(const std::string& Dir, const std::string& Name, TGallery& G, int Margin = 0) {
    const std::string Path = (std::filesystem::path(Dir) / Name).string();
    const bool Ok = G.Save(Path, Margin);
    std::printf("  %s %s\n", Ok ? "wrote" : "FAILED", Path.c_str());
    return Ok;
}

bool FullTree(const std::string& Dir) {
    TGallery G;
    // A click selects, Ctrl-click adds, the mouse rests on another row (hot).
    fw::ClickAt(G.RowPoint(2, 80));
    fw::AdvanceClock(1000);
    fw::ClickAt(G.RowPoint(3, 80), fw::mbLeft, fw::ssCtrl);
    fw::AdvanceClock(1000);
    fw::MouseMoveTo(G.RowPoint(7, 80));
    bool Ok = Picture(Dir, "tree-focused.png", G);
    // Another control takes the focus: the selection turns grey.
    auto* Other = fw::Create<fw::TWideEdit>(G.Form.get());
    Other->SetParent(G.Form.get());
    Other->SetBounds(399, 0, 1, 1);
    Other->SetFocus();
    Ok = Picture(Dir, "tree-unfocused.png", G) && Ok;
    return Ok;
}

bool RubberBand(const std::string& Dir) {
    TGallery G;
    G.Tree->SetDrawSelectionMode(smBlendedRectangle);
    const fw::TPoint From = G.RowPoint(1, 330), To = G.RowPoint(4, 150);
    fw::MouseDownAt(From);
    fw::MouseMoveTo({From.X - 10, From.Y + 10}, fw::ssLeft);
    fw::MouseMoveTo(To, fw::ssLeft);
    const bool Ok = Picture(Dir, "tree-rubberband.png", G);
    fw::MouseUpAt(To);
    return Ok;
}

bool Editor(const std::string& Dir) {
    TGallery G;
    G.Tree->SetFocusedNode(G.Node(6));
    G.Tree->SetSelected(G.Node(6), true);
    G.Tree->EditNode(G.Node(6), 0);
    fw::TypeTextW(u"Walk forward");
    return Picture(Dir, "tree-editor.png", G);
}

bool Hint(const std::string& Dir) {
    TGallery G;
    G.Tree->Header()->Columns()[0].SetWidth(136);
    fw::MouseMoveTo(G.RowPoint(3, 90));
    fw::AdvanceClock(fw::Application()->HintPause() + 1);
    return Picture(Dir, "tree-hint.png", G, 10);
}

bool BandsAndBackground(const std::string& Dir) {
    TGallery G;
    fw::TBitmap Back(64, 64);
    fw::TCanvas& C = Back.Canvas();
    for (int Y = 0; Y < 64; ++Y)
        for (int X = 0; X < 64; ++X) {
            const int V = 236 + ((X / 8 + Y / 8) % 2) * 12 + Y / 16;
            C.SetPixels(X, Y, fw::RGB(static_cast<std::uint8_t>(V - 10),
                                      static_cast<std::uint8_t>(V - 4),
                                      static_cast<std::uint8_t>(std::min(V + 6, 255))));
        }
    G.Tree->SetBackground(&Back);
    G.Tree->SetLineMode(lmBands);
    G.Tree->Colors()->SetGridLineColor(fw::clBtnShadow);
    TCustomLazyTreeOptions* O = G.Tree->TreeOptions();
    O->SetPaintOptions(O->PaintOptions() | toShowBackground);
    fw::ClickAt(G.RowPoint(6, 80));
    return Picture(Dir, "tree-bands-background.png", G);
}

bool DragPicture(const std::string& Dir) {
    TGallery G;
    G.Tree->OnDragAllowed = [](TBaseLazyTree*, PLazyNode, int, bool& Allowed) { Allowed = true; };
    G.Tree->OnDragOver = [](TBaseLazyTree*, TBaseLazyTree*, fw::TShiftState, TDragState,
                            fw::TPoint, TDropMode, std::uint32_t&, bool& Accept) {
        Accept = true;
    };
    // Onto the collapsed "Skins": the target shows as such, the picture over the free space.
    G.Tree->SetExpanded(G.Node(9), false);
    const fw::TPoint From = G.RowPoint(6, 90), To = G.RowPoint(9, 75);
    fw::MouseDownAt(From);
    fw::MouseMoveTo({From.X + 10, From.Y + 3}, fw::ssLeft);
    fw::MouseMoveTo(To, fw::ssLeft);
    const bool Ok = Picture(Dir, "tree-drag.png", G);
    fw::KeyDown(fw::VK_ESCAPE);
    fw::MouseUpAt(To);
    return Ok;
}

// A tree without columns: notes that wrap over several lines.
bool MultiLine(const std::string& Dir) {
    TGallery G;
    TLazyStringTree* T = G.Tree;
    T->Header()->SetOptions(T->Header()->Options() & ~hoVisible);
    T->Header()->Columns().Clear();
    static const std::u16string Notes[] = {
        u"Rig notes",
        u"The spine has five joints; twist is spread evenly over them so the chest "
        u"follows the hips without folding.",
        u"Arms use two-bone solvers with the pole vectors behind the elbows.",
        u"A single line",
        u"Tail",
        u"Optional: the tail is skinned but hidden by default.\nEnable it per scene."};
    T->OnInitNode = [](TBaseLazyTree*, PLazyNode Parent, PLazyNode N, TLTInternalStates& S) {
        if (!Parent && N->Index == 0) S |= ivsHasChildren | ivsExpanded;
        const bool Long = Parent ? N->Index < 2 || N->Index == 4 : false;
        if (Long) S |= ivsMultiline;
    };
    T->OnInitChildren = [](TBaseLazyTree*, PLazyNode, std::uint32_t& Count) { Count = 5; };
    T->OnGetText = [](TBaseLazyTree* S, PLazyNode N, int, TLSTTextType, std::u16string& Text) {
        Text = N->Parent != S->RootNode() ? Notes[1 + N->Index] : Notes[0];
    };
    T->OnGetImageIndex = [](TBaseLazyTree* S, PLazyNode N, TLTImageKind Kind, int, bool&,
                            int& Index) {
        if (Kind == ikNormal || Kind == ikSelected) Index = N->Parent != S->RootNode() ? 2 : 1;
    };
    T->OnMeasureItem = [T](TBaseLazyTree*, fw::TCanvas* C, PLazyNode N, int& Height) {
        if (N->States & vsMultiline) Height = T->ComputeNodeHeight(C, N, NoColumn) + 4;
    };
    TCustomLazyTreeOptions* O = T->TreeOptions();
    O->SetMiscOptions((O->MiscOptions() | toVariableNodeHeight) & ~toCheckSupport);
    O->SetPaintOptions(O->PaintOptions() & ~toShowVertGridLines);
    T->SetStateImages(nullptr);
    T->SetRootNodeCount(0);
    T->SetRootNodeCount(1);
    T->SetFocusedNode(G.Node(2));
    T->SetSelected(G.Node(2), true);
    return Picture(Dir, "tree-multiline.png", G);
}

// Right-to-left cells: indentation, lines, buttons, boxes, images and text run
// from each cell's right edge; the columns keep their order; the vertical bar
// stands on the left, and the last column ends at the client's right edge.
bool RightToLeft(const std::string& Dir) {
    TGallery G;
    G.Tree->SetBiDiMode(bdRightToLeft);
    TLazyTreeColumns& Columns = G.Tree->Header()->Columns();
    Columns[2].SetWidth(G.Tree->ClientWidth() - Columns[0].Width() - Columns[1].Width());
    fw::ClickAt(G.RowPoint(2, 120));
    return Picture(Dir, "tree-right-to-left.png", G);
}

} // namespace

int main(int argc, char** argv) {
    std::string Dir = "out";
    for (int I = 1; I + 1 < argc; ++I)
        if (std::strcmp(argv[I], "--out") == 0) Dir = argv[I + 1];
    std::filesystem::create_directories(Dir);
    std::printf("tree gallery in %s\n", Dir.c_str());
    bool Ok = FullTree(Dir);
    Ok = RubberBand(Dir) && Ok;
    Ok = Editor(Dir) && Ok;
    Ok = Hint(Dir) && Ok;
    Ok = BandsAndBackground(Dir) && Ok;
    Ok = DragPicture(Dir) && Ok;
    Ok = MultiLine(Dir) && Ok;
    Ok = RightToLeft(Dir) && Ok;
    fw::Application()->DestroyForms();
    return Ok ? 0 : 1;
}
