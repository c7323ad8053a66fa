<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>CliOptions</name>
    <message>
        <source>%1 braucht einen Wert</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>--list steht allein</source>
        <translation>--list stands alone</translation>
    </message>
    <message>
        <source>--all oder --port, nicht beides</source>
        <translation>--all or --port, not both</translation>
    </message>
    <message>
        <source>--watch passt nicht zu --all oder --info</source>
        <translation>--watch does not go with --all or --info</translation>
    </message>
    <message>
        <source>--rearm-after nur zusammen mit --watch</source>
        <translation>--rearm-after only together with --watch</translation>
    </message>
    <message>
        <source>--info schreibt nichts: keine HEX-Datei angeben</source>
        <translation>--info writes nothing: give no HEX file</translation>
    </message>
    <message>
        <source>keine HEX-Datei angegeben</source>
        <translation>no HEX file given</translation>
    </message>
    <message>
        <source>nur eine HEX-Datei angeben, nicht %1</source>
        <translation>give only one HEX file, not %1</translation>
    </message>
    <message>
        <source>--image-out nur zusammen mit --check</source>
        <translation>--image-out only together with --check</translation>
    </message>
    <message>
        <source>zirbelwerk-flash: %1 (Hilfe: zirbelwerk-flash --help)</source>
        <translation>zirbelwerk-flash: %1 (help: zirbelwerk-flash --help)</translation>
    </message>
    <message>
        <source>--port %1 geht nicht: COM1 bis COM%2 oder ein Geraetepfad wie /dev/ttyUSB0</source>
        <translation>--port %1 is not possible: COM1 to COM%2 or a device path such as /dev/ttyUSB0</translation>
    </message>
    <message>
        <source>--check beruehrt keine HW; %1 passt nicht dazu</source>
        <translation>--check touches no HW; %1 does not go with it</translation>
    </message>
    <message>
        <source>%1 (Standard)</source>
        <extracomment>the default baud rate in a list</extracomment>
        <translation>%1 (default)</translation>
    </message>
    <message>
        <source>%1 oder %2</source>
        <extracomment>the last item of a list</extracomment>
        <translation>%1 or %2</translation>
    </message>
    <message>
        <source>--baud %1 geht nicht: nur %2</source>
        <translation>--baud %1 is not possible: only %2</translation>
    </message>
    <message>
        <source>--rearm-after %1 geht nicht: Sekunden von %2 bis %3</source>
        <translation>--rearm-after %1 is not possible: seconds from %2 to %3</translation>
    </message>
    <message>
        <source>--port %1 geht nicht: COM1 bis COM%2</source>
        <translation>--port %1 is not possible: COM1 to COM%2</translation>
    </message>
    <message>
        <source>COMn oder Geraetepfad</source>
        <translation>COMn or a device path</translation>
    </message>
    <message>
        <source>Ports von --port, ZIRBELWERK_PORTS oder USB-Adapter</source>
        <translation>ports of --port, ZIRBELWERK_PORTS or USB adapters</translation>
    </message>
    <message>
        <source>Ctrl-C, SIGTERM oder SIGHUP waehrend des Schreibens: es geht zu Ende;
ein zweites Ctrl-C oder SIGTERM bricht ab (die HW bleibt halb beschrieben).</source>
        <translation>Ctrl-C, SIGTERM or SIGHUP during the write: it goes on to its end;
a second Ctrl-C or SIGTERM stops it (the HW stays half written).</translation>
    </message>
    <message>
        <source>

ZIRBELWERK_PORTS=/dev/a:/dev/b:... legt fest, welches Geraet COM1, COM2, ... ist.</source>
        <translation>

ZIRBELWERK_PORTS=/dev/a:/dev/b:... sets which device COM1, COM2, ... stand for.</translation>
    </message>
    <message>
        <source>COM1 bis COM%1</source>
        <translation>COM1 to COM%1</translation>
    </message>
    <message>
        <source>Ports von --port oder USB-Adapter</source>
        <translation>ports of --port or USB adapters</translation>
    </message>
    <message>
        <source>Ctrl-C oder Ctrl-Break waehrend des Schreibens: es geht zu Ende;
ein zweites bricht ab (die HW bleibt halb beschrieben).</source>
        <translation>Ctrl-C or Ctrl-Break during the write: it goes on to its end;
a second one stops it (the HW stays half written).</translation>
    </message>
    <message>
        <source>Aufruf: zirbelwerk-flash [--port NAME]... [--baud RATE] [--all|--watch] DATEI.hex
        zirbelwerk-flash --info [--port NAME]... [--all]
        zirbelwerk-flash --check DATEI.hex [--image-out DATEI.bin]
        zirbelwerk-flash --list
        zirbelwerk-flash --report [--report-out DATEI.html] [--since DATUM] [--until DATUM]
                         [PROTOKOLL]...

