#!/usr/bin/env bash
# cmake --install into a temporary prefix, then the prefix moved elsewhere:
# the installed host must find the installed module, page and manual relative
# to itself (not the build's), and --module and --static must still override.
# install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
# The real path: the host reports paths from /proc/self/exe, with links resolved.
work=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$work"' EXIT
Fail() {
  echo "install: $*" >&2
  exit 1
}
# shellcheck source=serve_check.sh
. "$(dirname "$0")/serve_check.sh"

cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
prefix=$work/moved
host=$prefix/bin/tessaline-host
for file in bin/tessaline-host lib/tessaline/tessaline.so lib/tessaline/docs/manual.pdf \
  lib/tessaline/res/strings_us/c4d_strings.str share/tessaline/web/index.html share/man/man1/tessaline-host.1.gz; do
  [ -f "$prefix/$file" ] || Fail "$file is not installed"
done
[ ! -e "$prefix/tessaline" ] || Fail "the plug-in archive's folder was installed too"
# The man page carries every command's help.
manpage=$(gzip -dc "$prefix/share/man/man1/tessaline-host.1.gz")
for command in info render serve; do
  grep -q "^\.SS $command\$" <<<"$manpage" || Fail "the man page lacks $command"
done

version=$(cat "$source/VERSION")
[ "$("$host" --version)" = "tessaline-host $version" ] || Fail "--version says '$("$host" --version)'"

# Run from elsewhere, so nothing is found through the working folder.
cd "$work"
info=$("$host" info)
grep -qx "module: $prefix/lib/tessaline/tessaline.so" <<<"$info" || Fail "info used another module: $info"
grep -qx "||  Tessaline v$version" <<<"$info" || Fail "info shows no banner of version $version: $info"
"$host" render --width 32 --height 24 --samples 1 -o "$work/demo.png" >/dev/null
[ "$(head -c 8 "$work/demo.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || Fail "render wrote no PNG"

# The page and the manual come from the installed tree.
ServeAndFetch "$host"
cmp -s "$work/style.css" "$prefix/share/tessaline/web/style.css" || Fail "serve sent another style.css"
cmp -s "$work/manual.pdf" "$prefix/lib/tessaline/docs/manual.pdf" || Fail "serve sent another manual"

# --module and --static still win over the installed ones.
info=$("$host" --module "$build/module/tessaline.so" info)
grep -qx "module: $build/module/tessaline.so" <<<"$info" || Fail "--module was not used: $info"
mkdir "$work/page"
echo "/* edited */" >"$work/page/style.css"
ServeAndFetch "$host" --static "$work/page"
cmp -s "$work/style.css" "$work/page/style.css" || Fail "serve --static sent another style.css"
echo "install: the moved prefix runs on its own, version $version"
