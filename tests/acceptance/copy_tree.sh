# Sourced by the acceptance scripts: copy_tree SOURCE DESTINATION copies a real tree and keeps
# only the links that stay inside the copy, since a replacement is written where a link leads
# and must never reach the original.
copy_tree() {
    local source=$1 destination=$2 link
    cp -a "$source" "$destination"
    while IFS= read -r -d '' link; do
        case "$(realpath -m -- "$link")" in
            "$destination"/*) ;;
            *) rm -f -- "$link" ;;
        esac
    done < <(find "$destination" -type l -print0)
}