Schreibt eine Firmware (Intel HEX) in den Flash der HW: Datei pruefen,
HW an COM1 bis COM%1 suchen (ein Durchgang), Flash beschreiben.

  -p, --port NAME        keine Suche, nur dieser Port (%7);
                         mehrmals: alle diese Ports zugleich
  -b, --baud RATE        %2
  --all                  jede HW an COM1 bis COM%1, alle zugleich
  --watch                laeuft weiter und schreibt jede neu angeschlossene HW einmal
                         (%8)
  --rearm-after SEK      mit --watch: so lange stumm = neue HW (Standard %3)
  --info                 nur HW suchen und Port, Geraet und Version zeigen
  --json                 auf stdout nur JSON-Zeilen (check, found, progress,
                         outcome, summary)
  --record DATEI         Protokoll hierhin statt ins gemeinsame
  --check                nur die Datei pruefen, keine HW
  --image-out DATEI.bin  mit --check: das Abbild (%4 Byte) binaer schreiben
  --list                 zeigt, welches Geraet hinter COM1 bis COM%1 steht
  --report               Bericht als HTML-Seite: Ausbeute, Fehlschlaege nach Grund
                         und Block, Dauer; aus dem eigenen Protokoll oder den
                         angegebenen (mehrere Stationen zusammen)
  --report-out DATEI     mit --report: die Seite hierhin statt neben das Protokoll
  --since DATUM          mit --report: ab diesem Tag (JJJJ-MM-TT, Ortszeit) oder
                         Zeitpunkt (JJJJ-MM-TTThh:mm)
  --until DATUM          mit --report: bis einschliesslich diesem Tag oder Zeitpunkt
  -h, --help             diese Hilfe
  --version              Versionsnummer zeigen

Rueckgabewert:
  0  Flash geschrieben (mit --check: Datei geeignet; --info: HW gefunden)
  1  Aufruf falsch (auch ein Datum), oder --image-out oder --report-out
     nicht schreibbar
  2  HEX-Datei nicht geeignet (--report: kein Protokoll oder keine Zeile lesbar)
  3  keine HW gefunden
  4  Flash schreiben fehlgeschlagen (--all, --watch: bei mindestens einer HW)
  5  durch ein Signal beendet, bevor alles geschrieben war
     (--watch: 0, wenn gerade nichts geschrieben wurde)

%9

Die HW hat bis %5 s fuer die erste Antwort (sie loescht ihren Flash) und
bis %6 s fuer jede weitere; schweigt sie laenger, endet das Schreiben (4).%10</source>
        <translation>Usage: zirbelwerk-flash [--port NAME]... [--baud RATE] [--all|--watch] FILE.hex
       zirbelwerk-flash --info [--port NAME]... [--all]
       zirbelwerk-flash --check FILE.hex [--image-out FILE.bin]
       zirbelwerk-flash --list
       zirbelwerk-flash --report [--report-out FILE.html] [--since DATE] [--until DATE]
                        [RECORD]...

Writes firmware (Intel HEX) into the flash of the HW: checks the file,
searches COM1 to COM%1 for the HW (one pass), writes the flash.

  -p, --port NAME        no search, only this port (%7);
                         given more than once: all these ports at once
  -b, --baud RATE        %2
  --all                  every HW on COM1 to COM%1, all at once
  --watch                keeps running and writes every newly attached HW once
                         (%8)
  --rearm-after SEC      with --watch: silent this long = a new HW (default %3)
  --info                 only search for HW and show port, device and version
  --json                 only JSON lines on stdout (check, found, progress,
                         outcome, summary)
  --record FILE          the record goes here instead of the shared one
  --check                only check the file, no HW
  --image-out FILE.bin   with --check: write the image (%4 bytes) as binary
  --list                 shows which device stands behind COM1 to COM%1
  --report               report as an HTML page: yield, failures by reason
                         and block, durations; from the own record or the
                         ones given (several stations together)
  --report-out FILE      with --report: the page goes here, not beside the record
  --since DATE           with --report: from this day (YYYY-MM-DD, local time) or
                         moment (YYYY-MM-DDThh:mm)
  --until DATE           with --report: up to and including this day or moment
  -h, --help             this help
  --version              show the version number

Exit status:
  0  flash written (with --check: file suitable; --info: HW found)
  1  wrong usage (a date too), or --image-out or --report-out
     not writable
  2  HEX file not suitable (--report: no record or no line readable)
  3  no HW found
  4  flash write failed (--all, --watch: for at least one HW)
  5  ended by a signal before everything was written
     (--watch: 0 when nothing was being written)

%9

The HW has up to %5 s for its first reply (it erases its flash) and
up to %6 s for each one after; if it stays silent longer, the write ends (4).%10</translation>
    </message>
    <message>
        <source>%1 %2 geht nicht: ein Datum JJJJ-MM-TT oder Datum und Uhrzeit JJJJ-MM-TTThh:mm</source>
        <translation>%1 %2 is not possible: a date YYYY-MM-DD or a date and time YYYY-MM-DDThh:mm</translation>
    </message>
    <message>
        <source>--since liegt nach --until: kein Zeitraum</source>
        <translation>--since lies after --until: no period</translation>
    </message>
    <message>
        <source>--report beruehrt keine HW; %1 passt nicht dazu</source>
        <translation>--report touches no HW; %1 does not go with it</translation>
    </message>
    <message>
        <source>%1 nur zusammen mit --report</source>
        <translation>%1 only together with --report</translation>
    </message>
