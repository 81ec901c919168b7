#include "CommandLine.h"

#include "LogFormats.h"

namespace {

// The option's name without its "/" or "-", in upper case; empty for an argument that is none.
CString OptionName(const CString& argument) {
    if (argument.GetLength() < 2 || (argument[0] != u'/' && argument[0] != u'-'))
        return CString();
    return argument.Mid(1).MakeUpper();
}

ScriptCommand Wrong(const CString& why) {
    return {ScriptCommand::Verb::Wrong, CString(), false, why, CString()};
}

ScriptCommand Read(const std::vector<CString>& arguments) {
    if (arguments.empty())
        return {};
    const CString verb = OptionName(arguments[0]);
    if (verb == CString(u"?"))
        return arguments.size() == 1 ? ScriptCommand{ScriptCommand::Verb::Usage, {}, false, {}, {}}
                                     : Wrong(logfmt::kUsageAlone);

    ScriptCommand command;
    size_t next = 1;
    if (verb == CString(u"KONTROLLERA") || verb == CString(u"KONVERTERA")) {
        command.verb = verb == CString(u"KONTROLLERA") ? ScriptCommand::Verb::Check : ScriptCommand::Verb::Convert;
        // An empty or blank number ("%1" left empty in a batch file) would match a company whose
        // number is empty or NULL: only a number a company can really have chooses one.
        if (arguments.size() >= 2 && OptionName(arguments[1]).IsEmpty())
            command.company = CString(arguments[1]).Trim();
        if (command.company.IsEmpty())
            return Wrong(CString::Format(logfmt::kNoCompanyNumber, {arguments[0]}));
        next = 2;
    } else if (verb == CString(u"ATERSTALL")) {
        command.verb = ScriptCommand::Verb::Restore;
    } else {
        return Wrong(CString::Format(logfmt::kUnknownArgument, {arguments[0]}));
    }
    for (; next < arguments.size(); ++next) {
        if (OptionName(arguments[next]) != CString(u"JA") || command.verb == ScriptCommand::Verb::Check)
            return Wrong(CString::Format(logfmt::kUnknownArgument, {arguments[next]}));
        command.yes = true;
    }
    return command;
}

}  // namespace

const char16_t* const kUsage =
    u"Daltrix.exe /kontrollera N\n"
    u"    kontrollerar om företag N kan konverteras; ändrar ingenting\n"
    u"Daltrix.exe /konvertera N [/ja]\n"
    u"    konverterar till servern för företag N\n"
    u"Daltrix.exe /aterstall [/ja]\n"
    u"    lägger tillbaka tqsys.dsn från tqsys.bak\n\n"
    u"N är företagets nummer som listan visar det. Utan /ja besvaras frågorna Nej. Daltrix visar fönstret, "
    u"klickar Starta själv, gör sitt, stänger och skriver allt i Daltrix.log.\n\n"
    u"Slutkod:\n"
    u"0  klart: konverterat och kontrollerat, inga hinder, återställt\n"
    u"1  ingenting i installationsmappen ändrat: körningen stoppades, kontrollen fann hinder eller "
    u"återställningen vägrades\n"
    u"2  fel argument eller företagsnummer\n"
    u"3  ompekat, men med avvikelser som /ja godtog eller filer att kopiera för hand\n"
    u"4  återställningen blev inte klar; kör /aterstall igen när felet i loggen är rättat";

ScriptCommand ParseCommandLine(const std::vector<CString>& arguments) {
    ScriptCommand command = Read(arguments);
    for (const CString& argument : arguments)
        command.given += (command.given.IsEmpty() ? u"" : u" ") + argument;
    return command;
}
