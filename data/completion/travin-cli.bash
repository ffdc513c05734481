# bash completion for travin-cli
_travin_cli() {
    local cur prev words cword
    _init_completion 2>/dev/null || {
        cur="${COMP_WORDS[COMP_CWORD]}"
        prev="${COMP_WORDS[COMP_CWORD-1]}"
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    }
    local commands="ports detect download run stop reset step vars upload erase startup-time send aci console check"
    case "$prev" in
        --port)
            COMPREPLY=($(compgen -W "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8" -- "$cur"))
            COMPREPLY+=($(compgen -f -- "$cur"))
            return ;;
        -o|--source)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --break|--timeout|--input)
            return ;;
    esac
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
            --port|--break|--timeout|-o|--source|--input|--log) ((i++)) ;;
            -*) ;;
            *) command="${words[i]}"; break ;;
        esac
    done
    if [[ -z "$command" ]]; then
        if [[ "$cur" == -* ]]; then
            COMPREPLY=($(compgen -W "--port --quiet --json --help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi
    local options="--quiet --port"
    case "$command" in
        run) options+=" --break --timeout --detach --reset --input --timestamps --log" ;;
        console) options+=" --input --timestamps --log" ;;
        upload) options+=" -o" ;;
        erase) options+=" --yes" ;;
        step) options+=" --source --json" ;;
        vars|detect|startup-time|ports|check) options+=" --json" ;;
    esac
    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ "$command" == run || "$command" == download || "$command" == check ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _travin_cli travin-cli
