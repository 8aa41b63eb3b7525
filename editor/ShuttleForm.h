#pragma once
// The time shuttle deck, embedded in the tool window: shows the current
// frame and records keys.
#include "Forms.h"
#include "StdCtrls.h"

namespace vel {

class TShuttleForm : public fw::TForm {
public:
    explicit TShuttleForm(fw::TComponent* AOwner);
    ~TShuttleForm() override;

    fw::TLabel* FrameLabel = nullptr;

    // Keys the current skeleton's family (those set to record), then the
    // dope sheet shows the new keys.
    void RecordKeys();
    // The time views follow CurrentFrame.
    void FrameChanged();
};

// Empty until the tool window creates the deck.
extern TShuttleForm* ShuttleForm;

} // namespace vel
