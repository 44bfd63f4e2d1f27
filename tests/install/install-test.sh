#!/usr/bin/env bash
# install-test.sh BUILD_DIR SOURCE_DIR: installs the build into a temporary
# prefix and runs the program from there, checks the desktop files and the
# manual page, and makes the Debian package and checks it. Nothing is written
# into the build or source tree.
set -euo pipefail
build=$1; source=$2
work=$(mktemp -d)
# An install (and the package's) records what it installed in the build
# folder; the folder is left as it was.
manifest=$build/install_manifest.txt
[ -e "$manifest" ] && cp -p "$manifest" "$work/manifest"
restore() {
    if [ -e "$work/manifest" ]; then cp -p "$work/manifest" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$work"
}
trap restore EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# The installed program runs and finds its data under share/tessaly.
[ "$("$prefix/bin/tessaly" --version)" = "Quorvane Google Tessaly 4.5" ] || fail "--version"
cp -r "$source/examples/site" "$work/site"
"$build/bin/make_example_profile" "$work/site" "$work/site.qvt" >/dev/null
HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/tessaly" -auto "$work/site.qvt" 2>"$work/err" || { cat "$work/err"; fail "unattended run"; }
for f in sitemap.html sitemap.xml smfolder.gif smfile.gif smimg.gif; do
    [ -f "$work/site/$f" ] || fail "$f not written by the installed program"
done
cmp -s "$work/site/smfile.gif" "$prefix/share/tessaly/smimages/smfile.gif" || fail "map image"
[ -f "$prefix/share/tessaly/Tessaly.html" ] || fail "manual"

desktop-file-validate "$prefix/share/applications/example.quorvane.Tessaly.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/example.quorvane.Tessaly.metainfo.xml" >/dev/null
warnings=$(man --warnings -l "$prefix/share/man/man1/tessaly.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man page: $warnings"
grep -q 'value="TPF0"' "$prefix/share/mime/packages/tessaly.xml" || fail "MIME magic"
for size in 16 24 32 48 64 128 256; do
    [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/tessaly.png" ] || fail "icon $size"
done

# The Debian package: its contents, its dependencies, and no lintian error.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null 2>&1)
deb=$(ls "$work"/pkg/tessaly_*.deb)
info=$(dpkg-deb --info "$deb")
grep -q '^ Depends: .*libqt6widgets6' <<<"$info" || fail "package dependencies"
contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/tessaly ./usr/share/tessaly/smimages/smfile.gif \
    ./usr/share/applications/example.quorvane.Tessaly.desktop ./usr/share/man/man1/tessaly.1.gz; do
    grep -q " $path\$" <<<"$contents" || fail "package lacks $path"
done
errors=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null | grep '^E:' || true)
[ -z "$errors" ] || fail "lintian: $errors"
echo "install tree, desktop files and package checked"
