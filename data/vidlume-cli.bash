# bash completion for vidlume-cli                          -*- shell-script -*-

_vidlume_cli()
{
    local cur prev words cword
    _init_completion || return

    case $prev in
        --size)
            COMPREPLY=($(compgen -W '320x240 512x384 640x480 720x540' -- "$cur"))
            return
            ;;
        --logo-position)
            COMPREPLY=($(compgen -W 'top-left top-right bottom-left bottom-right' -- "$cur"))
            return
            ;;
        --logo-alpha)
            COMPREPLY=($(compgen -W '0 25 50 75 100' -- "$cur"))
            return
            ;;
        --thumbnail-image | --logo-image)
            _filedir '@(jpg|jpeg|png|gif|bmp)'
            return
            ;;
        --captions)
            _filedir '@(srt|vtt)'
            return
            ;;
        --out)
            _filedir -d
            return
            ;;
        --video-path | --player-path | --logo-width | --logo-link)
            return
            ;;
    esac

    local i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} == -- ]]; then
            _filedir flv
            return
        fi
    done

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--size --autoplay --video-path --player-path
            --thumbnail --thumbnail-image --logo --logo-image --logo-alpha
            --logo-position --logo-width --logo-link --html5 --no-html5 --captions --out --open
            --print-page --help --version --' -- "$cur"))
        return
    fi
    _filedir flv
} &&
    complete -F _vidlume_cli vidlume-cli

# ex: filetype=sh
