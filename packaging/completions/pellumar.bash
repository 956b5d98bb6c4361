# bash completion for pellumar                                        -*- shell-script -*-

# The word being completed and the one before it, as typed. Bash splits words at ":" and "="
# as well, so "a:b/" and "--folder=x" reach a completion as three words each.
_pellumar_typed() {
    local line=${COMP_LINE:0:COMP_POINT} word blanks
    local -a typed=()
    local -i at=0 i
    for ((i = 0; i <= COMP_CWORD && i < ${#COMP_WORDS[@]}; i++)); do
        word=${COMP_WORDS[i]}
        blanks=${line:at}
        blanks=${blanks%%[![:blank:]]*}
        at+=${#blanks}
        if ((i > 0 && ${#blanks} == 0)) && [[ $word == [:=] || ${typed[-1]} == *[:=] ]]; then
            typed[-1]+=$word
        else
            typed+=("$word")
        fi
        at+=${#word}
    done
    _pellumar_cur=${typed[-1]-}
    _pellumar_prev=""
    if ((${#typed[@]} > 1)); then
        _pellumar_prev=${typed[-2]}
    fi
}

_pellumar() {
    local _pellumar_cur _pellumar_prev option value lead=""
    _pellumar_typed
    case $_pellumar_cur in
    --*=*)
        option=${_pellumar_cur%%=*}
        value=${_pellumar_cur#*=}
        ;;
    *)
        option=$_pellumar_prev
        value=$_pellumar_cur
        ;;
    esac
    # --color takes a value only after "=".
    if [[ $option == --color && $_pellumar_cur != --color=* ]]; then
        option=""
    fi
    COMPREPLY=()
    case $option in
    --folder)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$value")
        ;;
    --on-error)
        mapfile -t COMPREPLY < <(compgen -W 'ask abort skip' -- "$value")
        ;;
    --color)
        mapfile -t COMPREPLY < <(compgen -W 'auto always never' -- "$value")
        ;;
    --filter | --search | --replace) ;;
    *)
        if [[ $_pellumar_cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W '--folder --filter --search --replace
                --search-only --subfolders --no-subfolders --hidden --no-hidden --ignore-case
                --match-case --regex --yes --on-error --count --dry-run --long --null --quiet
                --no-messages --no-undo --lines --diff --color --undo --history --help
                --version' -- "$_pellumar_cur")
        fi
        return
        ;;
    esac
    # Readline replaces only what follows the last ":" or "=" of the word.
    if [[ $value == *[:=]* ]]; then
        lead=${value%"${value##*[:=]}"}
        COMPREPLY=("${COMPREPLY[@]#"$lead"}")
    fi
}
complete -F _pellumar pellumar