</context>
<context>
    <name>DialogueText</name>
    <message>
        <source>Suche HW :</source>
        <translation>Searching HW: </translation>
    </message>
    <message>
        <source>HW gefunden an: </source>
        <translation>HW found at: </translation>
    </message>
    <message>
        <source>Block: %1 / %2</source>
        <translation>Block: %1 / %2</translation>
    </message>
    <message>
        <source>HEX-Datei OK!! Laenge: %1 Byte</source>
        <translation>HEX file OK!! Length: %1 bytes</translation>
    </message>
    <message>
        <source>HEX-Datei nicht geeignet!!</source>
        <translation>HEX file not suitable!!</translation>
    </message>
    <message>
        <source>Flash schreiben starten, bitte warten!</source>
        <translation>Starting the flash write, please wait!</translation>
    </message>
    <message>
        <source>Flash wird beschrieben!</source>
        <translation>Writing the flash!</translation>
    </message>
    <message>
        <source>Flash neu beschrieben!</source>
        <translation>Flash rewritten!</translation>
    </message>
    <message>
        <source>FW: neu, Exit Programm</source>
        <translation>FW: new, exit the program</translation>
    </message>
    <message>
        <source>Verbindung zur HW unterbrochen</source>
        <translation>Connection to the HW lost</translation>
    </message>
    <message>
        <source>Keine Verbindung zur HW</source>
        <translation>No connection to the HW</translation>
    </message>
    <message>
        <source>HEX-Datei zu gross</source>
        <translation>HEX file too large</translation>
    </message>
    <message>
        <source>Schreibfehler an der HW</source>
        <translation>Write error at the HW</translation>
    </message>
    <message>
        <source>Keine Antwort von der HW</source>
        <translation>No reply from the HW</translation>
    </message>
    <message>
        <source>HW nimmt keine Daten an</source>
        <translation>HW takes no data</translation>
    </message>
    <message>
        <source>Schreiben abgebrochen</source>
        <translation>Write interrupted</translation>
    </message>
    <message>
        <source>%1, Flash nicht beschrieben</source>
        <translation>%1, flash not written</translation>
    </message>
    <message>
        <source>%1, Abbruch bei Block %2 / %3</source>
        <translation>%1, stopped at block %2 / %3</translation>
    </message>
    <message>
        <source>Abbruch bei Block %1 / %2</source>
        <translation>Stopped at block %1 / %2</translation>
    </message>
    <message>
        <source>Die HW wartet wohl noch mitten im Schreiben: Geraet aus- und einschalten, dann neu schreiben</source>
        <translation>The HW probably still waits in the middle of the write: switch the device off and on, then write again</translation>
    </message>
    <message>
        <source>FW: %1</source>
        <translation>FW: %1</translation>
    </message>
    <message>
        <source>Keine Antwort</source>
        <translation>No reply</translation>
    </message>
    <message>
        <source>Verbindung unterbrochen</source>
        <translation>Connection lost</translation>
    </message>
    <message>
        <source>Schreibfehler</source>
        <translation>Write error</translation>
    </message>
    <message>
        <source>HW nimmt nichts an</source>
        <translation>HW takes no data</translation>
    </message>
    <message>
        <source>Abgebrochen</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>%1 - HW aus- und einschalten</source>
        <translation>%1 - switch the HW off and on</translation>
    </message>
    <message>
        <source>warte auf HW</source>
        <translation>waiting for HW</translation>
    </message>
    <message>
        <source>gefunden FW %1</source>
        <translation>found FW %1</translation>
    </message>
    <message>
        <source>Block %1 / %2</source>
        <translation>Block %1 / %2</translation>
    </message>
    <message>
        <source>geschrieben %1</source>
        <translation>written %1</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Failed</translation>
    </message>
</context>
<context>
    <name>FirmwareCheck</name>
    <message>
        <source>Bloecke: %1 zu %2 Byte</source>
        <translation>Blocks: %1 of %2 bytes each</translation>
    </message>
    <message>
        <source>Abbild nicht geschrieben: %1: %2</source>
        <translation>Image not written: %1: %2</translation>
    </message>
    <message>
        <source>Abbild geschrieben: %1 (%2 Byte)</source>
        <translation>Image written: %1 (%2 bytes)</translation>
    </message>
</context>
<context>
    <name>FlashCommand</name>
    <message>
        <source>%1: Antwort nicht erkannt (Kennung &quot;%2&quot;, Version: %3)</source>
        <translation>%1: reply not recognised (tag &quot;%2&quot;, version: %3)</translation>
    </message>
    <message>
        <source>COM1 bis COM%1 (siehe --list)</source>
        <translation>COM1 to COM%1 (see --list)</translation>
    </message>
