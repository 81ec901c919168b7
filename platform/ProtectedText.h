// A text kept protected in memory while it is held (on Windows by the data-protection API), so
// that a connect string with a password does not lie in plain view in the process.
#pragma once

#include "CString.h"

#include <optional>
#include <vector>

class ProtectedText {
public:
    void Set(const CString& text);
    void Clear() { m_block.clear(); }
    // The text again; nothing when the block cannot be unprotected.
    std::optional<CString> Get() const;

private:
    std::vector<unsigned char> m_block;
};
