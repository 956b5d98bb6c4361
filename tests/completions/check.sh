#!/usr/bin/env bash
# Runs the shell completions of pellumar as each shell would, without a terminal: bash always;
# zsh and fish where they are installed. Usage: check.sh COMPLETIONS_DIR
set -uo pipefail
dir=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/d one/sub" "$work/tree/dee" "$work/tree/.dot"
touch "$work/tree/dfile"
cd "$work/tree" || exit 1
failures=0

expect() {  # expect WHAT GOT WANTED
    if [[ $2 != "$3" ]]; then
        printf 'FAIL %s\n  got:    %q\n  wanted: %q\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

# bash: the line as typed, split into words as bash splits it for a completion: at blanks not
# escaped, and at ":" and "=", which become words of their own. The cursor is at the end.
# (Outside a real completion compgen does not take quoting off: names are typed plain here.)
bash_complete() {
    bash -c '
        source "$1"
        COMP_LINE=$2 COMP_POINT=${#2} COMP_WORDS=() word="" escaped=0
        for ((i = 0; i < ${#2}; i++)); do
            c=${2:i:1}
            if ((escaped)); then word+=$c; escaped=0; continue; fi
            case $c in
            \\) word+=$c; escaped=1 ;;
            " ") [[ -n $word ]] && COMP_WORDS+=("$word"); word="" ;;
            [:=]) [[ -n $word ]] && COMP_WORDS+=("$word"); COMP_WORDS+=("$c"); word="" ;;
            *) word+=$c ;;
            esac
        done
        COMP_WORDS+=("$word")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _pellumar
        printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$dir/pellumar.bash" "$1"
}
mkdir -p "a:b/sub" "k=v/in" "dee/inner"
expect "bash: folders" "$(bash_complete 'pellumar --folder d')" $'d one\ndee'
expect "bash: folders after =" "$(bash_complete 'pellumar --folder=d')" $'d one\ndee'
expect "bash: folders below" "$(bash_complete 'pellumar --folder dee/')" 'dee/inner'
expect "bash: a folder with a colon" "$(bash_complete 'pellumar --folder a:b/')" 'b/sub'
expect "bash: after = with a colon" "$(bash_complete 'pellumar --folder=a:b/')" 'b/sub'
expect "bash: a folder with =" "$(bash_complete 'pellumar --folder k=v/')" 'v/in'
expect "bash: on-error" "$(bash_complete 'pellumar --on-error a')" $'abort\nask'
expect "bash: on-error after =" "$(bash_complete 'pellumar --on-error=s')" 'skip'
expect "bash: color after =" "$(bash_complete 'pellumar --color=a')" $'always\nauto'
expect "bash: no value after a plain color" "$(bash_complete 'pellumar --color a')" ''
expect "bash: options" "$(bash_complete 'pellumar --li')" '--lines'
expect "bash: filter" "$(bash_complete 'pellumar --filter ')" ''
expect "bash: search" "$(bash_complete 'pellumar --search d')" ''
expect "bash: options" "$(bash_complete 'pellumar --d')" $'--diff\n--dry-run'
expect "bash: no-" "$(bash_complete 'pellumar --folder . --no-')" \
    $'--no-hidden\n--no-messages\n--no-subfolders\n--no-undo'
expect "bash: registered" "$(bash -c 'source "$1"; complete -p pellumar' _ "$dir/pellumar.bash")" \
    'complete -F _pellumar pellumar'

if command -v fish >/dev/null; then
    fish_complete() {
        fish -c "source '$dir/pellumar.fish'; complete -C '$1'" | cut -f1 | sort
    }
    expect "fish: folders" "$(fish_complete 'pellumar --folder d')" $'d one/\ndee/'
    expect "fish: on-error" "$(fish_complete 'pellumar --on-error ')" $'abort\nask\nskip'
    expect "fish: filter" "$(fish_complete 'pellumar --filter ')" ''
    expect "fish: options" "$(fish_complete 'pellumar --dr')" '--dry-run'
    expect "fish: color" "$(fish_complete 'pellumar --color=a')" $'--color=always\n--color=auto'
else
    echo "fish is not installed: its completion is not run"
fi

if command -v zsh >/dev/null; then
    zsh -n "$dir/_pellumar" || failures=$((failures + 1))
    # compinit reads the #compdef line: the function must be the one for pellumar.
    expect "zsh: registered" "$(zsh -f -c 'fpath=("$1" $fpath); autoload -U compinit
        compinit -u -d "$2/zcompdump"; print -r -- $_comps[pellumar]' _ "$dir" "$work")" '_pellumar'
else
    echo "zsh is not installed: its completion is not run"
fi

if ((failures > 0)); then
    echo "$failures completion checks failed"
    exit 1
fi
echo "every completion check passed"
