# fish completion for travin-cli
set -l commands ports detect download run stop reset step vars upload erase startup-time send aci console check

complete -c travin-cli -f
complete -c travin-cli -l port -r -a 'COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8' -d 'COM1 to COM8 or a device path'
complete -c travin-cli -s q -l quiet -d 'no progress, no detection line'
complete -c travin-cli -l json -d 'the result as JSON'
complete -c travin-cli -s h -l help -d 'show the usage'
complete -c travin-cli -s V -l version -d 'show the version'

complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a ports -d 'what COM1 to COM8 open'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a detect -d 'find the board'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a download -d 'download a program'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a run -d 'run a program, show its output'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a stop -d 'stop the program'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a reset -d 'reset the board'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a step -d 'single steps'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a vars -d 'set and print the variables'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a upload -d 'the stored program'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a erase -d 'erase the stored program'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a startup-time -d 'print or set the start-up time'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a send -d 'send a character'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a aci -d 'send an ACI command line'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a console -d 'show a running program'
complete -c travin-cli -n "not __fish_seen_subcommand_from $commands" -a check -d 'find the problems of program files'

complete -c travin-cli -n "__fish_seen_subcommand_from download run check" -F
complete -c travin-cli -n "__fish_seen_subcommand_from run" -l break -r -d 'stop at this line'
complete -c travin-cli -n "__fish_seen_subcommand_from run" -l timeout -r -d 'stop after SEC seconds'
complete -c travin-cli -n "__fish_seen_subcommand_from run" -l detach -d 'return once the program runs'
complete -c travin-cli -n "__fish_seen_subcommand_from run" -l reset -d 'run the stored program afresh'
complete -c travin-cli -n "__fish_seen_subcommand_from run console" -l timestamps -d 'each output line behind its arrival time'
complete -c travin-cli -n "__fish_seen_subcommand_from run console" -l log -r -F -d 'append the output with times to FILE'
complete -c travin-cli -n "__fish_seen_subcommand_from upload" -s o -r -F -d 'write to FILE'
complete -c travin-cli -n "__fish_seen_subcommand_from step" -l source -r -F -d 'the listing the board holds'
complete -c travin-cli -n "__fish_seen_subcommand_from erase" -l yes -d 'confirm'
complete -c travin-cli -n "__fish_seen_subcommand_from run console" -l input -r -d 'answers for one board: PORT=FILE'
