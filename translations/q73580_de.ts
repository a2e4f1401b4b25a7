<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ClockPanel</name>
    <message>
        <source>RTC Setup</source>
        <translation>Uhrzeit einstellen</translation>
    </message>
    <message>
        <source>Year:</source>
        <translation>Jahr:</translation>
    </message>
    <message>
        <source>Month:</source>
        <translation>Monat:</translation>
    </message>
    <message>
        <source>Date:</source>
        <translation>Tag:</translation>
    </message>
    <message>
        <source>Hour:</source>
        <translation>Stunde:</translation>
    </message>
    <message>
        <source>Minute:</source>
        <translation>Minute:</translation>
    </message>
    <message>
        <source>Second:</source>
        <translation>Sekunde:</translation>
    </message>
    <message>
        <source>Get System Time</source>
        <translation>PC-Zeit holen</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Setzen</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>Lesen</translation>
    </message>
</context>
<context>
    <name>CommandResult</name>
    <message>
        <source>Open Port Error</source>
        <translation>Fehler beim Öffnen der Schnittstelle</translation>
    </message>
    <message>
        <source>Transmit Data Error</source>
        <translation>Fehler beim Senden der Daten</translation>
    </message>
    <message>
        <source>Receive Data Error</source>
        <translation>Fehler beim Empfangen der Daten</translation>
    </message>
    <message>
        <source>Open File Error</source>
        <translation>Fehler beim Öffnen der Datei</translation>
    </message>
    <message>
        <source>Unknow Error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
</context>
<context>
    <name>EthernetPanel</name>
    <message>
        <source>Ethernet Setup</source>
        <translation>Ethernet-Einstellungen</translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation>DHCP</translation>
    </message>
    <message>
        <source>Static IP</source>
        <translation>Feste IP-Adresse</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP:</translation>
    </message>
    <message>
        <source>Mask:</source>
        <translation>Maske:</translation>
    </message>
    <message>
        <source>Gate Way:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>Set IP</source>
        <translation>IP setzen</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>Lesen</translation>
    </message>
    <message>
        <source>Printer Name:</source>
        <translation>Druckername:</translation>
    </message>
    <message>
        <source>Set Printer Name</source>
        <translation>Namen setzen</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>Die IP-Adresse</translation>
    </message>
    <message>
        <source>Mask</source>
        <translation>Die Subnetzmaske</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Das Gateway</translation>
    </message>
    <message>
        <source>Printer name</source>
        <translation>Der Druckername</translation>
    </message>
</context>
<context>
    <name>FactoryDefaultPanel</name>
    <message>
        <source>Factory Default</source>
        <translation>Werkseinstellungen</translation>
    </message>
    <message>
        <source>Factory Default</source>
        <comment>button</comment>
        <translation>Zurücksetzen</translation>
    </message>
</context>
<context>
    <name>InputError</name>
    <message>
        <source>&apos;%1&apos; is not a valid integer value.</source>
        <translation>&apos;%1&apos; ist keine gültige ganze Zahl.</translation>
    </message>
    <message>
        <source>%1 is longer than %2 characters.</source>
        <translation>%1 ist länger als %2 Zeichen.</translation>
    </message>
    <message>
        <source>%1 contains &apos;%2&apos;, which the printer cannot take.</source>
        <translation>%1 enthält das Zeichen &apos;%2&apos;, das der Drucker nicht verarbeiten kann.</translation>
    </message>
    <message>
        <source>%1 may not contain quotation marks or control characters.</source>
        <translation>%1 darf keine Anführungszeichen oder Steuerzeichen enthalten.</translation>
    </message>
    <message>
        <source>%1 is empty or only blanks.</source>
        <translation>%1 ist leer oder besteht nur aus Leerzeichen.</translation>
    </message>
    <message>
        <source>%1 must be four numbers from 0 to 255 joined by dots, such as 192.168.1.50.</source>
        <translation>%1 muss aus vier durch Punkte getrennten Zahlen von 0 bis 255 bestehen, etwa 192.168.1.50.</translation>
    </message>
</context>
<context>
    <name>Q73580Application</name>
    <message>
        <source>An unexpected error stopped this action</source>
        <translation>Ein unerwarteter Fehler hat diese Aktion abgebrochen</translation>
    </message>
    <message>
        <source>An unexpected error ended the program</source>
        <translation>Ein unerwarteter Fehler hat das Programm beendet</translation>
    </message>
</context>
<context>
    <name>TFormAbout</name>
    <message>
        <source>Tool Box About </source>
        <translation>Über Tool Box </translation>
    </message>
    <message>
        <source>Version 1.00</source>
        <translation>Version 1.00</translation>
    </message>
</context>
<context>
    <name>TFormEthernetSetup</name>
    <message>
        <source>Ethernet Setup</source>
        <translation>Ethernet-Einstellungen</translation>
    </message>
    <message>
        <source>IP Setup</source>
        <translation>IP-Einstellung</translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation>DHCP</translation>
    </message>
    <message>
        <source>Static IP</source>
        <translation>Feste IP-Adresse</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP:</translation>
    </message>
    <message>
        <source>Subnet Mask:</source>
        <translation>Subnetzmaske:</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>Printer Name:</source>
        <translation>Druckername:</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Setzen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>The IP address</source>
        <translation>Die IP-Adresse</translation>
    </message>
    <message>
        <source>The subnet mask</source>
        <translation>Die Subnetzmaske</translation>
    </message>
    <message>
        <source>The gateway</source>
        <translation>Das Gateway</translation>
    </message>
    <message>
        <source>The printer name</source>
        <translation>Der Druckername</translation>
    </message>
