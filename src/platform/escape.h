#pragma once
// The state of the Escape key, asked by long-running work that cannot process window
// messages. The windows layer answers it from its record of the key; tests set it.
class EscapeKey {
public:
    virtual ~EscapeKey() = default;
    virtual bool IsDown() const = 0;
};

// True when the Escape key is down at the moment of the call.
inline bool EscPressed(const EscapeKey& key) { return key.IsDown(); }
