#!/bin/bash
# zipsfx as people get it: the version; a staged install (DESTDIR) whose tool makes files with
# the installed stubs alone, which then extract (the Windows one under Wine); ZIPSFX_STUB_DIR and
# the message for a missing stub; the three release files that `make dist` makes (the Debian
# package checked by dpkg-deb and lintian and unpacked into a scratch root, the Linux tarball, the
# Windows zip against the README). Packages are made from the builds that are there, with cpack
# into a work folder: nothing is built a second time.
set -euo pipefail
source "$(dirname "$0")/make_lib.sh"
source "$ZIPSFX_ROOT/tools/wine-env.sh"

BUILD="$ZIPSFX_ROOT/build/native"
WIN32_BUILD="$ZIPSFX_ROOT/build/win32"
WIN64_BUILD="$ZIPSFX_ROOT/build/win64"
require_tool
for built in "$BUILD/zipsfx-stub" "$WIN32_BUILD/zipsfx-stub.exe" "$WIN32_BUILD/zipsfx.exe" \
    "$WIN64_BUILD/zipsfx-stub.exe"; do
    [ -f "$built" ] || skip "$built is not built (make native win32 win64)"
done
for program in cpack dpkg-deb lintian unzip; do
    command -v "$program" >/dev/null || skip "$program is not installed"
done
VERSION=$(sed -n 's/^project(zipsfx VERSION \([0-9][0-9.]*\).*/\1/p' "$ZIPSFX_ROOT/CMakeLists.txt")
[ -n "$VERSION" ] || fail "no version in the project's CMakeLists.txt"
make_wine_work
unset ZIPSFX_STUB_DIR

note "the version: --version, -V, every stub and the Windows tool carry $VERSION"
[ "$("$TOOL" --version)" = "zipsfx $VERSION" ] || fail "--version says '$("$TOOL" --version)'"
[ "$("$TOOL" -V)" = "zipsfx $VERSION" ] || fail "-V says '$("$TOOL" -V)'"
for program in "$BUILD/zipsfx-stub" "$WIN32_BUILD/zipsfx-stub.exe" "$WIN64_BUILD/zipsfx-stub.exe" \
    "$WIN32_BUILD/zipsfx.exe"; do
    found=$("$TOOL" layout stub-version "$program") || fail "no version record in $program"
    [ "$found" = "$VERSION" ] || fail "$program carries version $found, not $VERSION"
done
head -n 1 "$ZIPSFX_ROOT/doc/changelog" | grep -q "^zipsfx ($VERSION) " ||
    fail "doc/changelog does not begin with zipsfx ($VERSION)"

# Files below a folder, relative and sorted, with a mode column for the programs.
files_of() {  # folder
    (cd "$1" && find . -type f -printf '%m %P\n' | sort -k 2)
}

note "a staged install: cmake --install with DESTDIR"
STAGE="$WORK/stage"
PREFIX=/opt/zipsfx
DESTDIR="$STAGE" cmake --install "$BUILD" --prefix "$PREFIX" --strip >"$WORK/install.log" ||
    { cat "$WORK/install.log"; fail "cmake --install failed"; }
ROOT="$STAGE$PREFIX"
cat >"$WORK/expected" <<EOF
755 bin/zipsfx
755 lib/zipsfx/zipsfx-stub
644 lib/zipsfx/zipsfx-stub-win64.exe
644 lib/zipsfx/zipsfx-stub.exe
644 share/doc/zipsfx/LICENSE
644 share/doc/zipsfx/README.md
644 share/man/man1/zipsfx.1.gz
EOF
diff "$WORK/expected" <(files_of "$ROOT") || fail "the installed files differ from the list above"
cmp "$BUILD/zipsfx-stub" "$ROOT/lib/zipsfx/zipsfx-stub"
cmp "$WIN32_BUILD/zipsfx-stub.exe" "$ROOT/lib/zipsfx/zipsfx-stub.exe"
cmp "$WIN64_BUILD/zipsfx-stub.exe" "$ROOT/lib/zipsfx/zipsfx-stub-win64.exe"
! readelf -S "$ROOT/bin/zipsfx" | grep -q '\.symtab' || fail "the installed tool is not stripped"
zcat "$ROOT/share/man/man1/zipsfx.1.gz" | grep -q "\"zipsfx $VERSION\"" ||
    fail "the manual page names another version"
