// Every line the log can show, and every part that goes into one: the handbook explains each. Each
// format of a whole line starts with the line number, "%03d ".
#pragma once

namespace logfmt {
inline constexpr const char16_t* kClickStart = u"%03d Klicka Starta för att påbörja konverteringen";
inline constexpr const char16_t* kNotAdministrator =
    u"%03d Detta program måste köras som administratör! Avsluta och starta programmet som administratör.";
inline constexpr const char16_t* kNotInstalled =
    u"%03d Det verkar som om Varnik Lön 3.x inte är installerat i katalogen %s. Installera detta före du kör "
    u"konverteringen.";
inline constexpr const char16_t* kStarting =
    u"%03d Startar. För att välja databasserver för Varnik_tqsys väljer du ett aktivt företag i listan nedan.";
inline constexpr const char16_t* kMayNeedLogin = u"%03d Du kan eventuellt behöva logga in.";
inline constexpr const char16_t* kFoundSystemDsn = u"%03d Hittade en tqsys.dsn som %s";
inline constexpr const char16_t* kNoSystemDsn = u"%03d Hittade ingen tqsys.dsn när vi försökte med %s";
inline constexpr const char16_t* kCannotOpenSystemDb = u"%03d Kunde inte öppna systemdatabasen tqsys.dsn, fel %s";
inline constexpr const char16_t* kCannotReadCompanyList = u"%03d Kunde inte läsa företagslistan, fel %s";
inline constexpr const char16_t* kDoubleClickCompany =
    u"%03d Dubbelklicka på ett företags nummer nedan för att välja databasserver för Varnik_tqsys";
inline constexpr const char16_t* kCompanyChosen = u"%03d Företag %s är valt";
inline constexpr const char16_t* kDsnIs = u"%03d DSN är %s";
inline constexpr const char16_t* kOldParameterRows =
    u"%03d TQ_PARAMETRAR i den gamla systemdatabasen har %d rader men Varnik Lön läser en";
inline constexpr const char16_t* kCannotReadOldParameters = u"%03d Kunde inte läsa den gamla parameterraden: %s";
inline constexpr const char16_t* kServerIs = u"%03d Server är %s";
inline constexpr const char16_t* kNoServerAddress = u"%03d Kunde inte bestämma serveradress";
inline constexpr const char16_t* kServerUnknown =
    u"%03d Konverteringen avbröts: servern för Varnik_tqsys är okänd. Välj ett företag vars anslutning använder SQL "
    u"Server.";
inline constexpr const char16_t* kUpdateFinished = u"%03d Uppdateringen av Varniks systemdatabas slutförd";
inline constexpr const char16_t* kVerified =
    u"%03d Kontrollerat: alla %d företag och parameterraden finns i Varnik_tqsys";
inline constexpr const char16_t* kCompanyMissing = u"%03d Företag %s saknas i Varnik_tqsys";
inline constexpr const char16_t* kCompanyDiffers = u"%03d Företag %s har andra värden i Varnik_tqsys: %s";
inline constexpr const char16_t* kCompanyListedTwice =
    u"%03d Företagsnummer %s finns %d gånger i den gamla företagslistan";
inline constexpr const char16_t* kCompanyStoredTwice = u"%03d Företag %s finns %d gånger i Varnik_tqsys";
inline constexpr const char16_t* kCompanyNotListed =
    u"%03d Företag %s finns i Varnik_tqsys men inte i den gamla företagslistan";
inline constexpr const char16_t* kParametersMissing = u"%03d Parameterraden saknas i Varnik_tqsys";
inline constexpr const char16_t* kParametersDiffer = u"%03d Parameterraden har andra värden i Varnik_tqsys: %s";
inline constexpr const char16_t* kParameterRowsStored = u"%03d Varnik_tqsys har %d parameterrader men ska ha en";
inline constexpr const char16_t* kCannotVerify = u"%03d Kunde inte kontrollera Varnik_tqsys: %s";
inline constexpr const char16_t* kConversionStopped = u"%03d Konverteringen avbröts. Inga filer i %s har ändrats.";
inline constexpr const char16_t* kGoingOnIncomplete = u"%03d Fortsätter trots att Varnik_tqsys inte är komplett";
inline constexpr const char16_t* kDsnCreated = u"%03d DSN skapad för systemdatabas";
inline constexpr const char16_t* kConversionDone = u"%03d Konverteringen av systemdatabasen klar";
inline constexpr const char16_t* kCopyingCompanyDsns = u"%03d Kopierar över alla tqxxxx.dsn filer";
inline constexpr const char16_t* kAllDone = u"%03d Klart! Klicka Avsluta";
inline constexpr const char16_t* kCompanyDsnKept =
    u"%03d Info: %s i installationsmappen skilde sig från verktygets och sparas som %s";
inline constexpr const char16_t* kCannotCopy = u"%03d Kunde inte kopiera %s: %s";
inline constexpr const char16_t* kDoneCopyByHand = u"%03d Klart, men kopiera dessa filer för hand till %s: %s";
// A file DSN that Windows reads otherwise than it looks, or otherwise in other versions; the text
// after the colon is one of the reasons below.
inline constexpr const char16_t* kFileDsnRefused = u"%03d Daltrix använder inte %s: %s";
inline constexpr const char16_t* kFileDsnByteOrderMark =
    u"filen är sparad som UTF-8 med BOM eller som UTF-16 BE, och sådana filer läser olika Windows-versioner olika. "
    u"Spara den som ANSI";
inline constexpr const char16_t* kFileDsnHiddenValue =
    u"raden %s utan likhetstecken gör att Windows läser värdet som tomt, fast en senare rad ger ett. Ta bort raden";
inline constexpr const char16_t* kFileDsnLineWithoutKey =
    u"en rad börjar med likhetstecken, utan nyckel, och då kan Windows missa raderna efter den. Ta bort raden";
inline constexpr const char16_t* kFileDsnKeyWithSemicolon =
    u"nyckeln %s har ett semikolon och kan inte lämnas vidare till drivrutinen utan att ändra vad filen säger. "
    u"Rätta raden";
inline constexpr const char16_t* kCannotOpenDbWithError = u"%03d Kunde inte öppna databasen: %s";
inline constexpr const char16_t* kCannotOpenDb = u"%03d Kunde inte öppna databasen";
inline constexpr const char16_t* kNoConnection = u"%03d Ingen anslutning till databasen";
inline constexpr const char16_t* kDatabaseExists = u"%03d Databasen Varnik_tqsys finns redan och kommer att uppdateras";
inline constexpr const char16_t* kDatabaseMissing =
    u"%03d Databasen Varnik_tqsys finns inte redan och kommer att skapas";
inline constexpr const char16_t* kCreatingDatabase = u"%03d Skapar databasen Varnik_tqsys";
inline constexpr const char16_t* kDatabaseCreated = u"%03d Databasen, Varnik_tqsys skapad";
inline constexpr const char16_t* kCannotCreateDatabase = u"%03d Kunde inte skapa databasen: %s";
inline constexpr const char16_t* kCompletingDatabase = u"%03d Varnik_tqsys skapades inte färdigt och kompletteras";
inline constexpr const char16_t* kCompletionStatement = u"%03d Kompletterar Varnik_tqsys: %s";
inline constexpr const char16_t* kDatabaseCompleted = u"%03d Varnik_tqsys kompletterad";
inline constexpr const char16_t* kCannotCompleteDatabase = u"%03d Kunde inte komplettera Varnik_tqsys: %s";
inline constexpr const char16_t* kUpdatingSystemDb =
    u"%03d Uppdaterar Varnik_tqsys. Om företag redan finns i listan så skrivs ett felmeddelande för dessa";
inline constexpr const char16_t* kCannotInsertCompany = u"%03d Kunde inte uppdatera företagslistan: %s, %s, %s %s";
inline constexpr const char16_t* kUpdatingParameters = u"%03d Uppdaterar parametertabellen i Varnik_tqsys";
inline constexpr const char16_t* kParametersUpdated = u"%03d Parametrarna uppdaterade";
inline constexpr const char16_t* kCannotInsertParameters = u"%03d Kunde inte uppdatera Parametrarna: %s";
inline constexpr const char16_t* kRenamingSystemDsn = u"%03d Byter namn på tqsys.dsn om den finns";
inline constexpr const char16_t* kNoBackupFile = u"%03d Info: Fanns ingen backuppfil för tqsys.dsn. Helt OK";
inline constexpr const char16_t* kNoInstalledSystemDsn = u"%03d Info: Finns ingen tqsys.dsn för 64-bitars. Helt OK";
inline constexpr const char16_t* kRenamingToBackup = u"%03d Info: Byter namn på tqsys.dsn till tqsys.bak";
inline constexpr const char16_t* kBackupKept =
    u"%03d Info: tqsys.dsn är skriven av Daltrix och skrivs om, tqsys.bak behålls";
inline constexpr const char16_t* kOwnSystemDsnReplaced =
    u"%03d Info: tqsys.dsn är skriven av Daltrix och skrivs om, det finns ingen tqsys.bak";
inline constexpr const char16_t* kOlderBackupKept = u"%03d Info: Den äldre tqsys.bak sparas som %s";
inline constexpr const char16_t* kNamedBack = u"%03d Info: %s heter åter %s";
inline constexpr const char16_t* kCannotRename = u"%03d Kunde inte byta namn på %s %d";
inline constexpr const char16_t* kCreatingSystemDsn = u"%03d Skapar ny tqsys.dsn";
inline constexpr const char16_t* kRestoringSystemDsn = u"%03d Återställer tqsys.dsn från tqsys.bak";
inline constexpr const char16_t* kCannotCreateFile = u"%03d FEL! Kunde inte skapa %s! Felkod %d";
inline constexpr const char16_t* kCannotRecord = u"%03d Kunde inte skriva %s: %s";
inline constexpr const char16_t* kCannotSaveLog = u"%03d Loggen kan inte sparas i %s: %s";

// Parts of lines. Why a value cannot go into its column whole (after a company's or the parameter
// row's failure line, or a check's obstacle); a secret's value or part of one as it is shown; a
// difference the read-back found, one column each; an index Varnik_tqsys cannot be completed over;
// the reason a login prompt that was closed gives.
inline constexpr const char16_t* kNoValidNumber = u"Företaget saknar ett giltigt nummer";
inline constexpr const char16_t* kZeroInside = u"%s innehåller ett nolltecken, som skulle kapa värdet";
inline constexpr const char16_t* kNotIn1252 = u"Tecknet %s finns inte i teckentabell 1252 och kan inte lagras";
inline constexpr const char16_t* kSecretNotIn1252 =
    u"%s har ett tecken som inte finns i teckentabell 1252 och kan inte lagras";
inline constexpr const char16_t* kTooLong = u"%s har %d tecken men kolumnen rymmer %d";
inline constexpr const char16_t* kSecretTooLong = u"%s är längre än de %d tecken som kolumnen rymmer";
inline constexpr const char16_t* kMask = u"********";
inline constexpr const char16_t* kValueDiffers = u"%s: gamla systemet %s, Varnik_tqsys %s";
inline constexpr const char16_t* kSecretDiffers = u"%s: värdena skiljer sig (visas inte)";
inline constexpr const char16_t* kIndexNotUnique = u"indexet PrimaryKey på %s är inte unikt";
inline constexpr const char16_t* kLoginCancelled = u"inloggningen avbröts";

// The check of a conversion, which changes nothing.
inline constexpr const char16_t* kCheckStarting = u"%03d Kontrollerar om företag %s kan konverteras. Ingenting ändras.";
inline constexpr const char16_t* kCheckFine = u"%03d OK: %s";
inline constexpr const char16_t* kCheckNote = u"%03d Att veta: %s";
inline constexpr const char16_t* kCheckObstacle = u"%03d Hinder: %s";
inline constexpr const char16_t* kCheckNoObstacles =
    u"%03d Kontrollen är klar: inga hinder. Företag %s kan konverteras.";
inline constexpr const char16_t* kCheckObstacles =
    u"%03d Kontrollen är klar: %d hinder. Rätta dem före konverteringen.";

// Parts of the check's lines, each after "OK: ", "Att veta: " or "Hinder: ".
inline constexpr const char16_t* kCheckCompanyRefused = u"företag %s: %s";
inline constexpr const char16_t* kCheckParametersRefused = u"parameterraden: %s";
inline constexpr const char16_t* kCheckParameterNoNumber = u"parameterraden: %s '%s' är inget heltal";
inline constexpr const char16_t* kCheckCompanyDsnMissing = u"företag %s: %s finns inte bredvid Daltrix";
inline constexpr const char16_t* kCheckCompanyDsnUnreadable = u"företag %s: %s går inte att läsa som DSN-fil";
inline constexpr const char16_t* kCheckCompanyDsnByHand =
    u"%s har fler än fyra siffror och kopieras inte; kopiera den för hand till %s";
inline constexpr const char16_t* kCheckCompanyDsnDiffers =
    u"%s i installationsmappen skiljer sig från verktygets och sparas undan som %s.N";
inline constexpr const char16_t* kCheckCompanyDsnsReadable =
    u"%d företags DSN-filer finns bredvid Daltrix och kan läsas";
inline constexpr const char16_t* kCheckNoSystemDsn = u"det finns ingen tqsys.dsn i installationsmappen; en ny skrivs";
inline constexpr const char16_t* kCheckOwnSystemDsn =
    u"tqsys.dsn är skriven av Daltrix vid en tidigare konvertering och skrivs om";
inline constexpr const char16_t* kCheckProductsSystemDsn = u"tqsys.dsn är Varnik Löns egen och sparas som tqsys.bak";
inline constexpr const char16_t* kCheckBackupKept = u"tqsys.bak finns och behålls";
inline constexpr const char16_t* kCheckOlderBackup = u"det finns redan en tqsys.bak; den sparas som tqsys.bak.N";
inline constexpr const char16_t* kCheckCannotWrite = u"det går inte att skriva i %s: %s";
inline constexpr const char16_t* kCheckCanWrite = u"det går att skriva i %s";
inline constexpr const char16_t* kCheckMayCreate = u"Varnik_tqsys finns inte, och inloggningen får skapa den";
inline constexpr const char16_t* kCheckMayNotCreate =
    u"Varnik_tqsys finns inte, och inloggningen får inte skapa databaser";
inline constexpr const char16_t* kCheckLayoutBlocked = u"Varnik_tqsys kan inte kompletteras: %s";
inline constexpr const char16_t* kCheckIncomplete =
    u"Varnik_tqsys skapades inte färdigt; det som saknas skapas vid konverteringen";
inline constexpr const char16_t* kCheckComplete = u"Varnik_tqsys finns med båda tabellerna och indexen";
inline constexpr const char16_t* kCheckNoConnection = u"företagets anslutning går inte att öppna (se raden ovan)";
inline constexpr const char16_t* kCheckNoSqlServer =
    u"företagets anslutning använder ingen SQL Server-drivrutin eller namnger ingen server";
inline constexpr const char16_t* kCheckConnection = u"anslutningen går till %s med drivrutinen %s och %s";
inline constexpr const char16_t* kCheckWindowsLogin = u"Windows-inloggning";
inline constexpr const char16_t* kCheckSqlServerLogin = u"SQL Server-inloggning";
inline constexpr const char16_t* kCheckServerUnreadable = u"servern kunde inte läsas: %s";

// Putting the product's own tqsys.dsn back.
inline constexpr const char16_t* kRestoreNoBackup = u"%03d Återställer inte: det finns ingen tqsys.bak i %s";
inline constexpr const char16_t* kRestoreNotOwn =
    u"%03d Återställer inte: tqsys.dsn i %s är inte den som Daltrix skrev";
inline constexpr const char16_t* kRestoreRecordUnreadable =
    u"%03d Återställer inte: %s går inte att läsa, och utan den vet Daltrix inte vad som ska tillbaka";
inline constexpr const char16_t* kRestoreDeclined = u"%03d Återställer inte: frågan besvarades Nej";
inline constexpr const char16_t* kKeptNameNotUnderstood =
    u"%03d Info: %s lämnas som den är: Daltrix sparar inga filer under det namnet";
inline constexpr const char16_t* kKeptInTheWay =
    u"%03d Info: %s i installationsmappen är inte Daltrix egen fil och sparas som %s";
inline constexpr const char16_t* kCannotPutBack = u"%03d Kunde inte lägga tillbaka %s som %s: %s";
inline constexpr const char16_t* kRestoreIncomplete =
    u"%03d Återställningen blev inte klar. Rätta felet på raden ovan och välj Återställ igen, så gör Daltrix "
    u"klart resten i %s.";
inline constexpr const char16_t* kRestored =
    u"%03d Återställt: Varnik Lön använder åter sin egen tqsys.dsn. Varnik_tqsys finns kvar på servern.";

// A run from the command line.
inline constexpr const char16_t* kScriptStarted = u"%03d Körs från kommandoraden: %s";
inline constexpr const char16_t* kScriptWrongArguments =
    u"%03d Fel på kommandoraden: %s. Daltrix.exe /? visar hur programmet körs från kommandoraden.";
inline constexpr const char16_t* kScriptNoCompany = u"%03d Företag %s finns inte i listan";
inline constexpr const char16_t* kScriptAnsweredYes = u"%03d Frågan besvarades Ja, eftersom /ja gavs";
inline constexpr const char16_t* kScriptAnsweredNo = u"%03d Frågan besvarades Nej, eftersom /ja inte gavs";
inline constexpr const char16_t* kScriptStopped = u"%03d Körningen avbröts: %s";
inline constexpr const char16_t* kScriptEnds = u"%03d Daltrix avslutas med slutkod %d";
// What is wrong with the arguments, after "Fel på kommandoraden: ", and what ended a run that
// has no text of its own, after "Körningen avbröts: ".
inline constexpr const char16_t* kUsageAlone = u"/? står ensamt";
inline constexpr const char16_t* kNoCompanyNumber = u"%s saknar ett företagsnummer";
inline constexpr const char16_t* kUnknownArgument = u"okänt argument %s";
inline constexpr const char16_t* kFailureWithoutText = u"ett fel utan egen beskrivning";

// Only in Daltrix.log, unnumbered: the line that opens each start's part of the file, with the
// date and time, the version, the processor and the computer, so that support can tell the runs
// of several sites and builds apart.
inline constexpr const char16_t* kLogFileStart = u"=== Daltrix %s (%s) startad %s på datorn %s ===";
}  // namespace logfmt
