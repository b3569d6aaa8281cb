#!/usr/bin/env bash
# Checks the Debian package as a user would get it: its dependencies are shared libraries and the run-time
# packages of setup.sh only, it holds the program, the launcher, the metainfo and the icons in their standard
# places, its copyright file and changelog, and nothing else, the launcher and metainfo validate, lintian finds
# no error (its warnings are shown), it would install here, and the binary it ships starts from an extracted
# root under a virtual X server, shows the login window and takes the password.
# usage: check_deb.sh <quorvela_*.deb>
set -uo pipefail
deb=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
id=org.example.quorvela.Quorvela
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Dependencies: every one a shared library package or a run-time package named in setup.sh, none a -dev.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
mapfile -t run_packages < <(sed -n '/^RUN_PACKAGES=(/,/^)/p' "$source_dir/setup.sh" | sed '1d;$d;s/#.*//' | tr -s ' \t' '\n' | sed '/^$/d')
mapfile -t dep_names < <(tr ',|' '\n\n' <<<"$depends" | sed 's/([^)]*)//;s/:any//;s/ //g' | sed '/^$/d')
for d in "${dep_names[@]}"; do
    case "$d" in
        *-dev) fail "depends on a development package: $d" ;;
        lib*) ;;
        *) printf '%s\n' "${run_packages[@]}" | grep -qxF "$d" || fail "depends on $d, which is neither a library nor in setup.sh's RUN_PACKAGES" ;;
    esac
done
for p in "${run_packages[@]}" libqt6widgets6 libqt6printsupport6 libsqlcipher0 libpq5 libgsf-1-114; do
    printf '%s\n' "${dep_names[@]}" | grep -qxF "$p" || fail "does not depend on $p"
done

# Contents: exactly the program, its desktop files and its documentation, under /usr.
expected=(./usr/bin/quorvela ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/$id.svg
    ./usr/share/doc/quorvela/copyright ./usr/share/doc/quorvela/changelog.gz
    ./usr/share/man/man1/quorvela.1.gz)
for size in 16 22 24 32 48 64 128 256; do expected+=(./usr/share/icons/hicolor/${size}x${size}/apps/$id.png); done
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
    fail "package files differ from the expected ones:"
    diff <(echo "$wanted") <(echo "$actual") | sed -n 's/^[<>]/    &/p'
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --explain "$root/usr/share/metainfo/$id.metainfo.xml" >"$root.as" 2>&1 ||
    { cat "$root.as"; fail "appstreamcli validate"; }
rm -f "$root.as"
for size in 16 22 24 32 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -q "PNG image data, $size x $size," ||
        fail "the ${size}x${size} icon is not a $size×$size PNG"
done
file "$root/usr/bin/quorvela" | grep -q ", stripped" || fail "the program is not stripped"

# The changelog's newest entry is this package's version.
version=$(dpkg-deb -f "$deb" Version)
newest=$(gzip -dc "$root/usr/share/doc/quorvela/changelog.gz" | head -1)
[[ "$newest" == "quorvela ($version) "* ]] || fail "the changelog's newest entry is \"$newest\", the package is $version"

# Debian's own package checker: no errors. Its warnings and notes are listed, not failed on; the README's
# section on the package says why each that shows stays.
if ! lintian --fail-on error --display-info --tag-display-limit 0 "$deb" >"$root.lintian" 2>&1; then
    fail "lintian reports errors"
fi
sed 's/^/    lintian: /' "$root.lintian"
rm -f "$root.lintian"
if ldd "$root/usr/bin/quorvela" | grep "not found"; then fail "the program links a library that is not installed"; fi

# It would install on this system: apt resolves every dependency.
if ! apt-get install -s "$deb" >"$root.apt" 2>&1; then cat "$root.apt"; fail "apt-get cannot install the package"; fi
rm -f "$root.apt"

# The shipped binary, run from the extracted root, to the login window and past it.
bash "$source_dir/tests/e2e/e2e_login.sh" "$root/usr/bin/quorvela"
rc=$?
[ $rc -eq 0 ] || fail "the packaged program did not log in and back up (e2e_login.sh ended with $rc)"

if [ $failures -ne 0 ]; then
    echo "package check: $failures failure(s) in $(basename "$deb")"
    exit 1
fi
echo "package check: $(basename "$deb") passed"
