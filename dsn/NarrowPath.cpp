#include "NarrowPath.h"

#include "platform/Exceptions.h"
#include "platform/System.h"

#include <new>

namespace {

long HresultFromWin32(unsigned error) {
    return error == 0 ? 0 : static_cast<long>((error & 0x0000FFFFu) | 0x80070000u);
}

}  // namespace

NarrowPath::NarrowPath(const CString& text, unsigned codePage) {
    // The whole text with its terminating zero; 4 bytes per unit covers every code page.
    const int units = text.GetLength() + 1;
    const int firstSize = units * 4;
    try {
        if (firstSize > kInlineSize)
            m_heap.assign(static_cast<size_t>(firstSize), '\0');
        unsigned error = 0;
        char* buffer = m_heap.empty() ? m_inline : m_heap.data();
        int written = sys::WideToNarrow(codePage, text.GetString(), units, buffer, firstSize, error);
        if (written == 0 && error == sys::kErrorInsufficientBuffer) {
            const int needed = sys::WideToNarrow(codePage, text.GetString(), units, nullptr, 0, error);
            if (needed > 0) {
                m_heap.assign(static_cast<size_t>(needed), '\0');
                written = sys::WideToNarrow(codePage, text.GetString(), units, m_heap.data(), needed, error);
            }
        }
        if (written == 0)
            throw COleException(HresultFromWin32(error));
    } catch (const std::bad_alloc&) {
        throw CMemoryException();
    }
}