</context>
<context>
    <name>TFormLPTSetup</name>
    <message>
        <source>LPT Setup</source>
        <translation>LPT-Einstellungen</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Setzen</translation>
    </message>
    <message>
        <source>Parallel port</source>
        <translation>Parallele Schnittstelle</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TFormMain</name>
    <message>
        <source>None</source>
        <translation>Kein</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>About</source>
        <comment>menu</comment>
        <translation>Info</translation>
    </message>
    <message>
        <source>About</source>
        <comment>menu item</comment>
        <translation>Über das Programm</translation>
    </message>
    <message>
        <source>InterFace</source>
        <translation>Schnittstelle</translation>
    </message>
    <message>
        <source>Interface</source>
        <translation>Schnittstelle</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>Einstellen</translation>
    </message>
</context>
<context>
    <name>TFormNetSetup</name>
    <message>
        <source>Printer Name</source>
        <translation>Druckername</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP-Adresse</translation>
    </message>
    <message>
        <source>Model Name</source>
        <translation>Modell</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>TCP/IP Setup</source>
        <translation>TCP/IP-Einstellungen</translation>
    </message>
    <message>
        <source>Printers found</source>
        <translation>Gefundene Drucker</translation>
    </message>
    <message>
        <source>Discover Device</source>
        <translation>Gerät suchen</translation>
    </message>
    <message>
        <source>Change IP Address</source>
        <translation>IP-Adresse ändern</translation>
    </message>
    <message>
        <source>Web Setup</source>
        <translation>Web-Oberfläche</translation>
    </message>
    <message>
        <source>IP Setting</source>
        <translation>IP-Einstellung</translation>
    </message>
    <message>
        <source>IP Address/Printer Name:</source>
        <translation>IP-Adresse/Druckername:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>The IP address &apos;%1&apos;</source>
        <translation>Die IP-Adresse &apos;%1&apos;</translation>
    </message>
    <message>
        <source>The IP address or printer name</source>
        <translation>Die IP-Adresse bzw. der Druckername</translation>
    </message>
    <message>
        <source>The port must be a number from 1 to 65535.</source>
        <translation>Der Port muss eine Zahl von 1 bis 65535 sein.</translation>
    </message>
    <message>
        <source>The printer did not confirm the change. &quot;Discover Device&quot; shows its settings as they are now.</source>
        <translation>Der Drucker hat die Änderung nicht bestätigt. „Gerät suchen“ zeigt seine aktuellen Einstellungen.</translation>
    </message>
    <message>
        <source>found on %1</source>
        <translation>gefunden an %1</translation>
    </message>
    <message>
        <source>No web page can be opened at &apos;%1&apos;.</source>
        <translation>Unter &apos;%1&apos; lässt sich keine Webseite öffnen.</translation>
    </message>
</context>
<context>
    <name>TFormRs232Setup</name>
    <message>
        <source>RS232 Setup</source>
        <translation>RS232-Einstellungen</translation>
    </message>
    <message>
        <source>COMPort:</source>
        <translation>COM-Port:</translation>
    </message>
    <message>
        <source>%1 (present)</source>
        <translation>%1 (vorhanden)</translation>
    </message>
    <message>
        <source>BaudRate:</source>
        <translation>Baudrate:</translation>
    </message>
    <message>
        <source>Data Bits:</source>
        <translation>Datenbits:</translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation>Parität:</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Ungerade</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Gerade</translation>
    </message>
    <message>
        <source>Stop Bit(s):</source>
        <translation>Stoppbit(s):</translation>
    </message>
    <message>
        <source>Hardware Shaking:</source>
        <translation>Hardware-Handshake:</translation>
    </message>
    <message>
        <source>Software Shaking:</source>
        <translation>Software-Handshake:</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Setzen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TransferFailure</name>
    <message>
        <source>%1 of %2 bytes of %3 written, then the printer took no more</source>
        <translation>%1 von %2 Bytes von %3 geschrieben, dann nahm der Drucker nichts mehr an</translation>
    </message>
    <message>
        <source>no reply to %1 within %2 ms</source>
        <translation>keine Antwort auf %1 innerhalb von %2 ms</translation>
    </message>
    <message>
        <source>this link cannot receive the reply to %1</source>
        <translation>diese Verbindung kann die Antwort auf %1 nicht empfangen</translation>
    </message>
    <message>
        <source>the reply to %1 came damaged</source>
        <translation>die Antwort auf %1 kam beschädigt an</translation>
    </message>
    <message>
        <source>%1 bytes of garbage and no reply frame in answer to %2</source>
        <translation>%1 Bytes Datenmüll und kein Antwortrahmen auf %2</translation>
    </message>
    <message>
        <source>the reply to %1 is longer than %2 bytes</source>
        <translation>die Antwort auf %1 ist länger als %2 Bytes</translation>
    </message>
    <message>
        <source>the reply to %1 announces %2 data bytes but carries %3</source>
        <translation>die Antwort auf %1 kündigt %2 Datenbytes an, enthält aber %3</translation>
    </message>
    <message>
        <source>the reply to %1 broke off after %2 bytes</source>
        <translation>die Antwort auf %1 brach nach %2 Bytes ab</translation>
    </message>
    <message>
        <source>the reply to %1 is not a valid frame</source>
        <translation>die Antwort auf %1 ist kein gültiger Rahmen</translation>
    </message>
    <message>
        <source> (wrong baud rate?)</source>
        <translation> (falsche Baudrate?)</translation>
    </message>
</context>
</TS>