</context>
<context>
    <name>FlashRecord</name>
    <message>
        <source>kein Ort fuer Daten des Benutzers bekannt</source>
        <translation>no place known for the user&apos;s data</translation>
    </message>
    <message>
        <source>Ordner %1 kann nicht angelegt werden</source>
        <translation>folder %1 cannot be created</translation>
    </message>
    <message>
        <source>Flash-Protokoll nicht geschrieben: %1: %2</source>
        <translation>Flash record not written: %1: %2</translation>
    </message>
    <message>
        <source>von einem anderen Programm gesperrt, %1 s gewartet</source>
        <translation>locked by another program, waited %1 s</translation>
    </message>
    <message>
        <source>von einem anderen Programm gesperrt; beim Beenden aufgegeben</source>
        <translation>locked by another program; given up on exit</translation>
    </message>
</context>
<context>
    <name>FlashReport</name>
    <message>
        <source>kein Protokoll lesbar</source>
        <translation>no record readable</translation>
    </message>
    <message>
        <source>keine lesbare Zeile in %1</source>
        <translation>no readable line in %1</translation>
    </message>
    <message>
        <source>1 Zeile uebersprungen</source>
        <translation>1 line skipped</translation>
    </message>
    <message>
        <source>%1 Zeilen uebersprungen</source>
        <translation>%1 lines skipped</translation>
    </message>
    <message>
        <source>Bericht %1 nicht geschrieben: %2</source>
        <translation>Report %1 not written: %2</translation>
    </message>
</context>
<context>
    <name>FlasherText</name>
    <message>
        <source>Jetzt abbrechen liesse die HW halb beschrieben zurueck: das Schreiben geht weiter. Ein zweites Signal bricht trotzdem ab.</source>
        <translation>Stopping now would leave the HW half written: the write goes on. A second signal stops it all the same.</translation>
    </message>
    <message>
        <source>Abgebrochen, bevor geschrieben wurde: Flash nicht beschrieben</source>
        <translation>Stopped before anything was written: flash not written</translation>
    </message>
    <message>
        <source>%1 antwortet nicht, und das letzte Schreiben dorthin ist nicht fertig geworden: die HW wartet wohl noch darin. Geraet aus- und einschalten.</source>
        <translation>%1 does not answer, and the last write to it did not finish: the HW probably still waits in it. Switch the device off and on.</translation>
    </message>
    <message>
        <source>Keine HW gefunden an %1</source>
        <translation>No HW found on %1</translation>
    </message>
    <message>
        <source>Keine HW gefunden</source>
        <translation>No HW found</translation>
    </message>
    <message>
        <source>%1 (siehe zirbelwerk-flash --list)</source>
        <translation>%1 (see zirbelwerk-flash --list)</translation>
    </message>
</context>
<context>
    <name>HexLoader</name>
    <message>
        <source>Datei kann nicht gelesen werden: %1 (%2)</source>
        <translation>File cannot be read: %1 (%2)</translation>
    </message>
    <message>
        <source>Datei ist zu gross fuer eine HEX-Datei: %1</source>
        <translation>File is too large for a HEX file: %1</translation>
    </message>
    <message>
        <source>Datei ist leer: %1</source>
        <translation>File is empty: %1</translation>
    </message>
    <message>
        <source>Keine Datei angegeben</source>
        <translation>No file given</translation>
    </message>
    <message>
        <source>Datei nicht gefunden: %1</source>
        <translation>File not found: %1</translation>
    </message>
    <message>
        <source>Ist ein Ordner, keine Datei: %1</source>
        <translation>Is a folder, not a file: %1</translation>
    </message>
    <message>
        <source>Datei kann nicht geoeffnet werden: %1 (%2)</source>
        <translation>File cannot be opened: %1 (%2)</translation>
    </message>
    <message>
        <source>Endesatz :00000001FF fehlt: die Datei ist vielleicht unvollstaendig (Download abgebrochen?)</source>
        <translation>End-of-file record :00000001FF missing: the file may be incomplete (download cut short?)</translation>
    </message>
    <message>
        <source>Zeichen %1 ist keine Hex-Ziffer</source>
        <translation>Character %1 is not a hex digit</translation>
    </message>
    <message>
        <source>ungerade Anzahl Hex-Ziffern</source>
        <translation>odd number of hex digits</translation>
    </message>
    <message>
        <source>Satz zu kurz</source>
        <translation>record too short</translation>
    </message>
    <message>
        <source>Byteanzahl %1 passt nicht zu %2 Datenbytes</source>
        <translation>byte count %1 does not match %2 data bytes</translation>
    </message>
    <message>
        <source>Pruefsumme falsch</source>
        <translation>wrong checksum</translation>
    </message>
    <message>
        <source>Adresssatz (Typ %1) mit %2 statt 2 Datenbytes</source>
        <translation>address record (type %1) with %2 instead of 2 data bytes</translation>
    </message>
    <message>
        <source>Segmentadresse %1 verschiebt Daten unter 0x10000</source>
        <translation>segment address %1 moves data below 0x10000</translation>
    </message>
    <message>
        <source>Daten bei %1-%2 liegen ausserhalb des Speichers (bis %3)</source>
        <translation>data at %1-%2 lie outside the memory (up to %3)</translation>
    </message>
    <message>
        <source>Keine Daten unter 0x10000 (Satz :020000040000FA fehlt?)</source>
        <translation>No data below 0x10000 (record :020000040000FA missing?)</translation>
    </message>
    <message>
        <source>Signatur fehlt: Adresse %1 enthaelt %2 statt %3</source>
        <translation>Signature missing: address %1 holds %2 instead of %3</translation>
    </message>
    <message>
        <source>Endadresse %1 liegt ueber %2</source>
        <translation>End address %1 lies above %2</translation>
    </message>
    <message>
        <source>Zeile %1: %2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>%1 Byte vor dem ersten Satz :020000040000FA uebergangen, ab Adresse %2 (Zeile %3)</source>
        <translation>%1 bytes before the first record :020000040000FA passed over, from address %2 (line %3)</translation>
    </message>
    <message>
        <source>erweiterte Adresse %1</source>
        <translation>extended address %1</translation>
    </message>
    <message>
        <source>Segmentadresse %1</source>
        <translation>segment address %1</translation>
    </message>
    <message>
        <source>%1 Byte ueber 64 KiB uebergangen, ab Adresse %2 (%3, Zeile %4)</source>
        <translation>%1 bytes above 64 KiB passed over, from address %2 (%3, line %4)</translation>
    </message>
    <message>
        <source>%1 Byte nach dem Endesatz (Zeile %2) trotzdem geladen, ab Zeile %3: zwei Dateien aneinandergehaengt?</source>
        <translation>%1 bytes after the end-of-file record (line %2) loaded all the same, from line %3: two files joined?</translation>
    </message>
    <message>
        <source>%1 Byte von einem spaeteren Satz mit anderem Wert ueberschrieben, zuerst Adresse %2 (Zeile %3)</source>
        <translation>%1 bytes overwritten with other values by a later record, first at address %2 (line %3)</translation>
    </message>
    <message>
        <source>Keine Daten unter 0x10000: vor den Daten fehlt der Satz :020000040000FA (als erste Zeile einfuegen oder mit &quot;srec_cat ALT.hex -intel -o NEU.hex -intel&quot; neu schreiben)</source>
        <translation>No data below 0x10000: the record :020000040000FA is missing before the data (insert it as the first line, or rewrite the file with &quot;srec_cat OLD.hex -intel -o NEW.hex -intel&quot;)</translation>
    </message>
    <message>
        <source>Ist ein Geraet, keine Datei: %1</source>
        <translation>Is a device, not a file: %1</translation>
    </message>
    <message>
        <source>Aus %1 kamen %2 s lang keine Daten</source>
        <translation>No data came from %1 for %2 s</translation>
    </message>
    <message>
        <source>Laden von %1 abgebrochen</source>
        <translation>Loading %1 stopped</translation>
    </message>
