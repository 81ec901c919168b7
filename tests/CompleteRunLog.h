// The lines a complete conversion run writes once it knows its server, on a server without
// Varnik_tqsys and an installation folder without an old backup; the native and the Windows
// end-to-end tests both expect exactly these.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The texts of the last lines, from the backup of tqsys.dsn to the end, without their numbers.
inline const std::vector<std::string> kRepointingTexts{
    "Byter namn på tqsys.dsn om den finns",
    "Info: Fanns ingen backuppfil för tqsys.dsn. Helt OK",
    "Info: Byter namn på tqsys.dsn till tqsys.bak",
    "Skapar ny tqsys.dsn",
    "DSN skapad för systemdatabas",
    "Konverteringen av systemdatabasen klar",
    "Kopierar över alla tqxxxx.dsn filer",
    "Klart! Klicka Avsluta",
};

// The texts numbered from `first` on.
inline std::vector<std::string> NumberedFrom(size_t first, const std::vector<std::string>& texts) {
    std::vector<std::string> lines;
    for (const auto& text : texts) {
        char number[16];
        std::snprintf(number, sizeof number, "%03zu ", first++);
        lines.push_back(number + text);
    }
    return lines;
}

// Lines 9 on of a complete run that copies `companies` companies.
inline std::vector<std::string> CompleteRunFromLine9(int companies) {
    std::vector<std::string> texts{
        "Databasen Varnik_tqsys finns inte redan och kommer att skapas",
        "Skapar databasen Varnik_tqsys",
        "Databasen, Varnik_tqsys skapad",
        "Uppdaterar Varnik_tqsys. Om företag redan finns i listan så skrivs ett felmeddelande för dessa",
        "Uppdaterar parametertabellen i Varnik_tqsys",
        "Parametrarna uppdaterade",
        "Uppdateringen av Varniks systemdatabas slutförd",
        "Kontrollerat: alla " + std::to_string(companies) + " företag och parameterraden finns i Varnik_tqsys",
    };
    texts.insert(texts.end(), kRepointingTexts.begin(), kRepointingTexts.end());
    return NumberedFrom(9, texts);
}

// The first lines followed by the rest of a complete run.
inline std::vector<std::string> CompleteRun(std::vector<std::string> firstLines, int companies) {
    const auto rest = CompleteRunFromLine9(companies);
    firstLines.insert(firstLines.end(), rest.begin(), rest.end());
    return firstLines;
}
