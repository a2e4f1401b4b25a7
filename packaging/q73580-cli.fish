# fish completion for q73580-cli: its commands and the options each one takes, with their values.

# The command typed so far ("clock set", "probe", "clock", or nothing), options and their values
# left out.
function __q73580_cli_command
    set -l words (commandline -opc)
    set -e words[1]
    set -l command
    set -l skip 0
    for word in $words
        if test $skip -gt 0
            set skip (math $skip - 1)
            continue
        end
        switch $word
            case --com --lpt --net --baud --parity --data-bits --stop-bits --handshake --to \
                --udp-port --interface --timeout --name --usb-vendor
                set skip 1
            case --static
                set skip 3
            case '-*'
            case '*'
                set -a command $word
        end
    end
    switch "$command[1]"
        case clock net name usb
            echo $command[1..2]
        case '*'
            echo $command[1]
    end
end

# Whether the command typed so far is one of those given; "" stands for none yet.
function __q73580_cli_at
    set -l command (__q73580_cli_command)
    contains -- "$command" $argv
end

# COM1..COM30 and the like, or a device path once the word begins with '/'.
function __q73580_cli_port -a prefix highest description
    set -l word (commandline -ct)
    if string match -q -- '/*' $word
        __fish_complete_path $word
    else
        printf "$prefix%d\t$description\n" (seq $highest)
    end
end

set -l link '' probe 'clock get' 'clock set' 'net get' 'net set' 'name set' factory-reset
set -l leaves $link discover remote-set export apply web 'usb list'
# As conditions, each command quoted.
set link (string escape -- $link)
set leaves (string escape -- $leaves)
set -l c complete -c q73580-cli

$c -f

# Commands.
$c -n "__q73580_cli_at ''" -a probe -d 'open and close the link'
$c -n "__q73580_cli_at ''" -a clock -d "read or set the printer's clock"
$c -n "__q73580_cli_at ''" -a net -d 'read or set the address settings'
$c -n "__q73580_cli_at ''" -a name -d 'set the printer name'
$c -n "__q73580_cli_at ''" -a factory-reset -d 'restore the factory defaults'
$c -n "__q73580_cli_at ''" -a discover -d 'list the printers that answer over UDP'
$c -n "__q73580_cli_at ''" -a remote-set -d "change a printer's address settings by MAC over UDP"
$c -n "__q73580_cli_at ''" -a export -d "print every printer's name and address settings as CSV"
$c -n "__q73580_cli_at ''" -a apply -d 'set every printer listed in a file, by MAC, over UDP'
$c -n "__q73580_cli_at ''" -a web -d 'open http://HOST in the default browser'
$c -n "__q73580_cli_at ''" -a usb -d 'list the USB printers present'
$c -n "__q73580_cli_at ''" -a help -d 'show the usage of one command'
$c -n '__q73580_cli_at clock' -a get -d "read the printer's clock"
$c -n '__q73580_cli_at clock' -a set -d "set the printer's clock"
$c -n '__q73580_cli_at net' -a get -d 'read address settings, name and MAC address'
$c -n '__q73580_cli_at net' -a set -d 'set the address settings'
$c -n '__q73580_cli_at name' -a set -d 'set the printer name'
$c -n '__q73580_cli_at usb' -a list -d 'list the USB printers present and which match'
$c -n '__q73580_cli_at help' -a 'probe clock net name factory-reset discover remote-set export apply web usb'
$c -n '__q73580_cli_at apply' -F -d 'fleet file (CSV or JSON)'
$c -n '__q73580_cli_at web' -a '(__fish_print_hostnames)' -d host

# Everywhere.
$c -n "__q73580_cli_at $leaves" -s h -l help -d 'show the usage'
$c -n "__q73580_cli_at $leaves" -l json -d 'print one JSON object on standard output'
$c -n "__q73580_cli_at $leaves" -s v -l verbose -d 'say what a set command did'
$c -n "__q73580_cli_at $leaves" -l debug -d 'trace the link and the UDP datagrams on standard error'
$c -n "__q73580_cli_at ''" -l version -d "print the program's version"
$c -n "__q73580_cli_at '' factory-reset remote-set apply" -s y -l yes -d 'do not ask first'

# The link, before the command or after a link command.
$c -n "__q73580_cli_at $link" -l usb -d 'the first USB printer'
$c -n "__q73580_cli_at $link 'usb list'" -l usb-vendor -x -d 'the USB vendor id to look for (XXXX)'
$c -n "__q73580_cli_at $link" -l com -x -a '(__q73580_cli_port COM 30 "serial port")' -d 'a serial port'
$c -n "__q73580_cli_at $link" -l lpt -x -a '(__q73580_cli_port LPT 4 "parallel port")' -d 'a parallel port'
$c -n "__q73580_cli_at $link" -l net -x -a '(__fish_print_hostnames)' -d 'a network printer: HOST[:PORT]'
$c -n "__q73580_cli_at $link" -l baud -x -a '2400 4800 9600 19200 38400 57600 115200' -d 'the serial line speed'
$c -n "__q73580_cli_at $link" -l parity -x -a 'none odd even' -d 'the serial parity'
$c -n "__q73580_cli_at $link" -l data-bits -x -a '7 8' -d 'the serial data bits'
$c -n "__q73580_cli_at $link" -l stop-bits -x -a '1 1.5 2' -d 'the serial stop bits'
$c -n "__q73580_cli_at $link" -l handshake -x -a 'none rts rts-cts xon-xoff' -d 'the serial handshake'

# The commands' own.
$c -n "__q73580_cli_at 'clock set'" -l from-pc -d "this PC's local time"
$c -n "__q73580_cli_at 'clock get' 'clock set'" -l all -d 'every printer that discovery finds, over TCP'
$c -n "__q73580_cli_at 'net set' remote-set" -l dhcp -d 'the address from a DHCP server'
$c -n "__q73580_cli_at 'net set' remote-set" -l static -x -d 'a fixed address: IP MASK GATEWAY'
$c -n '__q73580_cli_at remote-set' -l name -x -d 'the new printer name (at most 15 characters)'
$c -n '__q73580_cli_at apply' -l dry-run -d 'show what would change and write nothing'
$c -n "__q73580_cli_at discover export apply 'clock get' 'clock set'" -l timeout -x -d 'wait this long after the last answer (seconds)'
$c -n "__q73580_cli_at discover remote-set export apply 'clock get' 'clock set'" -l to -x -d 'where to send (default 255.255.255.255)'
$c -n "__q73580_cli_at discover remote-set export apply 'clock get' 'clock set'" -l udp-port -x -d "the printers' UDP port (default 22368)"
$c -n "__q73580_cli_at discover remote-set export apply 'clock get' 'clock set'" -l interface -x -a '(string replace -r ".*/" "" /sys/class/net/*)' -d 'broadcast out of this network interface only'
