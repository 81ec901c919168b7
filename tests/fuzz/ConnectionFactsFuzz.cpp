// libFuzzer target: the connect-string analysis on arbitrary text. Besides crashes and
// undefined behaviour it checks that every value taken comes from the masked text, so none
// can hold a piece of a password.
#include "conversion/ConnectionAnalysis.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const CString connect(text);
    const CString masked = MaskPassword(connect);
    ConnectionFacts facts;
    ReadConnectionFacts(connect, facts);
    if (!facts.driver.IsEmpty() && masked.Find(facts.driver) < 0)
        std::abort();
    if (facts.driverKind == kSqlServerDriver && !facts.server.IsEmpty() && masked.Find(facts.server) < 0)
        std::abort();
    // A second run starts from what the first left and must not crash on it either.
    ReadConnectionFacts(masked, facts);
    return 0;
}
