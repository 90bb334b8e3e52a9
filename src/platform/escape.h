#pragma once
// The state of the Escape key (or of a stop that stands for it), asked by long-running
// work between its steps. The search's worker answers it from the window's stop; tests set it.
class EscapeKey {
public:
    virtual ~EscapeKey() = default;
    virtual bool IsDown() const = 0;
};

// True when the Escape key is down at the moment of the call.
inline bool EscPressed(const EscapeKey& key) { return key.IsDown(); }