</context>
<context>
    <name>MultiFlash</name>
    <message>
        <source>(kein USB-Adapter bekannt)</source>
        <translation>(no USB adapter known)</translation>
    </message>
    <message>
        <source>Warte auf HW (Ende mit Ctrl-C) ...</source>
        <translation>Waiting for HW (end with Ctrl-C) ...</translation>
    </message>
    <message>
        <source>%1  %2  %3  FW: %4</source>
        <translation>%1  %2  %3  FW: %4</translation>
    </message>
    <message>
        <source>gefunden</source>
        <translation>found</translation>
    </message>
    <message>
        <source>%1, schreibe</source>
        <translation>%1, writing</translation>
    </message>
    <message>
        <source>geschrieben</source>
        <translation>written</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Geraet</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>USB-Seriennr.</source>
        <translation>USB serial no.</translation>
    </message>
    <message>
        <source>FW vorher</source>
        <translation>FW before</translation>
    </message>
    <message>
        <source>Ergebnis</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Bloecke</source>
        <translation>Blocks</translation>
    </message>
    <message>
        <source>Sekunden</source>
        <translation>Seconds</translation>
    </message>
    <message>
        <source>Kein USB-Seriell-Adapter angeschlossen: warte auf einen</source>
        <translation>No USB serial adapter attached: waiting for one</translation>
    </message>
    <message>
        <source>USB-Seriell-Adapter da: %1</source>
        <translation>USB serial adapter here: %1</translation>
    </message>
</context>
<context>
    <name>PortFault</name>
    <message>
        <source>Port %1 ist nicht vorhanden</source>
        <translation>Port %1 is not present</translation>
    </message>
    <message>
        <source>Port %1 wird von einem anderen Programm benutzt</source>
        <translation>Port %1 is in use by another program</translation>
    </message>
    <message>
        <source>Kein Zugriff auf Port %1: Benutzer in die Gruppe dialout aufnehmen (sudo adduser $USER dialout) und neu anmelden</source>
        <translation>No access to port %1: add the user to the group dialout (sudo adduser $USER dialout) and log in again</translation>
    </message>
    <message>
        <source>%1 ist kein serieller Port</source>
        <translation>%1 is not a serial port</translation>
    </message>
    <message>
        <source>Port %1 nicht geoeffnet: %2</source>
        <translation>Port %1 not opened: %2</translation>
    </message>
    <message>
        <source>Port %1 ist dasselbe Geraet wie %2, nicht noch einmal geoeffnet</source>
        <translation>Port %1 is the same device as %2, not opened again</translation>
    </message>
    <message>
        <source>Port %1 gibt es nicht</source>
        <translation>Port %1 does not exist</translation>
    </message>
    <message>
        <source>Port %1 wird von %2 benutzt</source>
        <translation>Port %1 is in use by %2</translation>
    </message>
    <message>
        <source>nicht vorhanden</source>
        <translation>not present</translation>
    </message>
    <message>
        <source>von einem anderen Programm benutzt</source>
        <translation>in use by another program</translation>
    </message>
    <message>
        <source>dasselbe Geraet wie %1</source>
        <translation>same device as %1</translation>
    </message>
    <message>
        <source>kein Zugriff: Benutzer in die Gruppe dialout aufnehmen</source>
        <translation>no access: add the user to the group dialout</translation>
    </message>
    <message>
        <source>kein serieller Port</source>
        <translation>not a serial port</translation>
    </message>
