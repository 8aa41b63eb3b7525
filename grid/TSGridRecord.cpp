// The grid as a stored record (the "Grid" of a layout, a combo's list), the
// copies a layout of chosen kinds is written from, and the references a
// layout makes by name.
#include "TSGrid.h"

#include "ScopeExit.h"

namespace vel {

namespace {

// A stored part of a font applied to a copy of it.
fw::TFont FontWithPart(const fw::TFont& From, const std::string& Part, const TtsStoredProp& P) {
    fw::TFont F;
    F.Assign(From);
    ReadStoredFontPart(F, Part, P.Value, P.Name);
    return F;
}

} // namespace

void TtsBaseGrid::WriteGridRecord(TStream& S, bool WithData) {
    S.WriteText(GridClassName());
    WriteGridSettings(S);
    WriteModelSettings(S, *FModel);
    WriteModelParts(S, *FModel, WithData);
    WriteStoredName(S, "");
}

void TtsBaseGrid::ReadGridRecord(TStream& S) {
    BeginUpdate();
    fw::TScopeExit Done([this] { EndUpdate(); });
    ReadGridRecordOf(S, *FModel, [this](const TtsStoredProp& P) { return ReadGridSetting(P); });
}

void TtsBaseGrid::WriteGridSettings(TStream& S) {
    WriteStoredSetting(S, "RowBarOn", FRowBarOn, true);
    WriteStoredSetting(S, "HeadingOn", FHeadingOn, true);
    WriteStoredSetting(S, "RowBarWidth", FRowBarWidth, 12);
    WriteStoredSetting(S, "HeadingHeight", FHeadingHeight, 18);
    WriteStoredSetting(S, "LineColor", FLineColor, fw::clSilver);
    WriteStoredSetting(S, "GridLines", FGridLines, glBoth);
    WriteStoredSetting(S, "GridMode", FGridMode, gmEdit);
    WriteStoredSetting(S, "ThumbTracking", ThumbTracking(), false);
    WriteStoredSetting(S, "StretchPicture", StretchPicture, false);
    WriteStoredSetting(S, "ShrinkPicture", ShrinkPicture, true);
    WriteStoredSetting(S, "CenterPicture", CenterPicture, true);
    WriteStoredSetting(S, "KeepAspectRatio", KeepAspectRatio, true);
    WriteStoredSetting(S, "EditColor", EditColor, clNoneTs);
    WriteStoredSetting(S, "EditFontColor", EditFontColor, clNoneTs);
    WriteStoredSetting(S, "DataFlag", FDataFlag, false);
    WriteStoredSetting(S, "WantTabs", FWantTabs, true);
    WriteStoredSetting(S, "AlwaysShowFocus", FAlwaysShowFocus, false);
}

bool TtsBaseGrid::ReadGridSetting(const TtsStoredProp& P) {
    const std::string& N = P.Name;
    const TtsVariant& V = P.Value;
    if (P.Type == vtBinary) return false;
    if (N == "RowBarOn") SetRowBarOn(StoredBool(V, N));
    else if (N == "HeadingOn") SetHeadingOn(StoredBool(V, N));
    else if (N == "RowBarWidth") SetRowBarWidth(StoredRange(V, N, 0, MaxLineExtent));
    else if (N == "HeadingHeight") SetHeadingHeight(StoredRange(V, N, 0, MaxLineExtent));
    else if (N == "LineColor") SetLineColor(StoredInt(V, N));
    else if (N == "GridLines") SetGridLines(static_cast<TtsGridLines>(StoredEnum(V, N, glBoth)));
    else if (N == "GridMode") SetGridMode(static_cast<TtsGridMode>(StoredEnum(V, N, gmEditInsert)));
    else if (N == "ThumbTracking") SetThumbTracking(StoredBool(V, N));
    else if (N == "StretchPicture") StretchPicture = StoredBool(V, N);
    else if (N == "ShrinkPicture") ShrinkPicture = StoredBool(V, N);
    else if (N == "CenterPicture") CenterPicture = StoredBool(V, N);
    else if (N == "KeepAspectRatio") KeepAspectRatio = StoredBool(V, N);
    else if (N == "EditColor") EditColor = StoredInt(V, N);
    else if (N == "EditFontColor") EditFontColor = StoredInt(V, N);
    else if (N == "DataFlag") SetDataFlag(StoredBool(V, N));
    else if (N == "WantTabs") SetWantTabsValue(StoredBool(V, N));
    else if (N == "AlwaysShowFocus") SetAlwaysShowFocusValue(StoredBool(V, N));
    // The grid-wide settings the window shares with the data half go through the window.
    else if (N == "Color") SetGridColor(StoredInt(V, N));
    else if (N == "ReadOnly") SetReadOnly(StoredBool(V, N));
    else if (N == "DrawOverlap") SetDrawOverlap(static_cast<TtsDrawOverlap>(StoredEnum(V, N, 1)));
    else if (N == "StoreData") SetStoreData(StoredBool(V, N));
    else if (N.rfind("Font.", 0) == 0) SetGridFont(FontWithPart(GridFont(), N.substr(5), P));
    else if (N.rfind("HeadingFont.", 0) == 0)
        SetHeadingFont(FontWithPart(HeadingFont(), N.substr(12), P));
    else return false;
    return true;
}

std::unique_ptr<TtsBaseGrid> TtsBaseGrid::CreateGridOfClass(fw::TComponent* AOwner) const {
    return std::make_unique<TtsBaseGrid>(AOwner);
}

std::unique_ptr<TtsStreamGrid> TtsBaseGrid::CloneGrid(bool WithData) {
    std::unique_ptr<TtsBaseGrid> G = CreateGridOfClass(nullptr);
    G->SetVisible(false);
    if (Parent()) G->SetParent(Parent());
    G->SetName(Name());
    G->AssignGrid(*this, WithData);
    return G;
}

fw::TObject* TtsBaseGrid::FindDateTimeDef(const std::string& DefName) {
    for (fw::TComponent* O = Owner(); O; O = O->Owner())
        if (auto* D = dynamic_cast<TtsDateTimeDefComponent*>(O->FindComponent(DefName))) return D;
    return nullptr;
}

void TtsBaseGrid::ReselectCurrentCell() {
    // The control is set up again for the cell, taking its editability afresh.
    if (HasCurrentCell()) UpdateCellControl(false);
}

void TtsBaseGrid::SaveLayoutToSettings(const std::string& Path, const std::string& KeyName,
                                       const std::string& File, TtsPropKinds Parts,
                                       TtsKindSet Kinds) {
    TtsBusyScope Busy(*FModel); // the edit's handlers may change or free the grid
    if (!EndCellEdit()) UndoCellEdit();
    vel::SaveLayoutToSettings(static_cast<TtsStreamGrid&>(*this), Path, KeyName, File, Parts,
                              Kinds);
}

bool TtsBaseGrid::LoadLayoutFromSettings(const std::string& Path, const std::string& KeyName,
                                         const std::string& File, std::uint8_t Mode) {
    auto Store = OpenRegistryPath(Path, false, File);
    if (!Store || !Store->ValueExists(KeyName)) return false;
    Store->CloseKey();
    TtsBusyScope Busy(*FModel); // held past the load's end, whose handlers may free the grid
    // The carrier has a copy of the grid read first: a refused layout leaves this grid as it was.
    auto Done = fw::EnterScope([this, Mode] { BeginLayoutLoad(Mode); }, [this] { EndLayoutLoad(); });
    return vel::LoadLayoutFromSettings(static_cast<TtsStreamGrid&>(*this), Path, KeyName, File,
                                       Mode);
}

// --- The grids above ---------------------------------------------------------------------------

std::unique_ptr<TtsBaseGrid> TtsCustomGrid::CreateGridOfClass(fw::TComponent* AOwner) const {
    return std::make_unique<TtsCustomGrid>(AOwner);
}

void TtsCustomGrid::WriteGridSettings(TStream& S) {
    TtsBaseGrid::WriteGridSettings(S);
    WriteStoredSetting(S, "CheckBoxStyle", FCheckBoxStyle, stCheck);
}

bool TtsCustomGrid::ReadGridSetting(const TtsStoredProp& P) {
    if (P.Name != "CheckBoxStyle" || P.Type == vtBinary) return TtsBaseGrid::ReadGridSetting(P);
    SetCheckBoxStyle(static_cast<TtsCheckBoxStyle>(StoredEnum(P.Value, P.Name, stCross)));
    return true;
}

std::unique_ptr<TtsBaseGrid> TtsGrid::CreateGridOfClass(fw::TComponent* AOwner) const {
    return std::make_unique<TtsGrid>(AOwner);
}

} // namespace vel
