// The protected text on Windows: the data-protection API encrypts the block with a key of the
// logged-on user, so the plain text is only there while a caller holds the copy Get returned.
#include "platform/win32/Win32Api.h"

#include <wincrypt.h>

#include "platform/ProtectedText.h"

#include <cstring>
#include <memory>

namespace {

struct LocalFreer {
    void operator()(BYTE* data) const { LocalFree(data); }
};
using LocalBlock = std::unique_ptr<BYTE, LocalFreer>;

}  // namespace

void ProtectedText::Set(const CString& text) {
    m_block.clear();
    DATA_BLOB plain{static_cast<DWORD>(text.GetLength() * sizeof(char16_t)),
                    reinterpret_cast<BYTE*>(const_cast<char16_t*>(text.GetString()))};
    DATA_BLOB sealed{};
    // No prompt may ever show: the caller is a handler in the middle of its work.
    if (!CryptProtectData(&plain, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &sealed))
        return;
    const LocalBlock owned(sealed.pbData);
    m_block.assign(sealed.pbData, sealed.pbData + sealed.cbData);
}

std::optional<CString> ProtectedText::Get() const {
    if (m_block.empty())
        return CString();  // nothing was set, or it was cleared
    DATA_BLOB sealed{static_cast<DWORD>(m_block.size()), const_cast<BYTE*>(m_block.data())};
    DATA_BLOB plain{};
    if (!CryptUnprotectData(&sealed, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &plain))
        return std::nullopt;
    const LocalBlock owned(plain.pbData);
    std::u16string text(plain.cbData / sizeof(char16_t), u'\0');
    if (!text.empty())
        std::memcpy(text.data(), plain.pbData, text.size() * sizeof(char16_t));
    SecureZeroMemory(plain.pbData, plain.cbData);
    return CString(std::move(text));
}
