<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ClockPanel</name>
    <message>
        <source>RTC Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Year:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Month:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Date:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hour:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Minute:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Second:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get System Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandResult</name>
    <message>
        <source>Open Port Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transmit Data Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Receive Data Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open File Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknow Error</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EthernetPanel</name>
    <message>
        <source>Ethernet Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Static IP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mask:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gate Way:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set IP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Printer Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mask</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer name</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FactoryDefaultPanel</name>
    <message>
        <source>Factory Default</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>InputError</name>
    <message>
        <source>&apos;%1&apos; is not a valid integer value.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is longer than %2 characters.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 contains &apos;%2&apos;, which the printer cannot take.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 may not contain quotation marks or control characters.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Q73580Application</name>
    <message>
        <source>An unexpected error stopped this action</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An unexpected error ended the program</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFormAbout</name>
    <message>
        <source>Tool Box About </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version 1.00</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFormEthernetSetup</name>
    <message>
        <source>Ethernet Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Static IP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Subnet Mask:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printer Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The IP address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The subnet mask</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The gateway</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 must be four numbers from 0 to 255 joined by dots, such as 192.168.1.50.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The printer name</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFormLPTSetup</name>
    <message>
        <source>LPT Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Parallel port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFormMain</name>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <comment>menu</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <comment>menu item</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>InterFace</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interface</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Setup</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFormNetSetup</name>
    <message>
        <source>Printer Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MAC</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Model Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TCP/IP Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printers found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Discover Device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change IP Address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Web Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP Setting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP Address/Printer Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The IP address or printer name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The port must be a number from 1 to 65535.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The printer did not confirm the change. &quot;Discover Device&quot; shows its settings as they are now.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No web page can be opened at &apos;%1&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TFormRs232Setup</name>
    <message>
        <source>RS232 Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>COMPort:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (present)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BaudRate:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data Bits:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Odd</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Even</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop Bit(s):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hardware Shaking:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Software Shaking:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