man -l "$ROOT/share/man/man1/zipsfx.1.gz" >"$WORK/man.txt" 2>"$WORK/man.err" || true
if [ -s "$WORK/man.txt" ]; then
    for section in SYNOPSIS COMMANDS "EXIT STATUS" EXAMPLE; do
        grep -q "^$section" "$WORK/man.txt" || fail "the manual page has no $section"
    done
    [ ! -s "$WORK/man.err" ] || { cat "$WORK/man.err"; fail "man warns about the manual page"; }
fi

# The installed tool looks beside itself, in $PREFIX/lib/zipsfx and in a build tree next to its
# own folder ($STAGE/opt/win32 and so on), never in the source's build tree: the build's stubs
# are out of its reach, and every run below must name an installed stub as the one it used.
INSTALLED="$ROOT/bin/zipsfx"
make_tree "$WORK"
made_with() {  # log stub
    grep -q "stub $2\$" "$1" || { cat "$1"; fail "the stub used was not $2"; }
}

note "the installed tool makes a POSIX file, which extracts"
"$INSTALLED" make -v -o "$WORK/tree.run" --stub posix --no-run "$WORK/tree" >"$WORK/make.log"
made_with "$WORK/make.log" "$ROOT/lib/zipsfx/zipsfx-stub"
mkdir "$WORK/posix"
(cd "$WORK/posix" && "$WORK/tree.run" -q) || fail "the POSIX file made by the installed tool failed"
same_tree "$WORK/tree" "$WORK/posix/tree"

note "the installed tool makes both Windows files; the one Wine runs here extracts"
"$INSTALLED" make -v -o "$WORK/tree32.exe" --no-run "$WORK/tree" >"$WORK/make32.log"
made_with "$WORK/make32.log" "$ROOT/lib/zipsfx/zipsfx-stub.exe"
"$INSTALLED" make -v -o "$WORK/tree64.exe" --stub windows64 --no-run "$WORK/tree" >"$WORK/make64.log"
made_with "$WORK/make64.log" "$ROOT/lib/zipsfx/zipsfx-stub-win64.exe"
for made in "$WORK/tree32.exe" "$WORK/tree64.exe"; do
    "$INSTALLED" test "$made" >/dev/null || fail "the installed tool's test rejects $made"
done
objdump -f "$WORK/tree32.exe" | grep -q 'pei-i386' || fail "--stub windows is not the 32-bit stub"
objdump -f "$WORK/tree64.exe" | grep -q 'pei-x86-64' || fail "--stub windows64 is not 64-bit"
wine_made="$WORK/tree64.exe"
[ "$ZIPSFX_WINE_BUILD" = win32 ] && wine_made="$WORK/tree32.exe"
if wine_start; then
    mkdir "$WORK/windows"
    (cd "$WORK/windows" && timeout 300 "$ZIPSFX_WINE" "$wine_made" -q) ||
        fail "$wine_made failed under Wine"
    same_tree "$WORK/tree" "$WORK/windows/tree"
else
    [ "${CI:-}" = true ] && fail "cannot start Wine"
    note "cannot start Wine: $wine_made was tested, not run"
fi

note "ZIPSFX_STUB_DIR is the only place looked at; a missing stub names every place"
mkdir "$WORK/lonely" "$WORK/no-stubs"
cp "$INSTALLED" "$WORK/lonely/zipsfx"
ZIPSFX_STUB_DIR="$ROOT/lib/zipsfx" "$WORK/lonely/zipsfx" make -v -o "$WORK/env.run" --stub posix \
    --no-run "$WORK/tree/hello.txt" >"$WORK/env.log"
