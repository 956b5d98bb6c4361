# bash completion for pellumar                                        -*- shell-script -*-

_pellumar() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--folder=/us": bash splits the word at the "=".
    if [[ $cur == = ]]; then
        cur=""
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    case $prev in
    --folder)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --on-error)
        mapfile -t COMPREPLY < <(compgen -W 'ask abort skip' -- "$cur")
        return
        ;;
    --filter | --search | --replace)
        COMPREPLY=()
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--folder --filter --search --replace --search-only
            --subfolders --no-subfolders --hidden --no-hidden --ignore-case --match-case --yes
            --on-error --count --dry-run --long --null --quiet --no-messages --no-undo --undo
            --history --help --version' -- "$cur")
    else
        COMPREPLY=()
    fi
}
complete -F _pellumar pellumar
