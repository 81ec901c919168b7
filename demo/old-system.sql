-- The demo installation's old system database: its company list and its parameter row.
CREATE TABLE TQ_FORETAG(Nummer int, Namn char(128), FileDSN char(255));
INSERT INTO TQ_FORETAG VALUES(1, 'Åkeri Norrland AB', 'tq0001.dsn');
INSERT INTO TQ_FORETAG VALUES(2, 'Bäckström Bygg & Måleri', 'tq0002.dsn');
INSERT INTO TQ_FORETAG VALUES(3, 'O''Brien Konsult AB', 'tq0003.dsn');
INSERT INTO TQ_FORETAG VALUES(7, 'Öresunds Frakt HB', 'tq0007.dsn');
INSERT INTO TQ_FORETAG VALUES(12, 'Lön & Ekonomi i Väst AB', 'tq0012.dsn');
CREATE TABLE TQ_PARAMETRAR(Licensnr int, Licensagare char(255), Max_lontagare int, Max_foretag int,
  Kontrollsumma int, Nyckel char(64), Major int, Minor int, Sokvag char(255), Password char(64),
  MultiplaPerioder int);
INSERT INTO TQ_PARAMETRAR VALUES(40711, 'Varnik Demo Lön AB', 250, 10, 918273, 'DEMO-NYCKEL-2026', 2, 9,
  'C:\Program Files\Varnik', NULL, 1);
