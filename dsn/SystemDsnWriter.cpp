#include "SystemDsnWriter.h"

#include "NarrowPath.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "platform/System.h"

#include <cerrno>

namespace {

constexpr const char16_t* kSystemDsnTemplate =
    u"[ODBC]\nDRIVER=%s\nUID=tqsys\nAnsiNPW=No\nDATABASE=Varnik_tqsys\nAPP= Microsoft Open Database "
    u"Connectivity\nSERVER=%s\nTRUSTED_CONNECTION=%s\nDescription = Varnik Lön systemdatabas\n";

constexpr char16_t kLastSingleByte = 0xFF;

}  // namespace

CString ComposeSystemDsn(const CString& driver, const CString& server, bool trustedConnection) {
    return CString::Format(kSystemDsnTemplate, {driver, server, CString(trustedConnection ? u"YES" : u"NO")});
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
    const CString text = ComposeSystemDsn(m_driver, m_server, m_trustedConnection);
    AddLog(logfmt::kCreatingSystemDsn);
    // A value the file cannot hold is refused before the file is touched.
    const auto bytes = SystemDsnBytes(text);
    const int error =
        bytes ? sys::WriteNewFile(NarrowPath(m_installSysDsn, sys::kThreadAnsiCodePage).c_str(), *bytes) : EILSEQ;
    if (error != 0) {
        AddLog(logfmt::kCannotCreateFile, {m_installSysDsn, error});
        return false;
    }
    return true;
}