made_with "$WORK/env.log" "$ROOT/lib/zipsfx/zipsfx-stub"
rc=0
ZIPSFX_STUB_DIR="$WORK/no-stubs" "$INSTALLED" make -o "$WORK/none.exe" --no-run \
    "$WORK/tree/hello.txt" 2>"$WORK/missing.log" || rc=$?
[ $rc -eq 2 ] || fail "a missing stub under ZIPSFX_STUB_DIR ended with $rc, not 2"
grep -qF "$WORK/no-stubs/zipsfx-stub.exe" "$WORK/missing.log" &&
    grep -q ZIPSFX_STUB_DIR "$WORK/missing.log" || { cat "$WORK/missing.log"; fail "unclear message"; }
rc=0
"$WORK/lonely/zipsfx" make -o "$WORK/none.exe" --no-run "$WORK/tree/hello.txt" \
    2>"$WORK/missing.log" || rc=$?
[ $rc -eq 2 ] || fail "a tool without stubs ended with $rc, not 2"
for place in "$WORK/lonely/zipsfx-stub.exe" "$WORK/lib/zipsfx/zipsfx-stub.exe" \
    "$WORK/win32/zipsfx-stub.exe"; do
    grep -qF "$place" "$WORK/missing.log" || { cat "$WORK/missing.log"; fail "$place not named"; }
done
[ ! -e "$WORK/none.exe" ] || fail "a file was made without a stub"

note "the release files, made by cpack from these builds"
DIST="$WORK/dist"
(cd "$BUILD" && cpack -B "$DIST") >"$WORK/cpack.log" 2>&1 || { cat "$WORK/cpack.log"; fail "cpack failed"; }
DEB="$DIST/zipsfx_${VERSION}_amd64.deb"
TGZ="$DIST/zipsfx-$VERSION-linux-x86_64.tar.gz"
ZIP="$DIST/zipsfx-$VERSION-windows.zip"
for file in "$DEB" "$TGZ" "$ZIP"; do
    [ -f "$file" ] || { ls "$DIST"; fail "cpack made no $file"; }
done

note "the Debian package: control fields, contents, lintian"
dpkg-deb --info "$DEB" >"$WORK/info.txt"
for field in "Package: zipsfx" "Version: $VERSION" "Architecture: amd64" "Section: utils"; do
    grep -qx " $field" "$WORK/info.txt" || { cat "$WORK/info.txt"; fail "no '$field'"; }
done
depends=$(sed -n 's/^ Depends: //p' "$WORK/info.txt")
[[ "$depends" =~ ^libc6(\ \(\>=\ [0-9.]+\))?$ ]] || fail "the package depends on '$depends'"
dpkg-deb --contents "$DEB" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort >"$WORK/deb.txt"
cat >"$WORK/expected" <<EOF
usr/bin/zipsfx
usr/lib/zipsfx/zipsfx-stub
usr/lib/zipsfx/zipsfx-stub-win64.exe
usr/lib/zipsfx/zipsfx-stub.exe
usr/share/doc/zipsfx/LICENSE
usr/share/doc/zipsfx/README.md
usr/share/doc/zipsfx/changelog.gz
usr/share/doc/zipsfx/copyright
usr/share/lintian/overrides/zipsfx
usr/share/man/man1/zipsfx.1.gz
EOF
diff "$WORK/expected" "$WORK/deb.txt" || fail "the package's files differ from the list above"
lintian --fail-on error "$DEB" >"$WORK/lintian.txt" 2>&1 || { cat "$WORK/lintian.txt"; fail "lintian finds errors"; }
! grep -q '^E:' "$WORK/lintian.txt" || { cat "$WORK/lintian.txt"; fail "lintian finds errors"; }
sed 's/^/    /' "$WORK/lintian.txt"

note "the package unpacked into a scratch root: its tool makes and tests a file"
dpkg-deb -x "$DEB" "$WORK/root"
"$WORK/root/usr/bin/zipsfx" make -v -o "$WORK/deb.run" --stub posix --no-run "$WORK/tree" \
    >"$WORK/deb.log"
