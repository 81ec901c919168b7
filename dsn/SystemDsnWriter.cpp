#include "SystemDsnWriter.h"

#include "WholeFiles.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include <cerrno>

namespace {

// The template up to the TRUSTED_CONNECTION line, and the line that ends it.
constexpr const char16_t* kSystemDsnHead =
    u"[ODBC]\nDRIVER=%s\nUID=tqsys\nAnsiNPW=No\nDATABASE=Varnik_tqsys\nAPP= Microsoft Open Database "
    u"Connectivity\nSERVER=%s\nTRUSTED_CONNECTION=%s\n";
constexpr const char16_t* kSystemDsnTail = u"Description = Varnik Lön systemdatabas\n";

constexpr char16_t kLastSingleByte = 0xFF;

}  // namespace

CString ComposeSystemDsn(const CString& driver, const CString& server, bool trustedConnection,
                         const ConnectItems& encryptionItems) {
    CString text = CString::Format(kSystemDsnHead, {driver, server, CString(trustedConnection ? u"YES" : u"NO")});
    for (const auto& [key, value] : encryptionItems)
        text += key + u"=" + value + u"\n";
    return text + kSystemDsnTail;
}

std::optional<std::vector<unsigned char>> SystemDsnBytes(const CString& text) {
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(text.GetLength()) + 9);
    for (char16_t ch : text.Str()) {
        if (ch > kLastSingleByte)
            return std::nullopt;
        if (ch == u'\n')
            bytes.push_back('\r');
        bytes.push_back(static_cast<unsigned char>(ch));
    }
    return bytes;
}

bool CDaltrixDlg::WriteSystemDsn() {
    const CString text = ComposeSystemDsn(m_driver, m_server, m_trustedConnection, m_encryptionItems);
    AddLog(logfmt::kCreatingSystemDsn);
    // A value the file cannot hold is refused before any file is written.
    const auto bytes = SystemDsnBytes(text);
    const int error = bytes ? PutInPlace(m_installSysDsn, *bytes) : EILSEQ;
    if (error == 0) {
        m_systemDsnKept.clear();
        return true;
    }
    UndoSystemDsnBackup();
    AddLog(logfmt::kCannotCreateFile, {m_installSysDsn, error});
    return false;
}
