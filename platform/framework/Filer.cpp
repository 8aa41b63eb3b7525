#include "Filer.h"

#include "ScopeExit.h"

namespace fw {
namespace {

class TValueReader : public TFiler {
public:
    TValueReader(const std::string& Name, const TFilerValue& Value) : FName(Name), FValue(Value) {}
    bool Done() const { return FDone; }

    void DefineProperty(const std::string& Name,
                        const std::function<void(const TFilerValue&)>& Read,
                        const std::function<TFilerValue()>&, bool) override {
        if (Name != FName || FDone || !Read) return;
        if (std::holds_alternative<std::vector<std::uint8_t>>(FValue))
            throw EReadError("Stream read error: property " + Name + " is not binary");
        Read(FValue);
        FDone = true;
    }

    void DefineBinaryProperty(const std::string& Name, const std::function<void(TStream&)>& Read,
                              const std::function<void(TStream&)>&, bool) override {
        if (Name != FName || FDone || !Read) return;
        const auto* Bytes = std::get_if<std::vector<std::uint8_t>>(&FValue);
        if (!Bytes) throw EReadError("Stream read error: property " + Name + " is binary");
        TMemoryStream S(*Bytes, true);
        Read(S);
        FDone = true;
    }

private:
    const std::string& FName;
    const TFilerValue& FValue;
    bool FDone = false;
};

class TValueWriter : public TFiler {
public:
    explicit TValueWriter(TComponent* Ancestor) { FAncestor = Ancestor; }
    TFilerValues Values;

    void DefineProperty(const std::string& Name, const std::function<void(const TFilerValue&)>&,
                        const std::function<TFilerValue()>& Write, bool HasData) override {
        if (HasData && Write) Values[Name] = Write();
    }

    void DefineBinaryProperty(const std::string& Name, const std::function<void(TStream&)>&,
                              const std::function<void(TStream&)>& Write, bool HasData) override {
        if (!HasData || !Write) return;
        TMemoryStream S;
        Write(S);
        Values[Name] = S.Data();
    }
};

} // namespace

void ReadDefinedProperties(TComponent& Component, const TFilerValues& Values) {
    const bool WasLoading = Component.InState(TComponentStateItem::Loading);
    Component.SetState(TComponentStateItem::Loading);
    // What was read stays in place even when a later value fails.
    TScopeExit Leave([&] {
        if (WasLoading) return;
        Component.ClearState(TComponentStateItem::Loading);
        Component.Loaded();
    });
    for (const auto& [Name, Value] : Values) {
        TValueReader R(Name, Value);
        Component.DefineProperties(R);
        if (!R.Done()) throw EReadError("Stream read error: unknown property " + Name);
    }
    Leave.Leave();
}

TFilerValues WriteDefinedProperties(TComponent& Component, TComponent* Ancestor) {
    TValueWriter W(Ancestor);
    Component.DefineProperties(W);
    return std::move(W.Values);
}

} // namespace fw