made_with "$WORK/deb.log" "$WORK/root/usr/lib/zipsfx/zipsfx-stub"
"$WORK/root/usr/bin/zipsfx" test "$WORK/deb.run" >/dev/null || fail "the packaged tool's test failed"
mkdir "$WORK/from-deb"
(cd "$WORK/from-deb" && "$WORK/deb.run" -q) || fail "the file made by the packaged tool failed"
same_tree "$WORK/tree" "$WORK/from-deb/tree"

note "the Linux tarball: the installed layout under one folder"
mkdir "$WORK/tarball"
tar -xzf "$TGZ" -C "$WORK/tarball"
top="$WORK/tarball/zipsfx-$VERSION-linux-x86_64"
diff <(files_of "$ROOT") <(files_of "$top") || fail "the tarball's files differ from the install"
"$top/bin/zipsfx" make -v -o "$WORK/tgz.exe" --stub windows64 --no-run "$WORK/tree" >"$WORK/tgz.log"
made_with "$WORK/tgz.log" "$top/lib/zipsfx/zipsfx-stub-win64.exe"

note "the Windows zip holds what the README says"
# The README's table row: | `file` | for | holds |
promised=$(grep -F "| \`zipsfx-$VERSION-windows.zip\` |" "$ZIPSFX_ROOT/README.md" |
    cut -d'|' -f4 | grep -o '`[^`]*`' | tr -d '`' | sort || true)
[ -n "$promised" ] || fail "the README has no table row for zipsfx-$VERSION-windows.zip"
held=$(unzip -Z1 "$ZIP" | grep -v '/$' | sed "s|^zipsfx-$VERSION-windows/||" | sort)
[ "$promised" = "$held" ] || fail "the zip holds $(echo $held), the README says $(echo $promised)"
mkdir "$WORK/zip"
unzip -q "$ZIP" -d "$WORK/zip"
folder="$WORK/zip/zipsfx-$VERSION-windows"
cmp "$WIN32_BUILD/zipsfx.exe" "$folder/zipsfx.exe"
cmp "$WIN32_BUILD/zipsfx-stub.exe" "$folder/zipsfx-stub.exe"
cmp "$WIN64_BUILD/zipsfx-stub.exe" "$folder/zipsfx-stub-win64.exe"
cmp "$BUILD/zipsfx-stub" "$folder/zipsfx-stub"
# The Windows tool finds the stubs beside itself. Where Wine cannot run the zip's 32-bit tool, the
# 64-bit build's tool stands in for it, in the same folder.
windows_tool="$folder/zipsfx.exe"
if [ "$ZIPSFX_WINE_BUILD" = win64 ]; then
    cp "$WIN64_BUILD/zipsfx.exe" "$folder/zipsfx64.exe"
    windows_tool="$folder/zipsfx64.exe"
fi
if wine_start; then
    for stub in windows64 posix; do
        timeout 300 "$ZIPSFX_WINE" "$windows_tool" make -v -o "$(wine_path "$WORK/zip-$stub")" \
            --stub "$stub" --no-run "$(wine_path "$WORK/tree/hello.txt")" >"$WORK/zip.log" ||
            fail "the Windows tool in the zip's folder could not make a file with the $stub stub"
        name=zipsfx-stub-win64.exe
        [ "$stub" = posix ] && name=zipsfx-stub
        grep -qF "zipsfx-$VERSION-windows\\$name" "$WORK/zip.log" ||
            { cat "$WORK/zip.log"; fail "the Windows tool did not take $name from its folder"; }
    done
    "$TOOL" test "$WORK/zip-posix" >/dev/null || fail "the file made on Windows does not test"
else
    note "cannot start Wine: the Windows tool in the zip's folder was not run"
fi
for file in "$DEB" "$TGZ"; do
    grep -qF "\`$(basename "$file")\`" "$ZIPSFX_ROOT/README.md" ||
        fail "the README does not name $(basename "$file")"
done

echo "PASS"
