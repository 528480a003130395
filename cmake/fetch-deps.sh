#!/usr/bin/env bash
# Fetches the sources the Windows and WebAssembly builds compile libarchive
# and its compressors from: Debian bookworm's source packages, unpacked with
# dpkg-source so that Debian's patches (its security fixes among them) are
# applied.  Neither build has a Debian package of these libraries, and the
# same patched sources in every build keep the programs reading archives
# alike everywhere.
#
#   cmake/fetch-deps.sh DIR
#
# leaves DIR/<package>/ (the unpacked tree) and DIR/<package>.version for
# each package; the builds take DIR as -DD88CUT_DEPS_SOURCE_DIR=DIR.  A
# package already there is kept, so a second run fetches nothing.
#
# APT runs under a scratch configuration in DIR/apt with deb-src entries for
# the Debian mirrors this system's own APT entries name; the system's APT
# configuration, lists and cache are never touched.  Needs apt-get and
# dpkg-source (Debian: dpkg-dev).
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 DIR" >&2
  exit 2
fi
mkdir -p "$1"
out=$(cd "$1" && pwd)
# zstd is left out: the zip and 7z members it would open are rare, and
# every build would have to carry one more library for them.
packages=(libarchive zlib bzip2 xz-utils libdeflate)
suite=bookworm

missing=()
for pkg in "${packages[@]}"; do
  if [ -s "$out/$pkg.version" ] && [ -d "$out/$pkg" ]; then
    echo "kept $pkg $(cat "$out/$pkg.version") in $out/$pkg"
  else
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

for tool in apt-get dpkg-source; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is needed (Debian: dpkg-dev)" >&2; exit 1; }
done

# The scratch APT tree: its own sources, lists, cache, status and no
# configuration fragments of the system's (whose hooks expect the system's
# folders).
apt_dir=$out/apt
mkdir -p "$apt_dir"/{parts,sources.list.d,lists/partial,cache/archives/partial,log}
: > "$apt_dir/status"
cat > "$apt_dir/apt.conf" <<EOF
Dir::Etc "$apt_dir";
Dir::Etc::main "apt.conf";
Dir::Etc::parts "$apt_dir/parts";
Dir::Etc::sourcelist "$apt_dir/sources.list";
Dir::Etc::sourceparts "$apt_dir/sources.list.d";
Dir::Etc::preferences "$apt_dir/preferences";
Dir::Etc::preferencesparts "$apt_dir/parts";
Dir::State "$apt_dir";
Dir::State::lists "$apt_dir/lists";
Dir::State::status "$apt_dir/status";
Dir::Cache "$apt_dir/cache";
Dir::Log "$apt_dir/log";
Acquire::Languages "none";
// As root, APT would download as its own unprivileged user, which may not
// write into DIR; this tree is private to the build anyway.
APT::Sandbox::User "root";
EOF
: > "$apt_dir/preferences"

# deb-src entries for every Debian bookworm entry of the system (deb822 and
# one-line forms), so the sources come from the mirror the system trusts,
# signed by the same keys.
: > "$apt_dir/sources.list"
: > "$apt_dir/sources.list.d/debian.sources"
for file in /etc/apt/sources.list.d/*.sources; do
  [ -f "$file" ] || continue
  awk -v suite="$suite" '
    function flush() {
      if (types ~ /(^| )deb( |$)/ && suites ~ "(^| )" suite "(-[a-z]+)?( |$)") {
        print "Types: deb-src"; print "URIs: " uris; print "Suites: " suites
        print "Components: " comps; if (signed != "") print "Signed-By: " signed; print ""
      }
      types = uris = suites = comps = signed = ""
    }
    /^[ \t]*$/ { flush(); next }
    /^#/ { next }
    {
      key = $1; sub(/:$/, "", key); value = $0; sub(/^[^:]*:[ \t]*/, "", value)
      if (key == "Types") types = value; else if (key == "URIs") uris = value
      else if (key == "Suites") suites = value; else if (key == "Components") comps = value
      else if (key == "Signed-By") signed = value
    }
    END { flush() }' "$file" >> "$apt_dir/sources.list.d/debian.sources"
done
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$file" ] || continue
  # deb [options] URI SUITE COMPONENTS...
  sed -nE "s/^[ \t]*deb([ \t]+\[[^]]*\])?([ \t]+[^ \t]+[ \t]+$suite(-[a-z]+)?[ \t].*)$/deb-src\1\2/p" \
    "$file" >> "$apt_dir/sources.list"
done
if ! [ -s "$apt_dir/sources.list.d/debian.sources" ] && ! [ -s "$apt_dir/sources.list" ]; then
  echo "$0: the system's APT sources name no Debian $suite mirror to take the sources from" >&2
  exit 1
fi

export APT_CONFIG=$apt_dir/apt.conf
echo "reading the $suite source indexes"
apt-get update -qq -o Dpkg::Use-Pty=0 >/dev/null

for pkg in "${missing[@]}"; do
  rm -rf "$out/$pkg" "$out/$pkg.version" "$out/download"
  mkdir -p "$out/download"
  # The newest version first (a point release or a security fix); the
  # security pool's index can list a version whose files the mirror lacks
  # (404), and then the release's own version is taken.
  if ! (cd "$out/download" && apt-get source -qq --download-only "$pkg" >/dev/null 2>&1); then
    rm -rf "$out/download" && mkdir -p "$out/download"
    (cd "$out/download" && apt-get source -qq --download-only "$pkg/$suite" >/dev/null)
  fi
  dsc=$(ls "$out/download"/*.dsc)
  version=$(sed -n 's/^Version: //p' "$dsc")
  # Checks the files against the .dsc's checksums and applies Debian's
  # patches.  The .dsc itself came through APT, checked against the signed
  # index; dpkg-source's own note that it cannot check the uploader's
  # signature (no debian-keyring) is noise here and shown only on failure.
  if ! dpkg-source --no-copy -x "$dsc" "$out/$pkg" >"$out/download/unpack.log" 2>&1; then
    cat "$out/download/unpack.log" >&2
    exit 1
  fi
  rm -rf "$out/download"
  echo "$version" > "$out/$pkg.version"
  echo "fetched $pkg $version into $out/$pkg"
done