</context>
<context>
    <name>PortListing</name>
    <message>
        <source>Keine seriellen Ports gefunden</source>
        <translation>No serial ports found</translation>
    </message>
    <message>
        <source>(aus %1)</source>
        <translation>(from %1)</translation>
    </message>
</context>
<context>
    <name>PortNames</name>
    <message>
        <source>%1 nennt %2 Geraete; nur die ersten %3 (COM1 bis COM%3) werden gefragt</source>
        <translation>%1 names %2 devices; only the first %3 (COM1 to COM%3) are asked</translation>
    </message>
</context>
<context>
    <name>ProgressPrinter</name>
    <message>
        <source>, %1 Byte/s, noch %2:%3</source>
        <translation>, %1 bytes/s, %2:%3 left</translation>
    </message>
    <message>
        <source>Warte auf die HW (sie loescht ihren Flash): %1 s</source>
        <translation>Waiting for the HW (it erases its flash): %1 s</translation>
    </message>
    <message>
        <source>Gesamtzeit: %1 s</source>
        <translation>Total time: %1 s</translation>
    </message>
</context>
<context>
    <name>RecordReader</name>
    <message>
        <source>Protokoll %1 nicht gefunden</source>
        <translation>Record %1 not found</translation>
    </message>
    <message>
        <source>%1 ist keine Datei</source>
        <translation>%1 is not a file</translation>
    </message>
    <message>
        <source>Protokoll %1 nicht lesbar: %2</source>
        <translation>Record %1 not readable: %2</translation>
    </message>
</context>
<context>
    <name>ReportCharts</name>
    <message>
        <source>keine im Zeitraum</source>
        <translation>none in the period</translation>
    </message>
    <message>
        <source>Geschrieben und fehlgeschlagen je Tag</source>
        <translation>Written and failed per day</translation>
    </message>
    <message>
        <source>geschrieben</source>
        <translation>written</translation>
    </message>
    <message>
        <source>nicht geschrieben</source>
        <translation>not written</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Ausbeute je Station</source>
        <translation>Yield per station</translation>
    </message>
    <message>
        <source>Rechner und Station; dahinter der Anteil geschriebener</source>
        <translation>Host and station; after it the share written</translation>
    </message>
    <message>
        <source>ohne Datei</source>
        <translation>no file</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Ausbeute je Firmware</source>
        <translation>Yield per firmware</translation>
    </message>
    <message>
        <source>Datei und Anfang ihres SHA-256; dahinter der Anteil geschriebener</source>
        <translation>File and the start of its SHA-256; after it the share written</translation>
    </message>
    <message>
        <source>unbekannt</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>Fehlschlaege nach Grund</source>
        <translation>Failures by reason</translation>
    </message>
    <message>
        <source>Fehlschlaege</source>
        <translation>Failures</translation>
    </message>
    <message>
        <source>Fehlschlaege nach Block: %1 (%2)</source>
        <translation>Failures by block: %1 (%2)</translation>
    </message>
    <message>
        <source>Block 1 bis %1; abgebrochen bei Block n</source>
        <translation>Block 1 to %1; stopped at block n</translation>
    </message>
    <message>
        <source>Fehlschlaege nach Block</source>
        <translation>Failures by block</translation>
    </message>
    <message>
        <source>Dauer eines Schreibens je Port</source>
        <translation>Duration of a write per port</translation>
    </message>
    <message>
        <source>%1-%2 s</source>
        <translation>%1-%2 s</translation>
    </message>
    <message>
        <source>%1, Median %2 s, %3 Schreibvorgaenge</source>
        <translation>%1, median %2 s, %3 writes</translation>
    </message>
    <message>
        <source>nur geschriebene; Port und Adapter, die %1 mit den meisten</source>
        <translation>written ones only; port and adapter, the %1 with the most</translation>
    </message>
    <message>
        <source>Firmware vor dem Schreiben</source>
        <translation>Firmware before the write</translation>
    </message>
    <message>
        <source>die Version, die die HW vor dem Schreiben nannte</source>
        <translation>the version the HW named before the write</translation>
    </message>
    <message>
        <source>Schreibversuche</source>
        <translation>Write attempts</translation>
    </message>
