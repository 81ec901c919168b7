// Linux has no data-protection service: the text is kept masked with a key of the process, so
// that it never lies in memory in the clear. That hides it; it does not encrypt it.
#include "platform/ProtectedText.h"

#include <random>

namespace {

const std::vector<unsigned char>& ProcessKey() {
    static const std::vector<unsigned char> key = [] {
        std::random_device random;
        std::vector<unsigned char> bytes(64);
        for (auto& b : bytes)
            b = static_cast<unsigned char>(random());
        return bytes;
    }();
    return key;
}

std::vector<unsigned char> Mask(std::vector<unsigned char> bytes) {
    const auto& key = ProcessKey();
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] ^= key[i % key.size()];
    return bytes;
}

}  // namespace

void ProtectedText::Set(const CString& text) {
    std::vector<unsigned char> bytes;
    for (char16_t ch : text.Str()) {
        bytes.push_back(static_cast<unsigned char>(ch & 0xFF));
        bytes.push_back(static_cast<unsigned char>(ch >> 8));
    }
    m_block = Mask(std::move(bytes));
}

std::optional<CString> ProtectedText::Get() const {
    const std::vector<unsigned char> bytes = Mask(m_block);
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    return CString(std::move(text));
}
