// libFuzzer target: the connect-string analysis on arbitrary text. Besides crashes and
// undefined behaviour it checks that every value read comes from the text, and that a braced
// password item never changes what is read, whatever it holds.
#include "conversion/ConnectionAnalysis.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool SameFacts(const ConnectionFacts& a, const ConnectionFacts& b) {
    return a.trustedConnection == b.trustedConnection && a.driverKind == b.driverKind && a.driver == b.driver &&
           a.server == b.server && a.encryptionItems == b.encryptionItems;
}

// "PWD={...};" with the password's "}" doubled, as a connect string carries it.
CString BracedPassword(CString password) {
    password.Replace(u"}", u"}}");
    return CString(u"PWD={") + password + u"};";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const CString connect(text);
    const ConnectionFacts facts = ReadConnectionFacts(connect);
    if (connect.Find(facts.driver) < 0)
        std::abort();
    if (facts.driverKind == kSqlServerDriver && connect.Find(facts.server) < 0)
        std::abort();

    // The input as items before a password, the password, and items after it (split at U+0001).
    const int first = connect.Find(u'\x01');
    const int second = first < 0 ? -1 : connect.Find(u'\x01', first + 1);
    if (second < 0)
        return 0;
    const CString before = connect.Left(first);
    // Items before the password must end where it starts: no brace left open, a ";" last.
    if (before.Find(u'{') >= 0 || (!before.IsEmpty() && before[before.GetLength() - 1] != u';'))
        return 0;
    const CString password = connect.Mid(first + 1, second - first - 1);
    const CString after = connect.Mid(second + 1);
    if (!SameFacts(ReadConnectionFacts(before + BracedPassword(password) + after),
                   ReadConnectionFacts(before + BracedPassword(u"********") + after)))
        std::abort();
    return 0;
}