</context>
<context>
    <name>ReportPage</name>
    <message>
        <source>de</source>
        <extracomment>the language code of the report page (HTML lang)</extracomment>
        <translation>en</translation>
    </message>
    <message>
        <source>Flash-Bericht</source>
        <translation>Flash report</translation>
    </message>
    <message>
        <source>Erstellt von zirbelwerk-flash %1; Diagramme mit Chart.js (MIT-Lizenz)</source>
        <translation>Made by zirbelwerk-flash %1; charts with Chart.js (MIT licence)</translation>
    </message>
    <message>
        <source>Protokoll: %1 (%2 Zeilen)</source>
        <translation>Record: %1 (%2 lines)</translation>
    </message>
    <message>
        <source>Uebersprungen, weil nicht lesbar: %1 Zeilen</source>
        <translation>Skipped as unreadable: %1 lines</translation>
    </message>
    <message>
        <source>Zeitraum: keine Schreibvorgaenge</source>
        <translation>Period: no writes</translation>
    </message>
    <message>
        <source>Zeitraum: %1 bis %2</source>
        <translation>Period: %1 to %2</translation>
    </message>
    <message>
        <source>Zeiten und Tage in Ortszeit, Zeitzone %1 (%2); erstellt %3</source>
        <translation>Times and days in local time, time zone %1 (%2); made %3</translation>
    </message>
    <message>
        <source>Schreibversuche</source>
        <translation>Write attempts</translation>
    </message>
    <message>
        <source>geschrieben</source>
        <translation>written</translation>
    </message>
    <message>
        <source>nicht geschrieben</source>
        <translation>not written</translation>
    </message>
    <message>
        <source>Ausbeute</source>
        <translation>Yield</translation>
    </message>
    <message>
        <source>heute geschrieben</source>
        <translation>written today</translation>
    </message>
    <message>
        <source>diese Woche geschrieben</source>
        <translation>written this week</translation>
    </message>
    <message>
        <source>Die letzten %1 Fehlschlaege</source>
        <translation>The last %1 failures</translation>
    </message>
    <message>
        <source>keine im Zeitraum</source>
        <translation>none in the period</translation>
    </message>
    <message>
        <source>Zeit</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Block</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Grund</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>Meldung und was zu tun ist</source>
        <translation>Message and what to do</translation>
    </message>
    <message>
        <source>unbekannter Grund</source>
        <translation>unknown reason</translation>
    </message>
</context>
<context>
    <name>SerialLockFile</name>
    <message>
        <source>die Sperrdatei %1 (von %2) ist keine gewoehnliche Datei; sie muss entfernt werden</source>
        <translation>the lock file %1 (of %2) is not a regular file; it must be removed</translation>
    </message>
    <message>
        <source>die Sperrdatei %1 (von %2) ist nicht lesbar; ist sie verwaist, muss sie entfernt werden</source>
        <translation>the lock file %1 (of %2) cannot be read; if it is orphaned, it must be removed</translation>
    </message>
    <message>
        <source>die Sperrdatei %1 (von %2) ist verwaist; sie muss entfernt werden</source>
        <translation>the lock file %1 (of %2) is orphaned; it must be removed</translation>
    </message>
</context>
<context>
    <name>SlotTile</name>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>%1   SN %2</source>
        <translation>%1   SN %2</translation>
    </message>
    <message>
        <source>bereit zum Start</source>
        <translation>ready to start</translation>
    </message>
    <message>
        <source>HW loescht, %1 s</source>
        <translation>HW erasing, %1 s</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>geschrieben %1   Fehler %2</source>
        <translation>written %1   failed %2</translation>
    </message>
    <message>
        <source>%1   %2 %</source>
        <translation>%1   %2 %</translation>
    </message>
</context>
<context>
    <name>StationFile</name>
    <message>
        <source>Stationsdatei %1 nicht lesbar</source>
        <translation>Station file %1 cannot be read</translation>
    </message>
    <message>
        <source>Stationsdatei %1 nennt keine Firmware (firmware=)</source>
        <translation>Station file %1 names no firmware (firmware=)</translation>
    </message>
    <message>
        <source>Stationsdatei %1: mode=%2, erlaubt sind auto und manual</source>
        <translation>Station file %1: mode=%2, allowed are auto and manual</translation>
    </message>
    <message>
        <source>Stationsdatei %1: rearm_after muss zwischen %2 und %3 Sekunden liegen</source>
        <translation>Station file %1: rearm_after must lie between %2 and %3 seconds</translation>
    </message>
</context>
<context>
    <name>StationFirmware</name>
    <message>
        <source>Firmware abgelehnt: %1 hat SHA-256 %2, die Station verlangt %3</source>
        <translation>Firmware refused: %1 has SHA-256 %2, the station requires %3</translation>
    </message>
    <message>
        <source>%1   %2   SHA-256 %3</source>
        <translation>%1   %2   SHA-256 %3</translation>
    </message>
