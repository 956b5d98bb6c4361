#!/usr/bin/env bash
# Installs a build into a temporary root and checks the installed tree and the validators'
# verdicts, then builds the Debian package; as root it also installs the package on this
# machine, starts both programs from their installed paths and removes it again.
#   package_check.sh [BUILD_DIR]    (default build-test)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/${1:-build-test}"
id=org.example.PellumarSearch
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
check() {  # description, command...
    local what=$1
    shift
    if "$@" >"$stage/out" 2>&1; then
        echo "ok: $what"
    else
        echo "FAILED: $what"; sed 's/^/    /' "$stage/out" | head -20
        failures=$((failures + 1))
    fi
}

echo "== the installed tree"
DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
usr="$stage/root/usr"
for file in bin/PellumarSearch bin/pellumar bin/PellumarSearch.TXT \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/man/man1/pellumar.1 \
    share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/$id.png \
    share/bash-completion/completions/pellumar share/zsh/vendor-completions/_pellumar \
    share/fish/vendor_completions.d/pellumar.fish; do
    check "$file is installed" test -s "$usr/$file"
done
for size in 16 32 48 256; do
    check "the ${size}px icon is ${size} pixels square" python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read(24)
assert data[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", data[16:24]) == (int(sys.argv[2]),) * 2
' "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png" "$size"
done
check "desktop-file-validate accepts the launcher entry" \
    desktop-file-validate "$usr/share/applications/$id.desktop"
check "the launcher entry names the window's class, so that the window is matched to it" \
    grep -qx 'StartupWMClass=PellumarSearch' "$usr/share/applications/$id.desktop"
check "appstreamcli validate --no-net accepts the metadata" \
    appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml"
check "man -l renders the manual page" \
    sh -c "MANWIDTH=80 man -l '$usr/share/man/man1/pellumar.1' | grep -q 'EXIT STATUS'"
check "the installed pellumar tells its version" \
    sh -c "'$usr/bin/pellumar' --version | grep -qx 'pellumar 1.1.0.2'"

echo "== the Debian package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/pellumar-search_*.deb)
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
check "the package depends on the Qt libraries it links" \
    sh -c "dpkg-deb -f '$deb' Depends | grep -q libqt6widgets6"
if [ "$(id -u)" -eq 0 ]; then
    check "apt-get installs the package" apt-get install -y -qq "$deb"
    check "pellumar starts from /usr/bin" sh -c "/usr/bin/pellumar --version | grep -q 1.1.0.2"
    check "PellumarSearch starts from /usr/bin and stays up" sh -c \
        "QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME='$stage/config' timeout 3 /usr/bin/PellumarSearch; [ \$? -eq 124 ]"
    check "the read-me lies beside it" test -s /usr/bin/PellumarSearch.TXT
    check "man finds the page" man -w pellumar
    if [ -f /usr/share/bash-completion/bash_completion ]; then
        check "bash-completion loads the completion" bash -c \
            "source /usr/share/bash-completion/bash_completion; __load_completion pellumar; complete -p pellumar"
    fi
    if command -v fish >/dev/null; then
        check "fish completes --on-error" sh -c \
            "fish -c 'complete -C \"pellumar --on-error \"' | grep -q '^abort'"
    fi
    if command -v zsh >/dev/null; then
        check "zsh finds the completion" sh -c \
            "zsh -f -c 'autoload -U compinit; compinit -u -d $stage/zcompdump; print \$_comps[pellumar]' | grep -qx _pellumar"
    fi
    check "apt-get removes the package" apt-get remove -y -qq pellumar-search
    check "nothing of it stays" sh -c "! test -e /usr/bin/pellumar && ! test -e /usr/share/applications/$id.desktop"
fi
[ "$failures" -eq 0 ] || { echo "$failures package checks failed" >&2; exit 1; }
