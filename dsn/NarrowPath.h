// A UTF-16 path in the narrow form the runtime's narrow file calls take.
#pragma once

#include "platform/CString.h"

#include <vector>

class NarrowPath {
public:
    // Raises COleException when the text cannot be converted, CMemoryException when the
    // buffer cannot be had.
    NarrowPath(const CString& text, unsigned codePage);
    NarrowPath(const NarrowPath&) = delete;
    NarrowPath& operator=(const NarrowPath&) = delete;

    const char* c_str() const { return m_heap.empty() ? m_inline : m_heap.data(); }

private:
    static constexpr int kInlineSize = 128;
    char m_inline[kInlineSize] = {};
    std::vector<char> m_heap;
};