</context>
<context>
    <name>StationOptions</name>
    <message>
        <source>--rearm-after braucht Sekunden von %1 bis %2</source>
        <translation>--rearm-after needs seconds from %1 to %2</translation>
    </message>
    <message>
        <source>Unbekannte Option %1</source>
        <translation>Unknown option %1</translation>
    </message>
    <message>
        <source>Nur eine Datei: %1 und %2</source>
        <translation>Only one file: %1 and %2</translation>
    </message>
    <message>
        <source>Aufruf: zirbelwerk-station [STATIONSDATEI | HEX-DATEI] [--auto] [--rearm-after SEK]
  STATIONSDATEI  .zwstation: Firmware, SHA-256, Modus und Plaetze
  HEX-DATEI      die Firmware allein, ohne festen Hash; Modus manuell
  --auto         jeder Platz schreibt, sobald HW antwortet
  --rearm-after SEK  so lange stumm = neue HW (Standard %1)
</source>
        <translation>Usage: zirbelwerk-station [STATIONFILE | HEXFILE] [--auto] [--rearm-after SEC]
  STATIONFILE    .zwstation: firmware, SHA-256, mode and slots
  HEXFILE        the firmware alone, no hash pinned; manual mode
  --auto         every slot writes as soon as HW answers
  --rearm-after SEC  silent this long = a new HW (default %1)
</translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <source>ZirbelWerk Station</source>
        <translation>ZirbelWerk Station</translation>
    </message>
    <message>
        <source>Alle bereiten Plaetze starten (Enter)</source>
        <translation>Start all ready slots (Enter)</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Station speichern…</source>
        <translation>Save station…</translation>
    </message>
    <message>
        <source>Bericht</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>Beenden</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>ZirbelWerk Station - %1</source>
        <translation>ZirbelWerk Station - %1</translation>
    </message>
    <message>
        <source>Modus: automatisch (neu nach %1 s Stille)</source>
        <translation>Mode: automatic (new after %1 s of silence)</translation>
    </message>
    <message>
        <source>Modus: manuell (Enter startet alle bereiten Plaetze)</source>
        <translation>Mode: manual (Enter starts all ready slots)</translation>
    </message>
    <message>
        <source>Gesamt: geschrieben %1   Fehler %2   Ausbeute %3</source>
        <translation>Total: written %1   failed %2   yield %3</translation>
    </message>
    <message>
        <source>Stationsdatei %1 nicht geschrieben</source>
        <translation>Station file %1 not written</translation>
    </message>
    <message>
        <source>Stationsdatei gespeichert: %1</source>
        <translation>Station file saved: %1</translation>
    </message>
    <message>
        <source>Firmware der Station</source>
        <translation>Firmware of the station</translation>
    </message>
    <message>
        <source>HEX-Datei (*.hex)</source>
        <translation>HEX file (*.hex)</translation>
    </message>
    <message>
        <source>Station speichern</source>
        <translation>Save station</translation>
    </message>
    <message>
        <source>Stationsdatei (*.zwstation)</source>
        <translation>Station file (*.zwstation)</translation>
    </message>
    <message>
        <source>Bericht geschrieben: %1</source>
        <translation>Report written: %1</translation>
    </message>
    <message>
        <source>Beenden erst nach dem Schreiben aller Plaetze!</source>
        <translation>Quit only after all slots are written!</translation>
    </message>
    <message>
        <source>Keine Firmware: Datei beim Aufruf nennen oder &quot;Station speichern…&quot;</source>
        <translation>No firmware: name a file when starting, or &quot;Save station…&quot;</translation>
    </message>
    <message>
        <source>%1
SHA-256 (nicht festgelegt): %2</source>
        <translation>%1
SHA-256 (not pinned): %2</translation>
    </message>
</context>
<context>
    <name>UserFile</name>
    <message>
        <source>keine gewoehnliche Datei</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>Verknuepfung eines anderen Benutzers in einem gemeinsamen Ordner, nicht gefolgt</source>
        <translation>another user&apos;s link in a shared folder, not followed</translation>
    </message>
    <message>
        <source>&quot;%1&quot; ist kein UTF-8; solche Namen werden nicht genommen</source>
        <translation>&quot;%1&quot; is not UTF-8; such names are not taken</translation>
    </message>
    <message>
        <source>Datei mit einem weiteren Namen in einem gemeinsamen Ordner, nicht beschrieben</source>
        <translation>a file with a second name in a shared folder, not written</translation>
    </message>
</context>
<context>
    <name>VELDfwloader</name>
    <message>
        <source>HEX-Datei Laden</source>
        <comment>FileDialog</comment>
        <translation>Load HEX file</translation>
    </message>
    <message>
        <source>HEX-Datei (*.hex)</source>
        <comment>FileDialog</comment>
        <translation>HEX file (*.hex)</translation>
    </message>
    <message>
        <source>HEX-Datei Laden, Abbruch!</source>
        <translation>Loading the HEX file cancelled!</translation>
    </message>
    <message>
        <source>Beenden erst nach dem Flash schreiben!</source>
        <translation>Exit only after the flash write!</translation>
    </message>
</context>
<context>
    <name>ZirbelWerk</name>
    <message>
        <source>HEX-Datei</source>
        <translation>HEX file</translation>
    </message>
    <message>
        <source>Write Flash</source>
        <translation>Write Flash</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
</context>
</TS>
