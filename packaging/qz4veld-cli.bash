# bash completion for qz4veld-cli                          -*- shell-script -*-

_qz4veld_cli_ports()
{
    local p
    for p in /dev/serial/by-id/* /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
        [[ -e $p ]] && printf '%s\n' "$p"
    done
    printf '%s\n' auto auto-all COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8
}

_qz4veld_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --port)
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$(_qz4veld_cli_ports)" -- "$cur"))
            return
            ;;
        --parity)
            COMPREPLY=($(compgen -W "N E O" -- "$cur"))
            return
            ;;
        --baud)
            COMPREPLY=($(compgen -W "1200 2400 4800 9600 19200 38400 57600 115200" -- "$cur"))
            return
            ;;
        --log | --record)
            _filedir
            return
            ;;
        --count)
            return
            ;;
        -o | --output)
            _filedir cfg
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--port --baud --parity --log --quiet --strict
            --json --probe --record --count --no-verify -o --output --help
            --version" -- "$cur"))
        return
    fi

    # The command is the first word that is neither an option nor its value.
    local i command=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --port | --baud | --parity | --log | --record | --count | -o | --output) ((i++)) ;;
            -*) ;;
            *)
                command=${words[i]}
                break
                ;;
        esac
    done

    case $command in
        "") COMPREPLY=($(compgen -W "version read send verify check ports station" -- "$cur")) ;;
        send | verify | check | station) _filedir cfg ;;
    esac
} &&
    complete -F _qz4veld_cli qz4veld-cli

# ex: filetype=sh
